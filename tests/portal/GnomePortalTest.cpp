// The portal keyboard on GNOME itself: headless GNOME Shell with GNOME's own portal backend, its
// consent dialog answered through the accessibility bus as the user would, and the keys read
// back by a GTK 3 window.
#include <gtest/gtest.h>

#include "HeadlessGnome.h"
#include "PortalTyping.h"
#include "linux/portal/PortalBus.h"

namespace quenby::test {
namespace {

class GnomePortalTest : public GnomeFixture {
protected:
    void SetUp() override {
        GnomeFixture::SetUp();
        if (const std::string missing = Missing({"gnome-shell", "/usr/libexec/xdg-desktop-portal",
                                                 "/usr/libexec/xdg-desktop-portal-gnome"});
            !missing.empty()) {
            GTEST_SKIP() << missing
                         << " is missing (packages gnome-shell, xdg-desktop-portal-gnome)";
        }
        StartShell();
        ASSERT_FALSE(HasFatalFailure());
        ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);  // the shell's, in the test's runtime folder
        StartDesktopPortal(m_root / "portals", "gnome", "/usr/libexec/xdg-desktop-portal-gnome",
                           m_processes);
        ASSERT_FALSE(HasFatalFailure());
        m_recorder = StartRecorder();  // mapped, it takes the focus
        ASSERT_TRUE(m_recorder) << "the GTK window did not show";
        m_keyboard = std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), ReadWaylandUserKeymap, [this] { ++m_beeps; },
            FocusedTextSetter{}, nullptr,
            // A dialog left unanswered fails the test well within its time limit.
            PortalWaits{std::chrono::seconds(5), std::chrono::seconds(60)});
    }
    void TearDown() override {
        m_keyboard.reset();
        m_recorder.reset();
        GnomeFixture::TearDown();
    }

    // Answers the consent dialog that comes next: allows the keyboard and shares, or cancels.
    static std::unique_ptr<CChildProcess> Answer(bool allow) {
        return std::make_unique<CChildProcess>(std::vector<std::string>{
            "/usr/bin/python3", QUENBY_CONSENT_DIALOG, "gnome", allow ? "Share" : "Cancel"});
    }

    Status Type(const std::u16string& text) { return TypeThroughPortal(*m_keyboard, text); }
    std::string Received() { return Recorded(*m_recorder); }

    std::unique_ptr<CChildProcess> m_recorder;
    std::unique_ptr<CPortalKeyboard> m_keyboard;
    std::atomic<int> m_beeps{0};
};

// One consent for the session, then the texts in the user's layout as they switch it, exactly,
// Shift and AltGr levels included; a character the layout lacks beeps and is skipped.
TEST_F(GnomePortalTest, TheTextsArriveInTheUsersLayout) {
    const struct {
        const char* m_layout;
        const char* m_layoutName;  // as the keymap names it
        std::u16string m_text;
        const char* m_received;
        int m_beeps;
    } cases[] = {
        {"us", "English (US)", u"Hi, z@y! ~`^\"'\t(1+2)*3=9 [ok]{}<>|\\/?$%&#_\nend",
         "Hi, z@y! ~`^\"'\t(1+2)*3=9 [ok]{}<>|\\/?$%&#_\nend", 0},
        {"de", "German",
         u"zyZY zy \u00e4\u00f6\u00fc\u00df \u00c4\u00d6\u00dc \u20ac@{[]}\\|~<>\u00b5\u00b2\t"
         u"\"'$%&/()=?\u00e9\nend",
         "zyZY zy \u00e4\u00f6\u00fc\u00df \u00c4\u00d6\u00dc \u20ac@{[]}\\|~<>\u00b5\u00b2\t"
         "\"'$%&/()=?\nend",
         1},
    };
    std::unique_ptr<CChildProcess> consent;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_layout);
        ASSERT_TRUE(SetLayout(c.m_layout));
        if (!consent) {
            consent = Answer(true);  // asked at the first message
        } else {
            // The seat has a keyboard from the session's first key on.
            ASSERT_TRUE(WaitForLayout(c.m_layoutName)) << "GNOME Shell did not switch";
        }
        m_beeps = 0;
        const Status typed = Type(c.m_text);
        ASSERT_TRUE(typed.ok()) << std::string(typed.reason().begin(), typed.reason().end());
        EXPECT_EQ(Received(), c.m_received);
        EXPECT_EQ(m_beeps.load(), c.m_beeps);
    }
    EXPECT_TRUE(consent->WaitForLine("ANSWERED", 1000)) << "asked again";
}

// Refused, the start fails with the reason the run stops with, and nothing is typed; the next
// start asks again.
TEST_F(GnomePortalTest, RefusedConsentStopsTheRunWithItsMessageAndTypesNothing) {
    std::unique_ptr<CChildProcess> consent = Answer(false);
    const Status refused = Type(u"refused");
    EXPECT_NE(refused.reason().find(u"was not allowed"), std::u16string::npos);
    ASSERT_TRUE(consent->WaitForLine("ANSWERED", 1000));
    consent = Answer(true);
    ASSERT_TRUE(Type(u"allowed").ok());
    EXPECT_EQ(Received(), "allowed");
}

}  // namespace
}  // namespace quenby::test

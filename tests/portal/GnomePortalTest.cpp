// The portal keyboard on GNOME itself: headless GNOME Shell with GNOME's own portal backend, its
// consent dialog answered through the accessibility bus as the user would, and the keys read
// back by a GTK 3 window.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <atomic>

#include "HeadlessGnome.h"
#include "input/KeyGate.h"
#include "input/TextTyper.h"
#include "input/ThreadSleeper.h"
#include "linux/portal/LayoutKeysyms.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalKeyboard.h"
#include "wayland/HeadlessSway.h"

namespace quenby::test {
namespace {

constexpr KeyCode kF12 = 96;  // ends a text in the recorder

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
        StartPortals();
        ASSERT_FALSE(HasFatalFailure());
        m_recorder = std::make_unique<CChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", QUENBY_WAYLAND_RECORDER, "gtk"},
            std::vector<std::string>{"GDK_BACKEND=wayland"});
        // Mapped, it takes the focus; the keyboard enters it at the session's first key.
        ASSERT_TRUE(m_recorder->WaitForLine("SHOWN", 60000)) << "the GTK window did not show";
        m_keyboard = std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), ReadWaylandUserKeymap, [this] { ++m_beeps; },
            FocusedTextSetter{}, nullptr);
    }
    void TearDown() override {
        m_keyboard.reset();
        m_recorder.reset();
        GnomeFixture::TearDown();
    }

    // Answers the consent dialog that comes next: allows the keyboard and shares, or cancels.
    static std::unique_ptr<CChildProcess> Answer(bool allow) {
        return std::make_unique<CChildProcess>(std::vector<std::string>{
            "/usr/bin/python3", QUENBY_CONSENT_DIALOG, "xdg-desktop-portal-gnome",
            allow ? "Allow remote interaction" : "-", allow ? "Share" : "Cancel"});
    }

    // Types `text` as a run types a message; the output's failure when it has none.
    Status Type(const std::u16string& text) {
        Expected<std::unique_ptr<IKeyboardOutput>> output = m_keyboard->OpenOutput();
        if (!output.ok()) {
            return output.status();
        }
        CThreadSleeper sleeper;
        std::atomic<bool> running{true};
        const std::atomic<bool> stopNow{false};
        CKeyGate gate(running, stopNow, nullptr, false);
        CTextTyper typer(*output.value(), sleeper, gate);
        typer.m_uCharDelayMin = typer.m_uCharDelayMax = 0;
        typer.SetKeyInputMethod(0);  // keysyms, which the desktop finds in the user's layout
        typer.TypeText(text);
        output.value()->SendKey(kF12, true);
        output.value()->SendKey(kF12, false);
        return output.value()->SendStatus();
    }
    // What the window received up to the F12 after it, empty when nothing came.
    std::string Received() {
        std::string text;
        ReadRecordedText(*m_recorder, text, 30000);
        return text;
    }

    std::unique_ptr<CChildProcess> m_recorder;
    std::unique_ptr<CPortalKeyboard> m_keyboard;
    std::atomic<int> m_beeps{0};
};

// One consent for the session, then the texts in the user's layout as they switch it, exactly,
// Shift and AltGr levels included; a character the layout lacks beeps and is skipped.
TEST_F(GnomePortalTest, TheTextsArriveInTheUsersLayout) {
    const struct {
        const char* m_layout;
        std::u16string m_text;
        const char* m_received;
        int m_beeps;
    } cases[] = {
        {"us", u"Hi, z@y! ~`^\"'\t(1+2)*3=9 [ok]{}<>|\\/?$%&#_\nend",
         "Hi, z@y! ~`^\"'\t(1+2)*3=9 [ok]{}<>|\\/?$%&#_\nend", 0},
        {"de",
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
            // The desktop has switched once the keymap it sends its clients is the new one (the
            // seat has a keyboard from the session's start on).
            const bool german = std::string(c.m_layout) == "de";
            for (int i = 0; i < 300; ++i) {
                const std::optional<CLayoutKeysyms> layout =
                    CLayoutKeysyms::FromKeymap(ReadWaylandUserKeymap());
                if (layout && layout->Has(XKB_KEY_odiaeresis) == german) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
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

// Quenby's portal keyboard and start/stop shortcut against KDE Plasma's own portal backend, on a
// headless KWin: the texts arrive in a GTK window in the user's layout, the combination bound
// through the GlobalShortcuts portal is pressed on KWin's keyboard, and a refused consent ends
// the start. One desktop for every case: starting it is the slow part.
#include <gtest/gtest.h>

#include "HeadlessKde.h"
#include "PortalTyping.h"
#include "engine/HotKeyProfile.h"
#include "engine/WideText.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalGlobalShortcut.h"
#include "support/EventCounter.h"

namespace quenby::test {
namespace {

const PortalWaits kWaits{std::chrono::milliseconds(10000), std::chrono::milliseconds(60000)};

struct KdeCase {
    const char* m_layout;  // the user's layout, and its name in the keymap
    const char* m_layoutName;
    const char* m_button;  // the answer to the consent dialog; null: bind and press the shortcut
    int m_iMethod;         // the typing method: 0 Unicode, 1 the layout's keys
    std::vector<std::u16string> m_texts;
};

class KdePlasmaTest : public ::testing::Test {
protected:
    // Runs `start` while the user answers the consent dialog with `button`, where the desktop
    // asks (it asks applications only).
    template <typename Start>
    auto Consented(const char* button, Start start) {
        const std::unique_ptr<CChildProcess> answer =
            m_kde.Asks() ? m_kde.Run({"python3", QUENBY_CONSENT_DIALOG, "kde", button}) : nullptr;
        auto started = start();
        EXPECT_TRUE(!answer || answer->WaitForLine("ANSWERED", 60000)) << "no consent dialog";
        return started;
    }

    // Types each text and Enter through a new portal keyboard, as a run does, and reads each line
    // back from the recorder; or, refused, the start fails with the reason.
    void Type(const KdeCase& c) {
        CPortalKeyboard keyboard(
            CPortalBus::Connect(), ReadWaylandUserKeymap, [] {}, {}, nullptr, kWaits);
        Expected<std::unique_ptr<IKeyboardOutput>> output =
            Consented(c.m_button, [&] { return keyboard.OpenOutput(); });
        if (std::string(c.m_button) == "Cancel") {
            ASSERT_FALSE(output.ok());
            EXPECT_NE(output.reason().find(u"not allowed"), std::u16string::npos);
            return;
        }
        ASSERT_TRUE(output.ok()) << Utf8FromUtf16(output.reason());
        CRunTyper run(*output.value(), c.m_iMethod);
        for (const std::u16string& text : c.m_texts) {
            run.m_typer.TypeText(text);
            run.m_typer.PressEnter();
            std::string line;
            ASSERT_TRUE(ReadRecordedText(*m_recorder, line, 20000)) << "nothing arrived";
            EXPECT_EQ(line, Utf8FromUtf16(text));
        }
    }

    // Binds Ctrl+Shift+F9 through the portal at two starts of the program, and presses it twice
    // on KWin's keyboard after each: the first press starts the run, the second stops it.
    void Shortcut() {
        const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
        Expected<std::unique_ptr<CRemoteDesktopSession>> keys =
            Consented("Share", [&] { return CRemoteDesktopSession::Start(bus, kWaits); });
        ASSERT_TRUE(keys.ok());
        CEventCounter presses;
        for (int start = 0; start < 2; ++start) {
            CPortalGlobalShortcut shortcut(
                bus, [&presses] { presses.Add(); }, kWaits);
            ASSERT_TRUE(shortcut.RegisterHotKey(0x78, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));
            for (const int press : {2 * start + 1, 2 * start + 2}) {
                for (const std::uint32_t code : {29u, 42u, 67u}) {  // Left Ctrl, Left Shift, F9
                    keys.value()->SendKeycode(code, true);
                }
                for (const std::uint32_t code : {67u, 42u, 29u}) {
                    keys.value()->SendKeycode(code, false);
                }
                EXPECT_EQ(presses.WaitFor(press), press);
            }
        }
    }

    CHeadlessKde m_kde;
    std::unique_ptr<CChildProcess> m_recorder;
};

TEST_F(KdePlasmaTest, TypesBindsTheShortcutAndHonoursARefusal) {
    if (const std::string missing = CHeadlessKde::Lacking(); !missing.empty()) {
        GTEST_SKIP() << missing << " is not installed";
    }
    ASSERT_EQ(m_kde.Failure(), "");
    m_recorder = m_kde.Run({"python3", QUENBY_WAYLAND_RECORDER, "gtk", "lines"},
                           {"GDK_BACKEND=wayland", "NO_AT_BRIDGE=1"});
    ASSERT_TRUE(m_recorder->WaitForLine("READY", 20000));
    const KdeCase cases[] = {
        // Each in a backend fresh from its start: KDE maps the first keysyms it is given through
        // a US keymap until its own has come, which under German swaps Z and Y.
        {"de",
         "German",
         "Share",
         0,
         {u"zyZY zy", u"Stra\u00dfe \u00e4\u00f6\u00fc @\u20ac", u"a\tb"}},
        {"de", "German", "Share", 1, {u"zyZY zy", u"Stra\u00dfe \u00e4\u00f6\u00fc @"}},
        {"us", "English (US)", "Share", 0, {u"zyZY zy", u"Hello, World! ~`{}|", u"a\tb"}},
        {"us", "English (US)", nullptr, 0, {}},
        {"us", "English (US)", "Cancel", 0, {}},
    };
    for (const KdeCase& c : cases) {
        SCOPED_TRACE(std::string(c.m_layout) + " " + (c.m_button ? c.m_button : "shortcut") +
                     " method " + std::to_string(c.m_iMethod));
        if (c.m_button != nullptr && std::string(c.m_button) == "Cancel" && !m_kde.Asks()) {
            GTEST_SKIP() << "this process cannot join an application's scope (cgroup), and KDE "
                            "asks only applications";
        }
        ASSERT_TRUE(m_kde.SetLayout(c.m_layout));
        ASSERT_TRUE(WaitForLayout(c.m_layoutName)) << "KWin did not switch";
        ASSERT_TRUE(m_kde.RestartPortalBackend());
        if (c.m_button == nullptr) {
            Shortcut();
        } else {
            Type(c);
        }
    }
}

}  // namespace
}  // namespace quenby::test

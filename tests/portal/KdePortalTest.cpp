// The portal keyboard and the start/stop shortcut on KDE Plasma itself: a virtual KWin with KDE's
// own portal backend, the keys read back by a GTK 3 window.
#include <gtest/gtest.h>

#include "PortalTyping.h"
#include "TempHome.h"
#include "engine/HotKeyProfile.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalGlobalShortcut.h"
#include "support/EventCounter.h"

namespace quenby::test {
namespace {

// A KDE Plasma session of the test's own in the German layout: KWin on a virtual output, KDE's
// portal backend and the frontend on a session bus of its own, and the recorder's window.
class KdePortalTest : public TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        if (!std::filesystem::exists(XDG_DESKTOP_PORTAL_KDE) ||
            RunCommand({"sh", "-c", "command -v kwin_wayland"}) != 0) {
            GTEST_SKIP() << "KWin or KDE's portal is missing (packages kwin-wayland, "
                            "xdg-desktop-portal-kde)";
        }
        // A bus that starts nothing: the desktop's notification service, started by it for the
        // remote-control session, would outlive the test waiting for a name.
        ::mkdir((m_root / "run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "run").c_str(), 1);
        WriteBytes(m_root / "bus.conf",
                   "<busconfig><type>session</type><listen>unix:dir=" + m_root.string() +
                       "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                       "send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                       "</policy></busconfig>");
        m_bus = std::make_unique<CChildProcess>(std::vector<std::string>{
            "dbus-daemon", "--config-file=" + (m_root / "bus.conf").string(), "--nofork",
            "--print-address=1"});
        std::string address;
        ASSERT_TRUE(m_bus->ReadLine(address, 20000) && !address.empty());
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
        ::setenv("XDG_SESSION_TYPE", "wayland", 1);
        std::filesystem::create_directories(m_home / ".config");
        WriteBytes(m_home / ".config/kxkbrc", "[Layout]\nLayoutList=de\nUse=true\n");
        // The package's KWin carries a file capability that a process without it may not
        // execute; a copy carries none.
        std::filesystem::copy_file(RunOutput("command -v kwin_wayland"), m_root / "kwin_wayland");
        std::filesystem::permissions(m_root / "kwin_wayland", std::filesystem::perms::owner_all);
        m_processes.push_back(std::make_unique<CChildProcess>(std::vector<std::string>{
            (m_root / "kwin_wayland").string(), "--virtual", "--no-lockscreen", "--socket",
            "wayland-kde", "--width", "1024", "--height", "768"}));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(m_root / "run/wayland-kde")) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "KWin did not start";
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::setenv("WAYLAND_DISPLAY", "wayland-kde", 1);
        StartDesktopPortal(m_root / "portals", "kde", XDG_DESKTOP_PORTAL_KDE, m_processes);
        ASSERT_FALSE(HasFatalFailure());
        // KWin's seat has a keyboard from the start: it enters the window once KWin focuses it.
        m_recorder = StartRecorder("READY");
        ASSERT_TRUE(m_recorder) << "the GTK window did not get the focus";
        m_keyboard = std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), ReadWaylandUserKeymap, [this] { ++m_beeps; },
            FocusedTextSetter{}, nullptr);
    }
    void TearDown() override {
        m_keyboard.reset();
        m_recorder.reset();
        m_processes.clear();
        TempHome::TearDown();
    }
    static std::string RunOutput(const std::string& command) {
        std::string output;
        RunCommand({"sh", "-c", command}, &output);
        return output.substr(0, output.find('\n'));
    }

    std::vector<std::unique_ptr<CChildProcess>> m_processes;
    std::unique_ptr<CChildProcess> m_recorder;
    std::unique_ptr<CPortalKeyboard> m_keyboard;
    std::atomic<int> m_beeps{0};
};

// KWin maps a session's first keysym through a US keymap whatever the user's layout: the first
// characters, z and y swapped between the two, must come out as the German layout has them.
TEST_F(KdePortalTest, TheFirstKeysArriveInTheUsersLayout) {
    const struct {
        std::u16string m_text;
        const char* m_received;
        int m_beeps;
    } cases[] = {
        {u"zyZY zy", "zyZY zy", 0},
        {u"\u00e4\u00f6\u00fc\u00df \u00c4\u00d6\u00dc \u20ac@{[]}\\|~<>\u00b5\t\"'$%&/()=?"
         u"\u00e9\nend",
         "\u00e4\u00f6\u00fc\u00df \u00c4\u00d6\u00dc \u20ac@{[]}\\|~<>\u00b5\t\"'$%&/()=?\nend",
         1},
    };
    for (const auto& c : cases) {
        m_beeps = 0;
        const Status typed = TypeThroughPortal(*m_keyboard, c.m_text);
        ASSERT_TRUE(typed.ok()) << std::string(typed.reason().begin(), typed.reason().end());
        EXPECT_EQ(Recorded(*m_recorder), c.m_received);
        EXPECT_EQ(m_beeps.load(), c.m_beeps);
    }
}

// Assigned, the shortcut is bound by KDE's global-shortcuts portal; pressed on the keyboard, the
// first press starts the run and the second stops it.
TEST_F(KdePortalTest, TheShortcutStartsAndASecondPressStopsTheRun) {
    CEventCounter presses;
    CPortalGlobalShortcut shortcut(CPortalBus::Connect(), [&presses] { presses.Add(); });
    ASSERT_TRUE(shortcut.RegisterHotKey(0x78, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));
    Expected<std::unique_ptr<IKeyboardOutput>> output = m_keyboard->OpenOutput();
    ASSERT_TRUE(output.ok());
    for (int press = 1; press <= 2; ++press) {
        // Ctrl+Shift+F9 as evdev codes 29, 42, 67 (XKB's are 8 higher).
        for (const auto& [key, down] : {std::pair{37u, true},
                                        {50u, true},
                                        {75u, true},
                                        {75u, false},
                                        {50u, false},
                                        {37u, false}}) {
            output.value()->SendKey(key, down);
        }
        EXPECT_EQ(presses.WaitFor(press), press);
    }
}

}  // namespace
}  // namespace quenby::test

// The portal keyboard and the start/stop shortcut through the real xdg-desktop-portal frontend, on
// a session bus of each test's own, with our recording backend (PortalBackend.py) standing in for
// the desktop.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>

#include "engine/HotKeyProfile.h"
#include "input/TextTyper.h"
#include "linux/ThreadSleeper.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalGlobalShortcut.h"
#include "linux/portal/PortalKeyboard.h"
#include "support/ChildProcess.h"
#include "wayland/UserKeyboard.h"

namespace quenby::test {
namespace {

// The backend interfaces the test desktop's portal file names; with neither, no frontend runs.
constexpr unsigned kRemoteDesktop = 1;
constexpr unsigned kGlobalShortcuts = 2;

constexpr const char* kBackendName = "org.quenby.test.PortalBackend";
const PortalWaits kWaits{std::chrono::milliseconds(5000), std::chrono::milliseconds(10000)};

std::vector<std::string> PressAndRelease(const std::vector<std::string>& keysyms) {
    std::vector<std::string> lines;
    for (const std::string& keysym : keysyms) {
        lines.push_back("keysym " + keysym + " down");
        lines.push_back("keysym " + keysym + " up");
    }
    return lines;
}

// HOME, the XDG folders and a session bus under a temporary folder; the bus activates nothing, so
// a portal the test does not start stays missing instead of the system's being started.
class PortalFixture : public ::testing::Test {
protected:
    void TearDown() override {
        m_frontend.reset();
        m_backend.reset();
        m_bus.reset();
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // Starts the bus, the backend and, unless `impl` is 0, the frontend.
    void StartDesktop(unsigned impl, const std::vector<std::string>& backendFlags = {}) {
        std::string pattern = std::filesystem::temp_directory_path() / "quenby-portal-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        for (const char* folder : {"home", "services", "portals", "runtime"}) {
            std::filesystem::create_directories(m_root / folder);
        }
        std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all);
        ::setenv("HOME", (m_root / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_root / "home/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_root / "home/.local/share").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "runtime").c_str(), 1);
        // No Wayland: the layout comes from the test, not from whatever compositor runs here.
        ::unsetenv("WAYLAND_DISPLAY");
        std::ofstream(m_root / "bus.conf")
            << "<busconfig><type>session</type><listen>unix:dir=" << m_root.string()
            << "</listen><auth>EXTERNAL</auth><servicedir>" << (m_root / "services").string()
            << "</servicedir><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
               "</busconfig>\n";
        m_bus = std::make_unique<CChildProcess>(std::vector<std::string>{
            "dbus-daemon", "--config-file=" + (m_root / "bus.conf").string(), "--nofork",
            "--print-address=1"});
        std::string address;
        ASSERT_TRUE(m_bus->ReadLine(address, 20000) && !address.empty());
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

        std::vector<std::string> backend{"/usr/bin/python3", QUENBY_PORTAL_BACKEND, kBackendName};
        backend.insert(backend.end(), backendFlags.begin(), backendFlags.end());
        m_backend = std::make_unique<CChildProcess>(backend);
        // The frontend reads the backend's properties when it starts: the backend comes first.
        ASSERT_TRUE(m_backend->WaitForLine("ready", 20000));
        if (impl == 0) {
            return;
        }
        std::ofstream(m_root / "portals/quenbytest.portal")
            << "[portal]\nDBusName=" << kBackendName << "\nInterfaces="
            << ((impl & kRemoteDesktop) != 0 ? "org.freedesktop.impl.portal.RemoteDesktop;" : "")
            << ((impl & kGlobalShortcuts) != 0 ? "org.freedesktop.impl.portal.GlobalShortcuts;"
                                               : "")
            << "\nUseIn=quenbytest\n";
        // Set here rather than added to the child's environment: a variable the test runner
        // already has would come first there and win.
        ::setenv("XDG_DESKTOP_PORTAL_DIR", (m_root / "portals").c_str(), 1);
        ::setenv("XDG_CURRENT_DESKTOP", "quenbytest", 1);
        m_frontend = std::make_unique<CChildProcess>(std::vector<std::string>{XDG_DESKTOP_PORTAL});
        ASSERT_EQ(RunCommand({"gdbus", "wait", "--session", "--timeout", "20",
                              "org.freedesktop.portal.Desktop"}),
                  0)
            << "the portal frontend did not start";
    }

    // The next `count` lines the backend prints that start with `prefix`, or fewer when one does
    // not come within 10 seconds.
    std::vector<std::string> Lines(const std::string& prefix, std::size_t count) {
        std::vector<std::string> found;
        std::string line;
        while (found.size() < count && m_backend->ReadLine(line, 10000)) {
            if (line.rfind(prefix, 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
    // How often the backend printed `line`, among the lines read so far.
    std::size_t Seen(const std::string& line) const {
        return static_cast<std::size_t>(
            std::count(m_backend->Lines().begin(), m_backend->Lines().end(), line));
    }

    // A keyboard on this test's bus; the keymap, the setter and the beeps are the test's.
    std::unique_ptr<CPortalKeyboard> Keyboard(std::string keymap = {},
                                              FocusedTextSetter setter = {}) {
        return std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), [keymap] { return keymap; }, [this] { ++m_beeps; },
            std::move(setter), kWaits);
    }
    // Types one message by the Unicode (0) or layout (1) method, then Enter, as a run types it.
    void TypeMessage(IKeyboard& keyboard, const std::u16string& text, int method = 0) {
        Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard.OpenOutput();
        ASSERT_TRUE(output.ok()) << std::string(output.reason().begin(), output.reason().end());
        CThreadSleeper sleeper;
        std::atomic<bool> running{true};
        CTextTyper typer(*output.value(), sleeper, running);
        typer.m_uCharDelayMin = typer.m_uCharDelayMax = 0;
        typer.SetKeyInputMethod(method);
        typer.TypeText(text);
        typer.PressEnter();
    }

    std::unique_ptr<CPortalGlobalShortcut> Shortcut(
        std::shared_ptr<CPortalBus> bus = CPortalBus::Connect()) {
        return std::make_unique<CPortalGlobalShortcut>(
            std::move(bus), [this] { Count(m_presses); }, kWaits);
    }
    // The backend presses the bound shortcut (`how`: Activate, or ActivateEveryBound); false
    // when it had none to press.
    bool PressShortcut(const std::string& id, const std::string& how = "Activate") {
        std::string output;
        return RunCommand({"gdbus", "call", "--session", "--dest", kBackendName, "--object-path",
                           kPortalPath, "--method", "org.quenby.test.Control." + how, id},
                          &output) == 0 &&
               output.find("(uint32 0,)") == std::string::npos;
    }
    // Counts an event the bus thread reports.
    void Count(int& counter) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++counter;
        m_changed.notify_all();
    }
    // Waits until `done` holds, looked at under the lock Count() takes; false after 10 seconds.
    bool WaitUntil(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), done);
    }

    std::atomic<int> m_beeps{0};
    int m_presses = 0;
    int m_signals = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;

private:
    std::filesystem::path m_root;
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_backend;
    std::unique_ptr<CChildProcess> m_frontend;
};

using PortalDesktopTest = PortalFixture;
using PortalKeyboardTest = PortalFixture;
using PortalGlobalShortcutTest = PortalFixture;

TEST_F(PortalDesktopTest, EachPortalIsUsedOnlyWhenTheDesktopOffersIt) {
    for (unsigned impl : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(impl);
        TearDown();
        StartDesktop(impl);
        const bool keyboard = (impl & kRemoteDesktop) != 0;
        const bool shortcut = (impl & kGlobalShortcuts) != 0;
        EXPECT_EQ(RemoteDesktopPortalAvailable(), keyboard);
        EXPECT_EQ(OpenPortalKeyboard({}, {}) != nullptr, keyboard);
        EXPECT_EQ(GlobalShortcutsPortalAvailable(), shortcut);
        EXPECT_EQ(OpenPortalGlobalShortcut({}) != nullptr, shortcut);
        if (!keyboard) {
            Expected<std::unique_ptr<IKeyboardOutput>> output = Keyboard()->OpenOutput();
            ASSERT_FALSE(output.ok());
            EXPECT_NE(output.reason().find(u"no remote desktop portal"), std::u16string::npos);
        }
        if (!shortcut) {
            EXPECT_FALSE(Shortcut()->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL));
        }
    }
}

TEST_F(PortalKeyboardTest, OneConsentThenAKeysymPerCharacterInOrder) {
    StartDesktop(kRemoteDesktop);
    const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard();
    const struct {
        std::u16string m_text;
        std::vector<std::string> m_keysyms;  // the Enter after the message included
    } cases[] = {
        {u"Ab", {"0x41", "0x62", "0xff0d"}},
        // Control characters as their keys: Tab, and Return for CR and LF alike.
        {u"a\tb\r\nc", {"0x61", "0xff09", "0x62", "0xff0d", "0xff0d", "0x63", "0xff0d"}},
        // With the layout unknown every character is sent, as xkbcommon names it (legacy keysyms
        // for the Euro sign and Cyrillic).
        {u"\u00e9\u20ac\u0436", {"0xe9", "0x20ac", "0x6d6", "0xff0d"}},
    };
    for (const auto& c : cases) {
        TypeMessage(*keyboard, c.m_text);
        EXPECT_EQ(Lines("key", 2 * c.m_keysyms.size()), PressAndRelease(c.m_keysyms));
    }
    EXPECT_EQ(m_beeps.load(), 0);
    // One session and one question to the user for all the messages.
    EXPECT_EQ(Seen("create-session remote-desktop"), 1u);
    EXPECT_EQ(Seen("select-devices 1"), 1u);
    EXPECT_EQ(Seen("start granted"), 1u);
}

TEST_F(PortalKeyboardTest, RefusedConsentFailsWithTheReasonAndLeavesNoSession) {
    StartDesktop(kRemoteDesktop, {"--refuse"});
    Expected<std::unique_ptr<IKeyboardOutput>> output = Keyboard()->OpenOutput();
    ASSERT_FALSE(output.ok());
    EXPECT_NE(output.reason().find(u"not allowed"), std::u16string::npos);
    EXPECT_EQ(Lines("close-session", 1).size(), 1u);
    EXPECT_EQ(Seen("start refused"), 1u);
}

// Characters the layout lacks would be dropped by the desktop: the message goes to the focused
// field when it takes it, else those characters beep and are skipped.
TEST_F(PortalKeyboardTest, CharactersTheLayoutLacks) {
    StartDesktop(kRemoteDesktop);
    const struct {
        std::u16string m_text;
        bool m_bFieldTakesIt;
        std::vector<std::u16string> m_offered;  // what the field setter was given
        std::vector<std::string> m_keysyms;
        int m_beeps;
    } cases[] = {
        {u"Cafe!", true, {}, {"0x43", "0x61", "0x66", "0x65", "0x21", "0xff0d"}, 0},
        {u"Caf\u00e9", true, {u"Caf\u00e9"}, {"0xff0d"}, 0},
        {u"e\u00e9 \u0436", false, {u"e\u00e9 \u0436"}, {"0x65", "0x20", "0xff0d"}, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> offered;
        const std::unique_ptr<CPortalKeyboard> keyboard =
            Keyboard(KeymapText("us"), [&](const std::u16string& text) {
                offered.push_back(text);
                return c.m_bFieldTakesIt;
            });
        m_beeps = 0;
        TypeMessage(*keyboard, c.m_text);
        EXPECT_EQ(Lines("key", 2 * c.m_keysyms.size()), PressAndRelease(c.m_keysyms));
        EXPECT_EQ(offered, c.m_offered);
        EXPECT_EQ(m_beeps.load(), c.m_beeps);
    }
}

TEST_F(PortalKeyboardTest, LayoutMethodSendsTheLayoutsKeycodes) {
    StartDesktop(kRemoteDesktop);
    TypeMessage(*Keyboard(KeymapText("us")), u"A\u00e9", 1);
    // Evdev codes under the US layout: Left Shift 42, A 30; é is not on it and beeps.
    EXPECT_EQ(Lines("key", 6), (std::vector<std::string>{
                                   "keycode 42 down", "keycode 30 down", "keycode 30 up",
                                   "keycode 42 up", "keysym 0xff0d down", "keysym 0xff0d up"}));
    EXPECT_EQ(m_beeps.load(), 1);
}

TEST_F(PortalGlobalShortcutTest, BindsTheCombinationAsThePreferredTrigger) {
    StartDesktop(kGlobalShortcuts);
    const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut();
    const struct {
        std::uint16_t m_virtualKey;
        std::uint16_t m_modifiers;
        const char* m_trigger;  // null: a key without a name, refused
    } cases[] = {
        {0xFF, SYSTEM_FLAG_CONTROL, nullptr},
        {0x74, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT, "CTRL+SHIFT+F5"},
        {'A', SYSTEM_FLAG_ALT, "ALT+a"},
        {'1', SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_WIN, "CTRL+LOGO+1"},
        {0x24, SYSTEM_FLAG_SHIFT | SYSTEM_FLAG_ALT, "ALT+SHIFT+Home"},
        {0x6B, 0, "KP_Add"},
    };
    for (const auto& c : cases) {
        const bool bound = shortcut->RegisterHotKey(c.m_virtualKey, c.m_modifiers);
        EXPECT_EQ(bound, c.m_trigger != nullptr) << c.m_virtualKey;
        if (c.m_trigger != nullptr) {
            EXPECT_EQ(Lines("bind", 1),
                      std::vector<std::string>{std::string("bind start-stop ") + c.m_trigger});
        }
    }
}

TEST_F(PortalGlobalShortcutTest, ActivatedReachesTheCallbackUntilUnregistered) {
    StartDesktop(kGlobalShortcuts);
    const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut(bus);
    ASSERT_TRUE(shortcut->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL));
    // Every shortcut the desktop says was pressed, ours or not, counted after the shortcut's own
    // handler has seen it: handlers run in the order they subscribed.
    bus->Subscribe("org.freedesktop.portal.GlobalShortcuts", "Activated", kPortalPath,
                   [this](GVariant*) { Count(m_signals); });
    for (const char* id : {"start-stop", "start-stop", "something-else", "start-stop"}) {
        ASSERT_TRUE(PressShortcut(id));
    }
    ASSERT_TRUE(WaitUntil([&] { return m_signals == 4; }));
    // Another shortcut of the session is not ours to act on.
    EXPECT_TRUE(WaitUntil([&] { return m_presses == 3; }));
    // Unregistering closes the session: the desktop has no shortcut of ours left to press.
    shortcut->UnregisterHotKey();
    EXPECT_EQ(Lines("close-session", 1).size(), 1u);
    EXPECT_FALSE(PressShortcut("start-stop"));
}

// A new combination replaces the old: the old session is closed, and a press of the old one that
// still comes (a desktop that has not caught up) neither starts nor stops the run.
TEST_F(PortalGlobalShortcutTest, RegisteringAgainClosesTheOldSessionAndIgnoresItsPresses) {
    StartDesktop(kGlobalShortcuts);
    const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut(bus);
    ASSERT_TRUE(shortcut->RegisterHotKey(0x74, SYSTEM_FLAG_CONTROL));
    ASSERT_TRUE(shortcut->RegisterHotKey('A', SYSTEM_FLAG_ALT));
    EXPECT_EQ(Lines("close-session", 1).size(), 1u) << "the old session was left open";
    // Signals come in the order sent: once the last one is seen, the ones before were handled.
    bus->Subscribe("org.freedesktop.portal.GlobalShortcuts", "Activated", kPortalPath,
                   [this](GVariant* args) {
                       const gchar* id = "";
                       g_variant_get_child(args, 1, "&s", &id);
                       if (std::string(id) == "last") {
                           Count(m_signals);
                       }
                   });
    ASSERT_TRUE(PressShortcut("start-stop", "ActivateEveryBound"));
    ASSERT_TRUE(PressShortcut("last"));
    ASSERT_TRUE(WaitUntil([&] { return m_signals == 1; }));
    EXPECT_EQ(m_presses, 1);
}

}  // namespace
}  // namespace quenby::test

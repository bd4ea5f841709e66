// The portal keyboard and the start/stop shortcut through the real xdg-desktop-portal frontend, on
// a session bus of each test's own, with our recording backend (PortalBackend.py) standing in for
// the desktop.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>

#include "PortalTyping.h"
#include "TempHome.h"
#include "engine/HotKeyProfile.h"
#include "linux/IniProfileStore.h"
#include "linux/XdgPaths.h"
#include "linux/portal/PortalBus.h"
#include "linux/portal/PortalGlobalShortcut.h"
#include "linux/portal/PortalKeyboard.h"
#include "support/EventCounter.h"
#include "wayland/UserKeyboard.h"

namespace quenby::test {
namespace {

// The backend interfaces the test desktop's portal file names; with neither, no frontend runs.
constexpr unsigned kRemoteDesktop = 1;
constexpr unsigned kGlobalShortcuts = 2;

constexpr const char* kBackendName = "org.quenby.test.PortalBackend";
// Our backend is ready at once: no settling time.
const PortalWaits kWaits{std::chrono::milliseconds(5000), std::chrono::milliseconds(10000),
                         std::chrono::milliseconds(0)};

// The keys of a session's one message, each pressed and released, after the session's first key
// (Shift): a keysym ("0x41"), or an evdev key code, alone ("k30") or with Left Shift ("K30").
std::vector<std::string> Keys(std::vector<std::string> keys) {
    keys.insert(keys.begin(), "0xffe1");
    std::vector<std::string> lines;
    for (const std::string& key : keys) {
        if (key[0] == 'k' || key[0] == 'K') {
            const std::string code = "keycode " + key.substr(1);
            const bool shift = key[0] == 'K';
            if (shift) {
                lines.push_back("keycode 42 down");
            }
            lines.insert(lines.end(), {code + " down", code + " up"});
            if (shift) {
                lines.push_back("keycode 42 up");
            }
        } else {
            lines.insert(lines.end(), {"keysym " + key + " down", "keysym " + key + " up"});
        }
    }
    return lines;
}

// A desktop of each test's own; its bus activates nothing, so a portal the test does not start
// stays missing instead of the system's being started.
class PortalFixture : public TempHome {
protected:
    void TearDown() override {
        m_frontend.reset();
        m_backend.reset();
        TempHome::TearDown();
    }

    // Starts the bus, the backend (given `backendFlag`) and, unless `impl` is 0, the frontend,
    // each time in a fresh home. `backendScript` serves the portal itself when it is not the
    // frontend's backend.
    void StartDesktop(unsigned impl, const std::string& backendFlag = "",
                      const char* backendScript = QUENBY_PORTAL_BACKEND) {
        if (m_backend) {
            TearDown();
            SetUp();
        }
        ::mkdir((m_root / "run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "run").c_str(), 1);
        // No Wayland: the layout comes from the test, not from whatever compositor runs here.
        ::unsetenv("WAYLAND_DISPLAY");
        std::string address;
        m_bus = StartBus(m_root / "bus.conf", "unix:dir=" + m_root.string(), address);
        ASSERT_TRUE(m_bus) << "no session bus";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

        m_profile = std::make_shared<CIniProfileStore>(ProfileFilePath());
        m_backend = std::make_unique<CChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", backendScript, kBackendName, backendFlag});
        // The frontend reads the backend's properties when it starts: the backend comes first.
        ASSERT_TRUE(m_backend->WaitForLine("ready", 20000));
        if (impl == 0) {
            return;
        }
        std::filesystem::create_directories(m_root / "portals");
        WriteBytes(
            m_root / "portals/quenbytest.portal",
            std::string("[portal]\nDBusName=") + kBackendName + "\nInterfaces=" +
                ((impl & kRemoteDesktop) != 0 ? "org.freedesktop.impl.portal.RemoteDesktop;" : "") +
                ((impl & kGlobalShortcuts) != 0 ? "org.freedesktop.impl.portal.GlobalShortcuts;"
                                                : "") +
                "\nUseIn=quenbytest\n");
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
    // How many of the lines the backend printed so far start with `prefix`.
    std::size_t Seen(const std::string& prefix) const {
        return static_cast<std::size_t>(
            std::count_if(m_backend->Lines().begin(), m_backend->Lines().end(),
                          [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    }

    // A keyboard on this test's bus; the keymap, the setter and the beeps are the test's.
    std::unique_ptr<CPortalKeyboard> Keyboard(std::string keymap = {},
                                              FocusedTextSetter setter = {}) {
        return std::make_unique<CPortalKeyboard>(
            CPortalBus::Connect(), [keymap] { return keymap; }, [this] { ++m_beeps; },
            std::move(setter), m_profile, kWaits);
    }
    // Types one message by the Unicode (0) or layout (1) method, then Enter, as a run types it.
    static void TypeMessage(IKeyboard& keyboard, const std::u16string& text, int method = 0) {
        const Status typed = TypeThroughPortal(keyboard, text, method, true);
        ASSERT_TRUE(typed.ok()) << std::string(typed.reason().begin(), typed.reason().end());
    }
    std::unique_ptr<CPortalGlobalShortcut> Shortcut(
        std::shared_ptr<CPortalBus> bus = CPortalBus::Connect()) {
        return std::make_unique<CPortalGlobalShortcut>(
            std::move(bus), [this] { m_presses.Add(); }, kWaits);
    }
    // Calls a method of the backend's control interface; its answer, empty when the call failed.
    static std::string Control(const std::string& method, const std::string& argument = "") {
        std::vector<std::string> argv{
            "gdbus",     "call",       "--session",
            "--dest",    kBackendName, "--object-path",
            kPortalPath, "--method",   "org.quenby.test.Control." + method};
        if (!argument.empty()) {
            argv.push_back(argument);
        }
        std::string output;
        return RunCommand(argv, &output) == 0 ? output : "";
    }
    // The desktop presses the bound shortcut `id`; false when it had none to press.
    static bool PressShortcut(const std::string& id) {
        return Control("Activate", id).find("(uint32 1,)") != std::string::npos;
    }

    std::shared_ptr<CIniProfileStore> m_profile;  // the test user's
    std::atomic<int> m_beeps{0};
    CEventCounter m_presses;
    CEventCounter m_signals;

private:
    std::unique_ptr<CChildProcess> m_backend;
    std::unique_ptr<CChildProcess> m_frontend;
};

using PortalDesktopTest = PortalFixture;
using PortalKeyboardTest = PortalFixture;
using PortalGlobalShortcutTest = PortalFixture;

TEST_F(PortalDesktopTest, EachPortalIsUsedOnlyWhenTheDesktopOffersIt) {
    for (unsigned impl : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(impl);
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

// Where the portal can keep the consent (version 2), the user is asked once: each start hands out
// a token for the next, which works once. A used token brings the question back, also from a
// desktop that fails the start with it.
TEST_F(PortalKeyboardTest, ConsentIsAskedOnceWhereThePortalCanKeepIt) {
    for (const bool failsUnknown : {false, true}) {
        SCOPED_TRACE(failsUnknown);
        StartDesktop(0, failsUnknown ? "--fail-unknown-token" : "", QUENBY_REMOTE_DESKTOP_V2);
        const std::vector<std::string> askedAfresh{"select-devices 1 persist 2 token -",
                                                   "start asked"};
        std::vector<std::string> usedToken{"select-devices 1 persist 2 token token-1"};
        usedToken.push_back(failsUnknown ? "start failed" : "start asked");
        if (failsUnknown) {
            usedToken.insert(usedToken.end(), askedAfresh.begin(), askedAfresh.end());
        }
        const struct {
            const char* m_stored;  // put into the profile first; null: left as it is
            std::vector<std::string> m_steps;
            const char* m_kept;
        } starts[] = {
            {nullptr, askedAfresh, "token-1"},
            {nullptr, {"select-devices 1 persist 2 token token-1", "start restored"}, "token-2"},
            {"token-1", usedToken, "token-3"},
        };
        for (const auto& start : starts) {
            if (start.m_stored != nullptr) {
                m_profile->WriteString(kProfileSection, CRemoteDesktopSession::kRestoreTokenName,
                                       start.m_stored);
            }
            // A keyboard of its own: a new start of the program.
            TypeMessage(*Keyboard(), u"a");
            EXPECT_EQ(Lines("s", start.m_steps.size()), start.m_steps);
            EXPECT_EQ(Lines("key", 6), Keys({"0x61", "0xff0d"}));
            EXPECT_EQ(
                m_profile->GetString(kProfileSection, CRemoteDesktopSession::kRestoreTokenName),
                std::optional<std::string>(start.m_kept));
        }
    }
}

TEST_F(PortalKeyboardTest, RefusedConsentFailsWithTheReasonAndLeavesNoSession) {
    StartDesktop(kRemoteDesktop, "--refuse");
    Expected<std::unique_ptr<IKeyboardOutput>> output = Keyboard()->OpenOutput();
    ASSERT_FALSE(output.ok());
    EXPECT_NE(output.reason().find(u"not allowed"), std::u16string::npos);
    EXPECT_EQ(Lines("close-session", 1).size(), 1u);
    EXPECT_EQ(Seen("start refused"), 1u);
}

// The desktop ends the session mid-message: the output says so, and a run stops with that reason.
TEST_F(PortalKeyboardTest, ASessionTheDesktopEndsIsAFailureThatSaysWhy) {
    StartDesktop(kRemoteDesktop);
    Expected<std::unique_ptr<IKeyboardOutput>> output = Keyboard()->OpenOutput();
    ASSERT_TRUE(output.ok());
    EXPECT_TRUE(output.value()->SendStatus().ok());
    EXPECT_EQ(Control("CloseSessions"), "(uint32 1,)\n");
    for (int i = 0; i < 100 && output.value()->SendStatus().ok(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the bus thread reports it
    }
    EXPECT_NE(output.value()->SendStatus().reason().find(u"ended Quenby's remote-control session"),
              std::u16string::npos);
}

// Characters the layout lacks would be dropped by the desktop: the message goes to the focused
// field when it takes it (by the Unicode method), else those characters beep and are skipped. Those
// it has go as its keys by either method (US evdev codes: C 46, a 30, f 33, e 18, ! on 1 (2), Space
// 57), not through the desktop's own keymap. With the layout unknown every character is sent as a
// keysym, as xkbcommon names it (legacy keysyms for the Euro sign and Cyrillic).
TEST_F(PortalKeyboardTest, CharactersTheLayoutLacks) {
    StartDesktop(kRemoteDesktop);
    const struct {
        const char* m_layout;  // empty: unknown
        int m_iMethod;
        std::u16string m_text;
        bool m_bFieldTakesIt;
        std::vector<std::u16string> m_offered;  // what the field setter was given
        std::vector<std::string> m_keys;
        int m_beeps;
    } cases[] = {
        {"us", 0, u"Cafe!", true, {}, {"K46", "k30", "k33", "k18", "K2", "0xff0d"}, 0},
        {"us", 0, u"Caf\u00e9", true, {u"Caf\u00e9"}, {"0xff0d"}, 0},
        {"us", 0, u"e\u00e9 \u0436", false, {u"e\u00e9 \u0436"}, {"k18", "k57", "0xff0d"}, 2},
        {"us", 1, u"A\u00e9", false, {}, {"K30", "0xff0d"}, 1},
        {"", 0, u"\u00e9\u20ac\u0436", false, {}, {"0xe9", "0x20ac", "0x6d6", "0xff0d"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.m_layout) + " method " + std::to_string(c.m_iMethod));
        std::vector<std::u16string> offered;
        const std::unique_ptr<CPortalKeyboard> keyboard = Keyboard(
            *c.m_layout != 0 ? KeymapText(c.m_layout) : "", [&](const std::u16string& text) {
                offered.push_back(text);
                return c.m_bFieldTakesIt;
            });
        m_beeps = 0;
        TypeMessage(*keyboard, c.m_text, c.m_iMethod);
        const std::vector<std::string> keys = Keys(c.m_keys);  // a session each
        EXPECT_EQ(Lines("key", keys.size()), keys);
        EXPECT_EQ(offered, c.m_offered);
        EXPECT_EQ(m_beeps.load(), c.m_beeps);
    }
    // Version 1 cannot keep the consent: nothing to keep.
    EXPECT_FALSE(m_profile->GetString(kProfileSection, CRemoteDesktopSession::kRestoreTokenName));
}

// Each combination is bound as the preferred trigger in a session of its own: registering closes
// the old session first (the new one has its token). Only our shortcut's presses reach the run,
// once each, and unregistering closes the last session. On a desktop that binds at
// BindShortcuts and on one that binds only what CreateSession brings (KDE Plasma 5.27).
TEST_F(PortalGlobalShortcutTest, BindsEachCombinationAndPressesReachTheRunOnceUntilUnregistered) {
    for (const char* mode : {"", "--plasma527"}) {
        SCOPED_TRACE(mode);
        StartDesktop(kGlobalShortcuts, mode);
        m_presses.Reset();
        m_signals.Reset();
        const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
        const std::unique_ptr<CPortalGlobalShortcut> shortcut = Shortcut(bus);
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
            EXPECT_EQ(shortcut->RegisterHotKey(c.m_virtualKey, c.m_modifiers),
                      c.m_trigger != nullptr)
                << c.m_virtualKey;
            if (c.m_trigger != nullptr) {
                EXPECT_EQ(Lines("bind ", 1),
                          std::vector<std::string>{std::string("bind start-stop ") + c.m_trigger});
            }
        }
        EXPECT_EQ(Seen("close-session"), 4u) << "an old session was left open";
        // Under the same token each time: the desktop keeps the user's choices for the shortcut
        // under it, from one start to the next.
        EXPECT_EQ(Seen("create-session global-shortcuts quenby_start_stop with 1"), 5u);
        // Every shortcut the desktop says was pressed, ours or not, counted after the shortcut's
        // own handler has seen it: handlers run in the order they subscribed.
        const unsigned counting =
            bus->Subscribe("org.freedesktop.portal.GlobalShortcuts", "Activated", kPortalPath,
                           [this](GVariant*) { m_signals.Add(); });
        for (const char* id : {"start-stop", "start-stop", "something-else", "start-stop"}) {
            ASSERT_TRUE(PressShortcut(id));
        }
        ASSERT_EQ(m_signals.WaitFor(4), 4);
        EXPECT_EQ(m_presses.Count(), 3);
        shortcut->UnregisterHotKey();
        EXPECT_EQ(Lines("close-session", 1).size(), 1u);
        EXPECT_FALSE(PressShortcut("start-stop"));
        // Ended here: one still there when the connection goes is freed only if GDBus lets go
        // first.
        bus->Unsubscribe(counting);
    }
}

}  // namespace
}  // namespace quenby::test

// The GNOME custom shortcut against real GSettings: dconf on a session bus of the test's own, read
// back by GNOME's own command-line tool.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "HeadlessGnome.h"
#include "engine/HotKeyProfile.h"
#include "linux/gnome/GnomeCustomShortcut.h"

namespace quenby::test {
namespace {

const std::string kList = "org.gnome.settings-daemon.plugins.media-keys";
const std::string kUsers = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/c0/";
const std::string kOurs = CGnomeCustomShortcut::kPath;

// `gsettings get` or `set` of a key of `schema`, or of the entry at `path`; what it printed.
std::string Gsettings(const char* verb, const std::string& path, const char* key,
                      const std::string& value = {}) {
    const std::string schema = path == kList ? kList : kList + ".custom-keybinding:" + path;
    std::vector<std::string> argv{"gsettings", verb, schema, key};
    if (!value.empty()) {
        argv.push_back(value);
    }
    std::string output;
    EXPECT_EQ(RunCommand(argv, &output), 0) << schema << key;
    return output.empty() ? output : output.substr(0, output.size() - 1);
}
std::vector<std::string> Entry(const std::string& path) {
    return {Gsettings("get", path, "name"), Gsettings("get", path, "command"),
            Gsettings("get", path, "binding")};
}

using GnomeCustomShortcutTest = GnomeFixture;

// Each combination assigned updates our one entry, the user's own shortcut stays as it was, and
// unregistering takes ours out of the list again.
TEST_F(GnomeCustomShortcutTest, WritesOnlyItsOwnEntry) {
    if (!GnomeCustomShortcutsAvailable()) {
        GTEST_SKIP() << "GNOME's settings schemas (gnome-settings-daemon-common) are missing";
    }
    ASSERT_TRUE(UseDconf());
    Gsettings("set", kUsers, "name", "Terminal");
    Gsettings("set", kUsers, "command", "gnome-terminal");
    Gsettings("set", kUsers, "binding", "<Super>t");
    Gsettings("set", kList, "custom-keybindings", "['" + kUsers + "']");
    const std::vector<std::string> users{"'Terminal'", "'gnome-terminal'", "'<Super>t'"};

    CGnomeCustomShortcut shortcut;
    const struct {
        std::uint16_t m_virtualKey;
        std::uint16_t m_modifiers;
        const char* m_binding;
    } cases[] = {
        {0x78, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT, "'<Control><Shift>F9'"},
        {'A', SYSTEM_FLAG_ALT, "'<Alt>a'"},
        {'1', SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_WIN, "'<Control><Super>1'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_binding);
        // As the window changes the combination: the old one goes, the new one comes.
        shortcut.UnregisterHotKey();
        ASSERT_TRUE(shortcut.RegisterHotKey(c.m_virtualKey, c.m_modifiers));
        EXPECT_EQ(Gsettings("get", kList, "custom-keybindings"),
                  "['" + kUsers + "', '" + kOurs + "']");
        EXPECT_EQ(Entry(kOurs), (std::vector<std::string>{"'Quenby: start/stop typing'",
                                                          "'quenby --toggle'", c.m_binding}));
        EXPECT_EQ(Entry(kUsers), users);
    }
    EXPECT_FALSE(shortcut.RegisterHotKey(0xFF, SYSTEM_FLAG_CONTROL));  // a key without a name
    shortcut.UnregisterHotKey();
    EXPECT_EQ(Gsettings("get", kList, "custom-keybindings"), "['" + kUsers + "']");
    EXPECT_EQ(Gsettings("get", kOurs, "binding"), "''");
    EXPECT_EQ(Entry(kUsers), users);
}

// GNOME itself: headless GNOME Shell with GNOME's media-keys daemon. The entry written while the
// daemon runs makes a press of the combination run `quenby --toggle` (a stand-in that notes it).
TEST_F(GnomeCustomShortcutTest, APressOfTheCombinationRunsQuenbyToggle) {
    if (const std::string missing = Missing({"gnome-shell", "/usr/libexec/gsd-media-keys"});
        !missing.empty()) {
        GTEST_SKIP() << missing << " is missing (packages gnome-shell, gnome-settings-daemon)";
    }
    StartShell();
    ASSERT_FALSE(HasFatalFailure());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    // The daemon runs the command found in its PATH: ours first.
    std::filesystem::create_directories(m_root / "bin");
    WriteBytes(m_root / "bin/quenby",
               "#!/bin/sh\necho \"$@\" >> \"" + (m_root / "toggled").string() + "\"\n");
    std::filesystem::permissions(m_root / "bin/quenby", std::filesystem::perms::owner_all);
    ::setenv("PATH", ((m_root / "bin").string() + ":" + ::getenv("PATH")).c_str(), 1);
    m_processes.push_back(
        std::make_unique<CChildProcess>(std::vector<std::string>{"/usr/libexec/gsd-media-keys"}));
    ASSERT_EQ(RunCommand({"gdbus", "wait", "--session", "--timeout", "60",
                          "org.gnome.SettingsDaemon.MediaKeys"}),
              0);
    CGnomeCustomShortcut shortcut;
    ASSERT_TRUE(shortcut.RegisterHotKey(0x78, SYSTEM_FLAG_CONTROL | SYSTEM_FLAG_SHIFT));

    // Ctrl+Shift+F9 through the compositor's remote-desktop session, pressed again until the
    // daemon has taken the new binding.
    GVariant* created = nullptr;
    ASSERT_TRUE(Call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                     "org.gnome.Mutter.RemoteDesktop", "CreateSession", nullptr, &created));
    const std::string session =
        g_variant_get_string(g_variant_get_child_value(created, 0), nullptr);
    g_variant_unref(created);
    const char* kSession = "org.gnome.Mutter.RemoteDesktop.Session";
    ASSERT_TRUE(
        Call("org.gnome.Mutter.RemoteDesktop", session.c_str(), kSession, "Start", nullptr));
    while (!std::filesystem::exists(m_root / "toggled")) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the press ran nothing";
        for (const auto& [key, down] : {std::pair{29u, true},
                                        {42u, true},
                                        {67u, true},
                                        {67u, false},
                                        {42u, false},
                                        {29u, false}}) {
            ASSERT_TRUE(Call("org.gnome.Mutter.RemoteDesktop", session.c_str(), kSession,
                             "NotifyKeyboardKeycode", g_variant_new("(ub)", key, down)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    EXPECT_EQ(ReadText(m_root / "toggled").substr(0, 9), "--toggle\n");
}

}  // namespace
}  // namespace quenby::test

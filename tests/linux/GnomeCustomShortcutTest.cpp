// The GNOME custom shortcut against real GSettings: dconf on a session bus of the test's own, read
// back by GNOME's own command-line tool.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "TempHome.h"
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

using GnomeCustomShortcutTest = TempHome;

// Each combination assigned updates our one entry, the user's own shortcut stays as it was, and
// unregistering takes ours out of the list again.
TEST_F(GnomeCustomShortcutTest, WritesOnlyItsOwnEntry) {
    if (!GnomeCustomShortcutsAvailable()) {
        GTEST_SKIP() << "GNOME's settings schemas (gnome-settings-daemon-common) are missing";
    }
    ASSERT_TRUE(StartSessionBus());
    // The settings go to dconf, as on a GNOME desktop, not to memory; dconf talks over GLib's
    // shared connection, which would end this process when the test's bus goes at its end.
    ::setenv("GSETTINGS_BACKEND", "dconf", 1);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr);
    g_dbus_connection_set_exit_on_close(bus, FALSE);
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
    g_object_unref(bus);
}

}  // namespace
}  // namespace quenby::test

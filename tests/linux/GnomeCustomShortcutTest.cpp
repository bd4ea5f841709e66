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

constexpr const char* kList = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kEntry = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:";
constexpr const char* kUsersPath =
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/";

class GnomeCustomShortcutTest : public TempHome {
protected:
    // What `gsettings get` prints, without its line end.
    static std::string Get(const std::string& schema, const char* key) {
        std::string output;
        EXPECT_EQ(RunCommand({"gsettings", "get", schema, key}, &output), 0) << schema << key;
        while (!output.empty() && output.back() == '\n') {
            output.pop_back();
        }
        return output;
    }
    static void Set(const std::string& schema, const char* key, const std::string& value) {
        ASSERT_EQ(RunCommand({"gsettings", "set", schema, key, value}), 0) << schema << key;
    }
    // The entry at `path`: name, command and binding.
    static std::vector<std::string> Entry(const std::string& path) {
        return {Get(kEntry + path, "name"), Get(kEntry + path, "command"),
                Get(kEntry + path, "binding")};
    }
};

// Each combination assigned updates our one entry, the user's own shortcut stays as it was, and
// unregistering takes ours out of the list again.
TEST_F(GnomeCustomShortcutTest, WritesOnlyItsOwnEntry) {
    if (!GnomeCustomShortcutsAvailable()) {
        GTEST_SKIP() << "GNOME's settings schemas (gnome-settings-daemon-common) are missing";
    }
    ASSERT_TRUE(StartSessionBus());
    // The settings go to dconf, as on a GNOME desktop, not to memory.
    ::setenv("GSETTINGS_BACKEND", "dconf", 1);
    // dconf talks over GLib's shared connection, which would end this process when the test's
    // bus goes away at its end.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr);
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    const std::vector<std::string> users{"'Terminal'", "'gnome-terminal'", "'<Super>t'"};
    Set(kEntry + std::string(kUsersPath), "name", "Terminal");
    Set(kEntry + std::string(kUsersPath), "command", "gnome-terminal");
    Set(kEntry + std::string(kUsersPath), "binding", "<Super>t");
    Set(kList, "custom-keybindings", std::string("['") + kUsersPath + "']");
    const std::string both =
        std::string("['") + kUsersPath + "', '" + CGnomeCustomShortcut::kPath + "']";

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
        EXPECT_EQ(Get(kList, "custom-keybindings"), both);
        EXPECT_EQ(Entry(CGnomeCustomShortcut::kPath),
                  (std::vector<std::string>{"'Quenby: start/stop typing'", "'quenby --toggle'",
                                            c.m_binding}));
        EXPECT_EQ(Entry(kUsersPath), users);
    }
    EXPECT_FALSE(shortcut.RegisterHotKey(0xFF, SYSTEM_FLAG_CONTROL));  // a key without a name
    shortcut.UnregisterHotKey();
    EXPECT_EQ(Get(kList, "custom-keybindings"), std::string("['") + kUsersPath + "']");
    EXPECT_EQ(Get(kEntry + std::string(CGnomeCustomShortcut::kPath), "binding"), "''");
    EXPECT_EQ(Entry(kUsersPath), users);
    g_object_unref(bus);
}

}  // namespace
}  // namespace quenby::test

#include "linux/gnome/GnomeCustomShortcut.h"

#include <gio/gio.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "engine/HotKeyProfile.h"
#include "linux/x11/VirtualKeys.h"

namespace quenby {
namespace {

constexpr const char* kMediaKeysSchema = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kEntrySchema =
    "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kListKey = "custom-keybindings";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsPtr = std::unique_ptr<GSettings, ObjectUnref>;

// The installed schema of that id, or null; a missing schema would abort GSettings.
GSettingsSchema* LookupSchema(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return source != nullptr ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
}

SettingsPtr OpenSettings(const char* id, const char* path) {
    GSettingsSchema* schema = LookupSchema(id);
    if (schema == nullptr) {
        return nullptr;
    }
    GSettings* settings = g_settings_new_full(schema, nullptr, path);
    g_settings_schema_unref(schema);
    return SettingsPtr(settings);
}

std::vector<std::string> ReadList(GSettings* settings) {
    gchar** paths = g_settings_get_strv(settings, kListKey);
    std::vector<std::string> list;
    for (gchar** path = paths; path != nullptr && *path != nullptr; ++path) {
        list.emplace_back(*path);
    }
    g_strfreev(paths);
    return list;
}

bool WriteList(GSettings* settings, const std::vector<std::string>& list) {
    std::vector<const gchar*> paths;
    for (const std::string& path : list) {
        paths.push_back(path.c_str());
    }
    paths.push_back(nullptr);
    return g_settings_set_strv(settings, kListKey, paths.data()) != FALSE;
}

}  // namespace

std::optional<std::string> GnomeBinding(std::uint16_t virtualKey, std::uint16_t modifiers) {
    const std::optional<std::uint32_t> keysym = KeysymForVirtualKey(virtualKey);
    char name[64] = {};
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return std::nullopt;
    }
    constexpr std::array<std::pair<std::uint16_t, const char*>, 4> kModifiers{{
        {SYSTEM_FLAG_CONTROL, "<Control>"},
        {SYSTEM_FLAG_ALT, "<Alt>"},
        {SYSTEM_FLAG_SHIFT, "<Shift>"},
        {SYSTEM_FLAG_WIN, "<Super>"},
    }};
    std::string binding;
    for (const auto& [flag, text] : kModifiers) {
        if ((modifiers & flag) != 0) {
            binding += text;
        }
    }
    return binding + name;
}

bool GnomeCustomShortcutsAvailable() {
    GSettingsSchema* list = LookupSchema(kMediaKeysSchema);
    GSettingsSchema* entry = LookupSchema(kEntrySchema);
    const bool available = list != nullptr && entry != nullptr;
    for (GSettingsSchema* schema : {list, entry}) {
        if (schema != nullptr) {
            g_settings_schema_unref(schema);
        }
    }
    return available;
}

bool CGnomeCustomShortcut::RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) {
    const std::optional<std::string> binding = GnomeBinding(virtualKey, modifiers);
    const SettingsPtr list = OpenSettings(kMediaKeysSchema, nullptr);
    const SettingsPtr entry = OpenSettings(kEntrySchema, kPath);
    if (!binding || !list || !entry) {
        return false;
    }
    // The entry first, then the list: the settings daemon reads an entry when it is listed.
    bool written = g_settings_set_string(entry.get(), "name", kName) != FALSE &&
                   g_settings_set_string(entry.get(), "command", kCommand) != FALSE &&
                   g_settings_set_string(entry.get(), "binding", binding->c_str()) != FALSE;
    std::vector<std::string> paths = ReadList(list.get());
    if (written && std::find(paths.begin(), paths.end(), kPath) == paths.end()) {
        paths.emplace_back(kPath);
        written = WriteList(list.get(), paths);
    }
    // Written through before we go on: the desktop's settings service takes writes in turn.
    g_settings_sync();
    return written;
}

void CGnomeCustomShortcut::UnregisterHotKey() {
    const SettingsPtr list = OpenSettings(kMediaKeysSchema, nullptr);
    const SettingsPtr entry = OpenSettings(kEntrySchema, kPath);
    if (!list || !entry) {
        return;
    }
    std::vector<std::string> paths = ReadList(list.get());
    const auto ours = std::remove(paths.begin(), paths.end(), kPath);
    if (ours != paths.end()) {
        paths.erase(ours, paths.end());
        WriteList(list.get(), paths);
    }
    for (const char* key : {"name", "command", "binding"}) {
        g_settings_reset(entry.get(), key);
    }
    g_settings_sync();
}

}  // namespace quenby

#include "linux/DesktopShellActions.h"

#include <gio/gio.h>

#include <string>

namespace quenby {
namespace {

// Starts the desktop's opener on a URI without waiting for it and without a shell.
bool Open(const std::string& uri) {
    gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(uri.c_str()), nullptr};
    GError* error = nullptr;
    if (g_spawn_async(nullptr, argv, nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                               G_SPAWN_STDERR_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, &error)) {
        return true;
    }
    g_error_free(error);
    // No xdg-open: GIO's own idea of the default application.
    return g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr) != FALSE;
}

std::string FileUri(const std::filesystem::path& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri != nullptr ? uri : "";
    g_free(uri);
    return text;
}

}  // namespace

void CDesktopShellActions::OpenWebAddress(std::string_view address) {
    (void)Open(std::string(address));
}

bool CDesktopShellActions::ShowFileInFolder(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    if (error || !std::filesystem::exists(absolute, error)) {
        return false;
    }
    GError* dbusError = nullptr;
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &dbusError)) {
        const gchar* uris[] = {nullptr, nullptr};
        const std::string uri = FileUri(absolute);
        uris[0] = uri.c_str();
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr,
            G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &dbusError);
        g_object_unref(bus);
        if (reply != nullptr) {
            g_variant_unref(reply);
            return true;
        }
    }
    if (dbusError != nullptr) {
        g_error_free(dbusError);
    }
    return Open(FileUri(absolute.parent_path()));
}

}  // namespace quenby

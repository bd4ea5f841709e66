#include "linux/DesktopPortal.h"

#include <gio/gio.h>

namespace quenby {

bool PortalOffersFileChooser(int timeoutMs) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_clear_error(&error);
        return false;
    }
    // The portal exports an interface only where one of its back ends implements it, so the
    // version answers only where a file dialog can really be shown.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.portal.FileChooser", "version"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
    const bool offered = reply != nullptr;
    if (reply != nullptr) {
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    g_object_unref(bus);
    return offered;
}

}  // namespace quenby

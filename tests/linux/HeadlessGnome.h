#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TempHome.h"
#include "support/PrivateSession.h"

namespace quenby::test {

// A GNOME session of the test's own: settings in dconf on a session bus of its own and, for the
// tests that need the desktop itself, headless GNOME Shell (Wayland, one virtual monitor) and
// GNOME's portals.
class GnomeFixture : public TempHome {
protected:
    void TearDown() override {
        m_processes.clear();
        TempHome::TearDown();
        for (GDBusConnection* connection : {m_connection, m_shared}) {
            if (connection != nullptr) {
                g_object_unref(connection);
            }
        }
    }

    // Settings in dconf, as on a GNOME desktop, on a session bus of the test's own. dconf talks
    // over GLib's shared connection, which would end this process when that bus goes at the end;
    // the test's own calls go over a connection of their own, which a later test in the same
    // process makes afresh.
    bool UseDconf() {
        if (!StartSessionBus()) {
            return false;
        }
        ::setenv("GSETTINGS_BACKEND", "dconf", 1);
        m_shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (m_shared != nullptr) {
            g_dbus_connection_set_exit_on_close(m_shared, FALSE);
        }
        m_connection = g_dbus_connection_new_for_address_sync(
            ::getenv("DBUS_SESSION_BUS_ADDRESS"),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (m_connection != nullptr) {
            g_dbus_connection_set_exit_on_close(m_connection, FALSE);
        }
        return m_connection != nullptr;
    }

    // Whether a method call on the session bus answered; `reply` gets the answer when wanted.
    bool Call(const char* name, const char* path, const char* interface, const char* method,
              GVariant* parameters, GVariant** reply = nullptr) {
        GVariant* answer =
            g_dbus_connection_call_sync(m_connection, name, path, interface, method, parameters,
                                        nullptr, G_DBUS_CALL_FLAGS_NONE, 20000, nullptr, nullptr);
        if (reply != nullptr) {
            *reply = answer;
        } else if (answer != nullptr) {
            g_variant_unref(answer);
        }
        return answer != nullptr;
    }

    // The user's one keyboard layout, as GNOME's keyboard settings keep it.
    static bool SetLayout(const std::string& layout) {
        return RunCommand({"gsettings", "set", "org.gnome.desktop.input-sources", "sources",
                           "[('xkb', '" + layout + "')]"}) == 0;
    }

    // Headless GNOME Shell with `layout`, left in the desktop rather than the Overview it starts
    // in (where keys go to its search). Its Wayland socket is wayland-0 in the test's runtime
    // folder.
    void StartShell(const std::string& layout = "us") {
        // GNOME Shell needs a system bus: an empty bus of the test's own at its address.
        std::string systemBus;
        m_processes.push_back(StartBus(m_root / "system.conf",
                                       "unix:path=" + (m_root / "system").string(), systemBus));
        ASSERT_TRUE(m_processes.back()) << "no system bus";
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.c_str(), 1);
        ASSERT_TRUE(UseDconf());
        ASSERT_TRUE(SetLayout(layout));
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
        ::setenv("XDG_SESSION_TYPE", "wayland", 1);
        m_processes.push_back(std::make_unique<CChildProcess>(std::vector<std::string>{
            "gnome-shell", "--headless", "--wayland", "--virtual-monitor", "1024x768"}));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        for (bool shown = false; !shown;
             std::this_thread::sleep_for(std::chrono::milliseconds(200))) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "GNOME Shell did not start";
            GVariant* overview = nullptr;
            if (Call("org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties",
                     "Get", g_variant_new("(ss)", "org.gnome.Shell", "OverviewActive"),
                     &overview)) {
                GVariant* value = nullptr;
                g_variant_get(overview, "(v)", &value);
                shown = g_variant_get_boolean(value) != FALSE;
                g_variant_unref(value);
                g_variant_unref(overview);
            }
        }
        ASSERT_TRUE(Call("org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties",
                         "Set",
                         g_variant_new("(ssv)", "org.gnome.Shell", "OverviewActive",
                                       g_variant_new_boolean(FALSE))));
    }

    GDBusConnection* m_connection = nullptr;
    GDBusConnection* m_shared = nullptr;  // GLib's, kept while the test's bus lives
    std::vector<std::unique_ptr<CChildProcess>> m_processes;
};

}  // namespace quenby::test

#!/usr/bin/env python3
"""Serves the RemoteDesktop and GlobalShortcuts backend interfaces to the real frontend, printing
each call. Usage: PortalBackend.py BUS_NAME [--refuse: no to Start] [--plasma527: binds only the
shortcuts CreateSession brings, as KDE Plasma 5.27 does]. org.quenby.test.Control.Activate(id)
presses a shortcut in the first open session with bound ones; CloseSessions() ends them all."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
REMOTE_DESKTOP = "org.freedesktop.impl.portal.RemoteDesktop"
SHORTCUTS = "org.freedesktop.impl.portal.GlobalShortcuts"
SESSION = "org.freedesktop.impl.portal.Session"
CONTROL = "org.quenby.test.Control"
KEYBOARD = 1


def say(*words):
    print(" ".join(str(w) for w in words), flush=True)


class Session(dbus.service.Object):
    def __init__(self, bus, path, open_sessions):
        super().__init__(bus, path)
        self.open_sessions = open_sessions
        open_sessions.add(str(path))

    @dbus.service.signal(SESSION, signature="")
    def Closed(self):
        pass

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        say("close-session", self.__dbus_object_path__)
        self.open_sessions.discard(self.__dbus_object_path__)
        self.remove_from_connection()


class ShortcutSessions(dbus.service.Object):
    """RemoteDesktop has a CreateSession too: dbus-python finds each interface's by class."""

    @dbus.service.method(SHORTCUTS, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session, app_id, options):
        given = options.get("shortcuts", [])
        # The token the caller chose is the path's last part.
        self.new_session(session, "global-shortcuts", str(session).rsplit("/", 1)[-1],
                         "with", len(given))
        if self.plasma527:
            self.bind_list(session, given)
        return dbus.UInt32(0), {}


class Backend(ShortcutSessions):
    def __init__(self, bus, refuse, plasma527):
        super().__init__(bus, PATH)
        self.refuse = refuse
        self.plasma527 = plasma527
        self.open_sessions = set()
        self.sessions = {}
        self.shortcut_sessions = []  # in the order they were bound
        self.bound = {}  # session path: its bound shortcuts, as ListShortcuts gives them

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        if interface == REMOTE_DESKTOP:
            return {"AvailableDeviceTypes": dbus.UInt32(KEYBOARD), "version": dbus.UInt32(1)}
        if interface == SHORTCUTS:
            return {"version": dbus.UInt32(1)}
        return {}

    def new_session(self, path, kind, *details):
        self.sessions[str(path)] = Session(self.connection, path, self.open_sessions)
        say("create-session", kind, *details)

    def bind_list(self, session, shortcuts):
        bound = []
        for shortcut_id, properties in shortcuts:
            trigger = str(properties.get("preferred_trigger", ""))
            say("bind", shortcut_id, trigger)
            bound.append((shortcut_id, {"description": properties.get("description", ""),
                                        "trigger_description": trigger}))
        if bound:
            self.shortcut_sessions.append(str(session))
            self.bound[str(session)] = bound
        return bound

    def shortcut_list(self, bound):
        return {"shortcuts": dbus.Array(bound, signature="(sa{sv})", variant_level=1)}

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session, app_id, options):
        self.new_session(session, "remote-desktop")
        return dbus.UInt32(0), {}

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oosa{sv}", out_signature="ua{sv}")
    def SelectDevices(self, handle, session, app_id, options):
        say("select-devices", int(options.get("types", 0)))
        return dbus.UInt32(0), {}

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oossa{sv}", out_signature="ua{sv}")
    def Start(self, handle, session, app_id, parent_window, options):
        if self.refuse:
            say("start refused")
            return dbus.UInt32(1), {}
        say("start granted")
        return dbus.UInt32(0), {"devices": dbus.UInt32(KEYBOARD, variant_level=1)}

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        say("keysym", "0x%x" % keysym, "down" if state else "up")

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeycode(self, session, options, keycode, state):
        say("keycode", keycode, "down" if state else "up")

    @dbus.service.method(SHORTCUTS, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}")
    def BindShortcuts(self, handle, session, shortcuts, parent_window, options):
        if self.plasma527:
            say("bind-ignored", len(shortcuts))
            return dbus.UInt32(0), self.shortcut_list([])
        return dbus.UInt32(0), self.shortcut_list(self.bind_list(session, shortcuts))

    @dbus.service.method(SHORTCUTS, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session):
        say("list-shortcuts")
        return dbus.UInt32(0), self.shortcut_list(self.bound.get(str(session), []))

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(CONTROL, in_signature="", out_signature="u")
    def CloseSessions(self):
        closed = 0
        for path in list(self.open_sessions):
            self.sessions[path].Closed()
            self.open_sessions.discard(path)
            closed += 1
        return dbus.UInt32(closed)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="u")
    def Activate(self, shortcut_id):
        for session in self.shortcut_sessions:
            if session in self.open_sessions:
                self.Activated(dbus.ObjectPath(session), shortcut_id, dbus.UInt64(0), {})
                return dbus.UInt32(1)
        return dbus.UInt32(0)


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
Backend(bus, "--refuse" in sys.argv[2:], "--plasma527" in sys.argv[2:])
name = dbus.service.BusName(sys.argv[1], bus)  # owned while this lives
say("ready")
GLib.MainLoop().run()

#!/usr/bin/env python3
"""Serves version 2 of the RemoteDesktop portal itself, as org.freedesktop.portal.Desktop on the
session bus (the frontend that Debian ships speaks version 1 only), and prints every call it gets,
one line each. Usage: RemoteDesktopV2.py BUS_NAME [--fail-unknown-token].

Start grants the keyboard; it asks the user ("start asked") unless SelectDevices brought the
restore token handed out last, which works once ("start restored"). Each Start with persist_mode
2 hands out a new token. A token it does not know is ignored (the user is asked), or with
--fail-unknown-token makes Start fail with response 2, as a desktop may."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
REMOTE_DESKTOP = "org.freedesktop.portal.RemoteDesktop"
KEYBOARD = 1


def say(*words):
    print(" ".join(str(w) for w in words), flush=True)


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    """Answers once, after the method's reply has gone out, then goes away."""

    def __init__(self, bus, sender, token, code, results):
        path = "%s/request/%s/%s" % (PATH, sender_part(sender), token)
        super().__init__(bus, path)
        self.path = path
        GLib.idle_add(self.answer, code, results)

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, code, results):
        pass

    def answer(self, code, results):
        self.Response(dbus.UInt32(code), results)
        self.remove_from_connection()
        return False


class Session(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.restore_token = ""
        self.persist_mode = 0

    @dbus.service.method("org.freedesktop.portal.Session", in_signature="", out_signature="")
    def Close(self):
        say("close-session")
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, fail_unknown):
        super().__init__(bus, PATH)
        self.fail_unknown = fail_unknown
        self.sessions = {}
        self.issued = 0
        self.valid_token = None  # the one token that works, until it is used

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == REMOTE_DESKTOP and name == "version":
            return dbus.UInt32(2)
        if interface == REMOTE_DESKTOP and name == "AvailableDeviceTypes":
            return dbus.UInt32(KEYBOARD)
        raise dbus.exceptions.DBusException("no such property",
                                            name="org.freedesktop.DBus.Error.InvalidArgs")

    def request(self, sender, options, code, results):
        return Request(self.connection, sender, str(options["handle_token"]), code, results).path

    @dbus.service.method(REMOTE_DESKTOP, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        path = "%s/session/%s/%s" % (PATH, sender_part(sender), options["session_handle_token"])
        self.sessions[path] = Session(self.connection, path)
        say("create-session")
        return self.request(sender, options, 0, {"session_handle": dbus.String(path,
                                                                                variant_level=1)})

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}", out_signature="o",
                         sender_keyword="sender")
    def SelectDevices(self, session, options, sender=None):
        state = self.sessions[str(session)]
        state.persist_mode = int(options.get("persist_mode", 0))
        state.restore_token = str(options.get("restore_token", ""))
        say("select-devices", int(options.get("types", 0)), "persist", state.persist_mode,
            "token", state.restore_token or "-")
        return self.request(sender, options, 0, {})

    @dbus.service.method(REMOTE_DESKTOP, in_signature="osa{sv}", out_signature="o",
                         sender_keyword="sender")
    def Start(self, session, parent_window, options, sender=None):
        state = self.sessions[str(session)]
        token = state.restore_token
        if token and token == self.valid_token:
            say("start restored")
        elif token and self.fail_unknown:
            say("start failed")
            return self.request(sender, options, 2, {})
        else:
            say("start asked")
        self.valid_token = None
        results = {"devices": dbus.UInt32(KEYBOARD, variant_level=1)}
        if state.persist_mode == 2:
            self.issued += 1
            self.valid_token = "token-%d" % self.issued
            results["restore_token"] = dbus.String(self.valid_token, variant_level=1)
            results["persist_mode"] = dbus.UInt32(2, variant_level=1)
        return self.request(sender, options, 0, results)

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        say("keysym", "0x%x" % keysym, "down" if state else "up")


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
Portal(bus, "--fail-unknown-token" in sys.argv[2:])
names = [dbus.service.BusName(sys.argv[1], bus),
         dbus.service.BusName("org.freedesktop.portal.Desktop", bus)]  # owned while this lives
say("ready")
GLib.MainLoop().run()

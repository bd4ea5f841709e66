#!/usr/bin/env python3
"""Serves version 2 of the RemoteDesktop portal itself (Debian's frontend has version 1 only),
printing each call. Usage: RemoteDesktopV2.py BUS_NAME [--fail-unknown-token]. Start asks the user
unless it gets the last token handed out, which works once; each Start with persist_mode 2 hands
out a new one. Another token is ignored, or with --fail-unknown-token fails Start."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.RemoteDesktop"


def say(*words):
    print(" ".join(str(w) for w in words), flush=True)


def object_path(kind, sender, token):
    return "%s/%s/%s/%s" % (PATH, kind, sender[1:].replace(".", "_"), token)


class Request(dbus.service.Object):
    def __init__(self, bus, path, code, results):
        super().__init__(bus, path)
        GLib.idle_add(self.answer, code, results)  # once the method's reply has gone out

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, code, results):
        pass

    def answer(self, code, results):
        self.Response(dbus.UInt32(code), results)
        self.remove_from_connection()
        return False


class Session(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.Session", in_signature="", out_signature="")
    def Close(self):
        say("close-session")
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, fail_unknown):
        super().__init__(bus, PATH)
        self.fail_unknown = fail_unknown
        self.devices = {}  # session path: the SelectDevices options
        self.issued = 0
        self.valid_token = None  # the one token that works, until it is used

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return dbus.UInt32(2 if name == "version" else 1)

    def answer(self, sender, options, code, results):
        path = object_path("request", sender, options["handle_token"])
        return Request(self.connection, path, code, results).__dbus_object_path__

    @dbus.service.method(IFACE, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        path = object_path("session", sender, options["session_handle_token"])
        Session(self.connection, path)
        say("create-session")
        return self.answer(sender, options, 0, {"session_handle": dbus.String(path, variant_level=1)})

    @dbus.service.method(IFACE, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def SelectDevices(self, session, options, sender=None):
        self.devices[str(session)] = options
        say("select-devices", int(options.get("types", 0)), "persist",
            int(options.get("persist_mode", 0)), "token", options.get("restore_token", "-"))
        return self.answer(sender, options, 0, {})

    @dbus.service.method(IFACE, in_signature="osa{sv}", out_signature="o", sender_keyword="sender")
    def Start(self, session, parent_window, options, sender=None):
        devices = self.devices[str(session)]
        token = devices.get("restore_token")
        if token is not None and token == self.valid_token:
            say("start restored")
        elif token is not None and self.fail_unknown:
            say("start failed")
            return self.answer(sender, options, 2, {})
        else:
            say("start asked")
        self.valid_token = None
        results = {"devices": dbus.UInt32(1, variant_level=1)}
        if devices.get("persist_mode") == 2:
            self.issued += 1
            self.valid_token = "token-%d" % self.issued
            results["restore_token"] = dbus.String(self.valid_token, variant_level=1)
        return self.answer(sender, options, 0, results)

    @dbus.service.method(IFACE, in_signature="oa{sv}iu", out_signature="")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        say("keysym", "0x%x" % keysym, "down" if state else "up")


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
Portal(bus, "--fail-unknown-token" in sys.argv[2:])
names = [dbus.service.BusName(n, bus) for n in (sys.argv[1], "org.freedesktop.portal.Desktop")]
say("ready")
GLib.MainLoop().run()

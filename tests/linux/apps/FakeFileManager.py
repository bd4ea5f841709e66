#!/usr/bin/python3
# Serves org.freedesktop.FileManager1 on the session bus for the tests and prints each
# ShowItems call as "SHOW <uri> ..."; prints READY once the name is taken.
from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.FileManager1">
<method name="ShowItems"><arg type="as" name="uris" direction="in"/>
<arg type="s" name="startup" direction="in"/></method></interface></node>"""


def call(connection, sender, path, interface, method, parameters, invocation):
    uris, _ = parameters.unpack()
    print("SHOW " + " ".join(uris), flush=True)
    invocation.return_value(None)


def acquired(connection, name):
    print("READY", flush=True)


def bus_acquired(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(XML)
    connection.register_object("/org/freedesktop/FileManager1", node.interfaces[0], call)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.FileManager1",
                 Gio.BusNameOwnerFlags.NONE, bus_acquired, acquired, None)
GLib.MainLoop().run()

#!/usr/bin/python3
# A GTK 3 window for the set-text tests, printing like the Qt one:
#   FIELD entry <x> <y>, READY, CHANGED entry <hex>
# With --cover X Y W H it shows instead a plain window with no text field at that place, on top.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def say(line):
    print(line, flush=True)


def main():
    window = Gtk.Window(title="Quenby GTK target")
    if len(sys.argv) == 6 and sys.argv[1] == "--cover":
        x, y, w, h = (int(v) for v in sys.argv[2:])
        window.add(Gtk.Label(label="cover"))
        window.set_default_size(w, h)
        window.move(x, y)
        window.show_all()
        GLib.timeout_add(500, lambda: say("READY") or False)
    else:
        entry = Gtk.Entry()
        entry.connect("changed", lambda e: say("CHANGED entry " + e.get_text().encode().hex()))
        window.add(entry)
        window.set_default_size(240, 40)
        window.move(700, 400)
        window.show_all()

        def report():
            origin = entry.get_window().get_origin()
            allocation = entry.get_allocation()
            say("FIELD entry %d %d" % (origin.x + allocation.width // 2,
                                       origin.y + allocation.height // 2))
            say("READY")
            return False

        GLib.timeout_add(500, report)
    window.connect("destroy", Gtk.main_quit)
    Gtk.main()


main()

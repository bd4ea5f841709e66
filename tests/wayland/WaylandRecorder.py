#!/usr/bin/python3
# Receives typed text on Wayland and reports it, one line per end marker (U+E000), as
#   TEXT <hex of the UTF-8 received before the marker>
# and, on the way, RECEIVED <n> for every thousand characters received since the last marker.
# Modes:
#   gtk [lines]
#              a GTK 3 window with a text view; SHOWN once mapped, READY once a keyboard has
#              entered the window (the seat must have one). A press of F12 ends a text as the
#              marker does, and with "lines" a line break does (both for desktops that type only
#              what the user's layout has).
#   tty FILE   inside a terminal: reads it raw and appends READY, then the lines, to FILE.
#   entry [readonly]
#              a GTK 3 window with one focused text entry, for setting text through
#              accessibility: READY once a keyboard has entered it, then CHANGED <hex of the
#              UTF-8 text> whenever its text changes, and KEY <key name> for every key pressed in
#              it. Its text starts as "before", not selected: typed keys add to it, a set
#              replaces it.
#   fields     a GTK 3 window with two empty entries, the first focused: READY as for entry, then
#              FIELD<n> <hex of the UTF-8 text> whenever entry n changes; once the first holds
#              three characters, the focus moves to the second.
#   reachable PID
#              REACHABLE once the application of process PID has an active window on the
#              accessibility bus, or UNREACHABLE <why> after 20 seconds.
import os
import sys

MARKER = "\ue000"


def say(line):
    print(line, flush=True)


class Collector:
    """Takes characters as they are inserted, so a long text costs no more per character than a
    short one."""

    def __init__(self, say, marker=MARKER):
        self.say = say
        self.marker = marker
        self.pending = []
        self.count = 0

    def add(self, text):
        while self.marker in text:
            before, text = text.split(self.marker, 1)
            self.say("TEXT " + "".join(self.pending + [before]).encode().hex())
            self.pending = []
            self.count = 0
        self.pending.append(text)
        if (self.count + len(text)) // 1000 > self.count // 1000:
            self.say("RECEIVED %d" % ((self.count + len(text)) // 1000 * 1000))
        self.count += len(text)


def gtk():
    import gi

    gi.require_version("Gdk", "3.0")
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gdk, GLib, Gtk

    return Gdk, GLib, Gtk


def show_focused(window, widget):
    """Shows the window with the focus in `widget`, says SHOWN once it is mapped, and READY once
    a keyboard has entered the window: keys sent before then go elsewhere. GTK may call the
    window focused before the compositor has even shown it, when the seat has a keyboard at the
    start; a seat without a keyboard yet enters the window only at its first key."""
    _, _, Gtk = gtk()
    ready = []

    def focused(_window, _event):
        if widget.is_focus() and not ready:
            ready.append(True)
            say("READY")
        return False

    window.connect("focus-in-event", focused)
    window.connect("map-event", lambda _window, _event: say("SHOWN") or False)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    widget.grab_focus()


def run_text_view(marker):
    Gdk, GLib, Gtk = gtk()
    collector = Collector(say, marker)
    window = Gtk.Window(title="Quenby Wayland recorder")
    view = Gtk.TextView()
    view.set_wrap_mode(Gtk.WrapMode.CHAR)
    buffer = view.get_buffer()

    def inserted(_buffer, _where, text, _length):
        if marker in text:
            GLib.idle_add(lambda: buffer.set_text("") or False)
        collector.add(text)

    buffer.connect("insert-text", inserted)

    def pressed(_view, event):
        if event.keyval == Gdk.KEY_F12:
            inserted(buffer, None, marker, 1)
        return False

    view.connect("key-press-event", pressed)
    scroller = Gtk.ScrolledWindow()
    scroller.add(view)
    window.add(scroller)
    window.set_default_size(600, 400)
    show_focused(window, view)
    Gtk.main()


def run_tty(path):
    import codecs
    import tty

    out = open(path, "a", buffering=1)
    collector = Collector(lambda line: out.write(line + "\n"))
    fd = sys.stdin.fileno()
    tty.setraw(fd)  # no echo, no line editing, no signals
    out.write("READY\n")
    decoder = codecs.getincrementaldecoder("utf-8")()
    while chunk := os.read(fd, 65536):
        collector.add(decoder.decode(chunk))


def run_entry(readonly):
    Gdk, _, Gtk = gtk()
    window = Gtk.Window(title="Quenby Wayland entry")
    entry = Gtk.Entry()
    entry.set_text("before")
    entry.set_editable(not readonly)
    entry.connect("changed", lambda e: say("CHANGED " + e.get_text().encode().hex()))
    entry.connect("key-press-event",
                  lambda _e, event: say("KEY %s" % Gdk.keyval_name(event.keyval)) or False)
    window.add(entry)
    window.set_default_size(400, 60)
    show_focused(window, entry)
    entry.set_position(-1)  # focusing selected the text: typing would replace it like a set
    Gtk.main()


def run_fields():
    _, GLib, Gtk = gtk()
    window = Gtk.Window(title="Quenby Wayland fields")
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    entries = [Gtk.Entry(), Gtk.Entry()]
    moved = []

    def changed(entry, n):
        say("FIELD%d %s" % (n, entry.get_text().encode().hex()))
        if n == 1 and len(entry.get_text()) >= 3 and not moved:
            moved.append(True)
            GLib.idle_add(lambda: entries[1].grab_focus() or False)

    for n, entry in enumerate(entries, 1):
        entry.connect("changed", changed, n)
        box.add(entry)
    window.add(box)
    window.set_default_size(400, 80)
    show_focused(window, entries[0])
    Gtk.main()


# An application registers with the accessibility bus some time after its window shows.
def run_reachable(pid):
    import time

    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi

    deadline = time.monotonic() + 20
    last = "no application of that process"
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            try:
                application = desktop.get_child_at_index(i)
                if application is None or application.get_process_id() != pid:
                    continue
                # States are cached, and updated only through events this script does not
                # listen for: ask afresh every time.
                application.clear_cache()
                last = "no active window"
                for w in range(application.get_child_count()):
                    states = application.get_child_at_index(w).get_state_set()
                    if states.contains(Atspi.StateType.ACTIVE):
                        say("REACHABLE")
                        return
            except Exception as error:  # gone or not answering yet
                last = str(error)
        time.sleep(0.1)
    say("UNREACHABLE " + last)


mode = sys.argv[1:2]
if mode == ["tty"]:
    run_tty(sys.argv[2])
elif mode == ["reachable"]:
    run_reachable(int(sys.argv[2]))
elif mode == ["fields"]:
    run_fields()
elif mode == ["entry"]:
    run_entry(sys.argv[2:3] == ["readonly"])
else:
    run_text_view("\n" if sys.argv[2:3] == ["lines"] else MARKER)

#!/usr/bin/python3
# Answers a desktop's remote-control consent dialog through the accessibility bus, as the user
# would with the mouse:
#   ConsentDialog.py gnome|kde BUTTON
# waits for the desktop's dialog with a push button labelled BUTTON and presses it once it can
# be pressed; on GNOME, "Share" needs its "Allow remote interaction" switch turned on first.
# Says ANSWERED, or NOT ANSWERED <why> after 60 seconds.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

desktop_name, button_name = sys.argv[1:3]
# Where the dialog is: GNOME's portal backend is an application of its own; KDE's dialog is a
# window of that title in whichever application shows it.
gnome = desktop_name == "gnome"
switch_name = "Allow remote interaction" if gnome and button_name == "Share" else None


def find(accessible, wanted):
    if wanted(accessible):
        return accessible
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        found = child is not None and find(child, wanted)
        if found:
            return found
    return None


def named(roles, name):
    # GTK 4 names a button with a mnemonic after both its label forms ("_Share Share").
    names = (name, "_%s %s" % (name, name))
    return lambda a: a.get_role() in roles and (a.get_name() or "") in names


def can_press(button):
    button.clear_cache()  # states are cached and updated only through events
    return button.get_state_set().contains(Atspi.StateType.SENSITIVE)


def dialogs():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(i)
        if application is None:
            continue
        if gnome:
            if application.get_name() == "xdg-desktop-portal-gnome":
                yield application
            continue
        try:
            window = find(application, named({Atspi.Role.FRAME}, "Remote control requested"))
        except GLib.Error:
            continue  # an application that went away meanwhile
        if window is not None:
            yield window


def answer():
    for dialog in dialogs():
        button = find(dialog, named({Atspi.Role.PUSH_BUTTON}, button_name))
        if button is None:
            continue
        if switch_name is not None:
            switch = find(dialog,
                          named({Atspi.Role.CHECK_BOX, Atspi.Role.TOGGLE_BUTTON}, switch_name))
            if switch is None:
                return "no switch " + switch_name
            switch.get_action_iface().do_action(0)
        # The dialog lets the button be pressed once it has taken the switch.
        deadline = time.monotonic() + 10
        while not can_press(button) and time.monotonic() < deadline:
            time.sleep(0.05)
        button.get_action_iface().do_action(0)
        return None
    return "no dialog"


deadline = time.monotonic() + 60
why = "no dialog"
while time.monotonic() < deadline:
    try:
        why = answer()
    except Exception as error:  # a dialog still being built, or gone
        why = str(error)
    if why is None:
        print("ANSWERED", flush=True)
        sys.exit(0)
    time.sleep(0.1)
print("NOT ANSWERED " + why, flush=True)
sys.exit(1)

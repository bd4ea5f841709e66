#!/usr/bin/python3
# Answers a desktop's remote-control consent dialog through the accessibility bus, as the user
# would with the mouse:
#   ConsentDialog.py APPLICATION SWITCH BUTTON
# waits for APPLICATION's window with a push button labelled BUTTON, turns on the check box or
# switch labelled SWITCH first (unless SWITCH is "-"), then presses BUTTON once it can be
# pressed. Says ANSWERED, or NOT ANSWERED <why> after 60 seconds.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

application_name, switch_name, button_name = sys.argv[1:4]


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


def answer():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(i)
        if application is None or application.get_name() != application_name:
            continue
        button = find(application, named({Atspi.Role.PUSH_BUTTON}, button_name))
        if button is None:
            continue
        if switch_name != "-":
            switch = find(application,
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

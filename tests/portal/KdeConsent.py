#!/usr/bin/python3
# Answers KDE's "Remote control requested" dialog through accessibility, as a user would click:
#   KdeConsent.py BUTTON     presses BUTTON ("Share" or "Cancel") in the next such dialog and
#                            prints PRESSED, or NO DIALOG after 60 seconds.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def find(node, role, name, depth=0):
    """The first accessible under `node` with this role and name, or None."""
    if node is None or depth > 12:
        return None
    try:
        if node.get_role_name() == role and node.get_name() == name:
            return node
        for i in range(node.get_child_count()):
            found = find(node.get_child_at_index(i), role, name, depth + 1)
            if found is not None:
                return found
    except GLib.Error:
        pass  # an application that went away meanwhile
    return None


deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        dialog = find(desktop.get_child_at_index(i), "frame", "Remote control requested")
        button = find(dialog, "push button", sys.argv[1])
        if button is not None:
            button.do_action(0)
            print("PRESSED", flush=True)
            sys.exit(0)
    time.sleep(0.1)
print("NO DIALOG", flush=True)
sys.exit(1)

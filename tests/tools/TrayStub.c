/* A notification area that starts when told: it takes the screen's system-tray selection,
   announces itself, and prints "dock 0x<window>" for the first icon that asks to dock. */
#include <X11/Xlib.h>
#include <stdio.h>

int main(void) {
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    char name[64];
    snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", screen);
    const Atom selection = XInternAtom(display, name, False);
    const Atom opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Window tray = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, tray, CurrentTime);
    if (XGetSelectionOwner(display, selection) != tray) {
        fprintf(stderr, "the tray selection is taken\n");
        return 1;
    }
    XEvent manager = {0};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(display, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = (long)selection;
    manager.xclient.data.l[2] = (long)tray;
    XSendEvent(display, root, False, StructureNotifyMask, &manager);
    XFlush(display);
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        /* data.l[1] is the tray opcode: 0 asks to dock the window in data.l[2]. */
        if (event.type == ClientMessage && event.xclient.message_type == opcode &&
            event.xclient.data.l[1] == 0) {
            printf("dock 0x%lx\n", (unsigned long)event.xclient.data.l[2]);
            fflush(stdout);
            XCloseDisplay(display);
            return 0;
        }
    }
}

/* A small X client for the tests: it takes the keyboard focus and prints, one line each, every
 * key it receives as text (through the locale's input method and its compose table, as applications
 * read keys: keys taken for a compose sequence are not printed, the character they make is), and
 * every bell. Its window goes to the top left of the screen, or where "X Y" on the command line put
 * it.
 *   READY                      the window is mapped and has the focus
 *   KEY <state> <hex utf-8>    a key press and the text it produced (may be empty)
 *   BELL                       the server rang the bell
 *   END                        F12, the tests' end marker, was pressed
 */
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    setlocale(LC_ALL, "C.UTF-8");
    XSetLocaleModifiers("@im=none");
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "cannot open display\n");
        return 1;
    }
    int xkbEvent = 0, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion, opcode = 0;
    XkbQueryExtension(display, &opcode, &xkbEvent, &xkbError, &major, &minor);
    XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);

    const int x = argc == 3 ? atoi(argv[1]) : 0;
    const int y = argc == 3 ? atoi(argv[2]) : 0;
    Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 400, 300, 0, 0, 0xffffff);
    XStoreName(display, window, "Quenby key recorder");
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XIM im = XOpenIM(display, NULL, NULL, NULL);
    XIC ic = im ? XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                            window, XNFocusWindow, window, NULL)
                : NULL;
    XMapRaised(display, window);
    setvbuf(stdout, NULL, _IOLBF, 0);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        /* The input method takes dead keys and what follows them, and hands back the composed
         * character as a key press of its own, as in any application that reads text through it. */
        if (XFilterEvent(&event, None)) {
            continue;
        }
        if (event.type == MapNotify) {
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            XSync(display, False);
            printf("READY\n");
        } else if (event.type == KeyPress) {
            char text[64] = {0};
            KeySym keysym = NoSymbol;
            Status status = 0;
            int length =
                ic ? Xutf8LookupString(ic, &event.xkey, text, sizeof text - 1, &keysym, &status)
                   : XLookupString(&event.xkey, text, sizeof text - 1, &keysym, NULL);
            if (keysym == XK_F12) {
                printf("END\n");
                continue;
            }
            printf("KEY %x ", event.xkey.state);
            for (int i = 0; i < length; ++i) {
                printf("%02x", (unsigned char)text[i]);
            }
            printf("\n");
        } else if (event.type == xkbEvent) {
            XkbEvent* xkb = (XkbEvent*)&event;
            if (xkb->any.xkb_type == XkbBellNotify) {
                printf("BELL\n");
            }
        }
    }
}

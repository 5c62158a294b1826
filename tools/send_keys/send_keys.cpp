// SPDX-License-Identifier: MIT
// Presses keys on an X display through the XTest extension, one after the
// other, so that scripts can drive the viewer.
//
//   moiravel-send-keys KEYSYM...     (e.g. m space plus Escape)

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv) {
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        KeySym keysym = XStringToKeysym(argv[i]);
        KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
        if (keycode == 0) {
            std::fprintf(stderr, "%s: unknown key %s\n", argv[0], argv[i]);
            status = 1;
            continue;
        }
        // Symbols on the shifted level of their key (plus, capitals) need Shift.
        const bool shifted = XkbKeycodeToKeysym(display, keycode, 0, 0) != keysym &&
                             XkbKeycodeToKeysym(display, keycode, 0, 1) == keysym;
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
        if (shifted) {
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        }
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        if (shifted) {
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
        }
        XSync(display, False);
        usleep(150 * 1000);
    }
    XCloseDisplay(display);
    return status;
}

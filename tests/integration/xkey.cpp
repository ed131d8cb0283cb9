// SPDX-License-Identifier: GPL-3.0-or-later
// Presses or releases one key through the X server's test extension, as a keyboard would: nothing
// else is sent (no modifier clean-up, no focus change).
//
//   parlune_xkey press|release KEYSYM      e.g. parlune_xkey press Control_R
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "press") != 0 && std::strcmp(argv[1], "release") != 0)) {
        std::fprintf(stderr, "usage: %s press|release KEYSYM\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: no X display\n", argv[0]);
        return 1;
    }
    const KeySym keysym = XStringToKeysym(argv[2]);
    const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (keycode == 0) {
        std::fprintf(stderr, "%s: no key for %s\n", argv[0], argv[2]);
        XCloseDisplay(display);
        return 1;
    }
    XTestFakeKeyEvent(display, keycode, std::strcmp(argv[1], "press") == 0, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InputAccess.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace parlune {

namespace {

class X11InputAccess final : public InputAccess
{
public:
    // Asked afresh each time (every 2 s by the watch timer): the display may come and go.
    bool isTrusted() const override
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return false;
        int opcode = 0, event = 0, error = 0;
        int testMajor = 0, testMinor = 0;
        int inputMajor = 2, inputMinor = 0;
        const bool trusted = XTestQueryExtension(display, &event, &error, &testMajor, &testMinor) &&
                             XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
                             XIQueryVersion(display, &inputMajor, &inputMinor) == Success && inputMajor >= 2;
        XCloseDisplay(display);
        return trusted;
    }
};

} // namespace

InputAccess& InputAccess::system()
{
    static X11InputAccess access;
    return access;
}

} // namespace parlune

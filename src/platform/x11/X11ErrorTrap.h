// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace parlune {

// Collects the X errors of a run of requests instead of letting Xlib's default handler end the
// program (XGrabKey fails with BadAccess when another client grabbed the same combination).
class X11ErrorTrap
{
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server's answer to every request so far; the serials of those that failed.
    const std::vector<unsigned long>& failedRequests();

private:
    static int handler(Display* display, XErrorEvent* error);

    static inline X11ErrorTrap* s_active = nullptr;
    Display* m_display;
    XErrorHandler m_previous = nullptr;
    std::vector<unsigned long> m_failed;
};

} // namespace parlune

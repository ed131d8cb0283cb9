// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11ErrorTrap.h"

namespace parlune {

X11ErrorTrap::X11ErrorTrap(Display* display)
    : m_display(display)
{
    s_active = this;
    m_previous = XSetErrorHandler(&X11ErrorTrap::handler);
}

X11ErrorTrap::~X11ErrorTrap()
{
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
    s_active = nullptr;
}

const std::vector<unsigned long>& X11ErrorTrap::failedRequests()
{
    XSync(m_display, False);
    return m_failed;
}

int X11ErrorTrap::handler(Display* display, XErrorEvent* error)
{
    if (s_active && display == s_active->m_display) {
        s_active->m_failed.push_back(error->serial);
        return 0;
    }
    return s_active && s_active->m_previous ? s_active->m_previous(display, error) : 0;
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplaySession.h"

#include <QtGlobal>

namespace parlune {

DisplaySession displaySessionFrom(const QString& sessionType, const QString& waylandDisplay)
{
    if (sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0)
        return DisplaySession::wayland;
    if (sessionType.compare(QLatin1String("x11"), Qt::CaseInsensitive) == 0)
        return DisplaySession::x11;
    return waylandDisplay.isEmpty() ? DisplaySession::x11 : DisplaySession::wayland;
}

DisplaySession displaySession()
{
    static const DisplaySession session =
        displaySessionFrom(qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"));
    return session;
}

const char* displaySessionName(DisplaySession session)
{
    return session == DisplaySession::wayland ? "Wayland" : "X11";
}

} // namespace parlune

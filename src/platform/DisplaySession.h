// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// The kind of graphical session the program runs in. It decides which backends serve the keyboard
// shortcut, the text delivery, the front application and the clipboard; everything else is shared.
enum class DisplaySession { x11, wayland };

// The session told by these environment values: `XDG_SESSION_TYPE` when it names one, otherwise
// Wayland when `WAYLAND_DISPLAY` is set, otherwise X11.
DisplaySession displaySessionFrom(const QString& sessionType, const QString& waylandDisplay);

// This process's session, read from its environment once.
DisplaySession displaySession();

const char* displaySessionName(DisplaySession session);

} // namespace parlune

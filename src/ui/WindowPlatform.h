// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DisplaySession.h"

#include <QByteArray>

#include <optional>

namespace parlune::WindowPlatform {

// Which of Qt's platforms shows our windows. In a Wayland session they go through Xwayland when it is
// there: a Wayland program may neither place its windows nor keep one above the others without taking
// the focus, and the recording panel must sit at the bottom centre, on top, and leave the focus to the
// field being dictated into. Anything else set in QT_QPA_PLATFORM (offscreen rendering, tests) stays.
// None: leave Qt to choose.
std::optional<QByteArray> chosen(DisplaySession session, const QByteArray& requested, bool xwaylandAvailable);

// Sets the choice for this process before the application object exists. The programs we start (the
// desktop's settings) get the environment as it was once restoreEnvironment() has been called, right
// after the application object is made.
void chooseBeforeApplication();
void restoreEnvironment();

} // namespace parlune::WindowPlatform

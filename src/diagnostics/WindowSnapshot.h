// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ViewServices.h"

#include <QCoroTask>
#include <QImage>
#include <QPalette>
#include <QString>

#include <memory>
#include <optional>

namespace parlune {

class AppCoordinator;

// Pictures of the main window, made from the command line: `parlune --snapshot PATH` renders the
// window's content (the walkthrough while it has not been completed) in the dark scheme, two pixels per
// point, writes it as a PNG and quits. It needs no display.
namespace WindowSnapshot {

// The dark scheme the pictures are made in.
QPalette darkPalette();

// Two pixels per point.
inline constexpr double scale = 2.0;

// Before the application object exists: the path when the command line asks for a snapshot, with the
// process then set to render offscreen in software. "--snapshot" as the last argument is ignored.
std::optional<QString> prepare(int argc, char** argv);

// The state a normal start would show, from the stored settings and history, on stand-ins for the
// desktop's services (no display, no sound server): whatever it is asked, nothing is recorded,
// recognised or pasted, and the settings are never saved.
std::unique_ptr<AppCoordinator> storedState();

// Waits one second, renders, writes the file (replacing it; nothing when the folder does not exist or
// rendering fails) and ends the application normally.
QCoro::Task<> run(QString path, AppCoordinator& coordinator, ViewServices services);

// The window's content at `scale` pixels per point; null when it cannot be rendered.
QCoro::Task<QImage> render(AppCoordinator& coordinator, ViewServices services, double scale);

} // namespace WindowSnapshot
} // namespace parlune

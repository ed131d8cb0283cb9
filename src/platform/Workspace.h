// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace parlune {

// An application with a window on the desktop. Its "bundle identifier" is the class of its window
// (WM_CLASS), the closest thing X11 has to a stable application identity.
struct RunningApplication
{
    QString bundleIdentifier;
    // The instance part of WM_CLASS, often the program's executable name.
    QString instanceName;
    qint64 processIdentifier = 0;
    quint64 window = 0;

    bool operator==(const RunningApplication&) const = default;
};

// The desktop's windows and applications, and its programs.
class Workspace
{
public:
    virtual ~Workspace() = default;

    // The application whose window is active; none when no window is active or it cannot be read.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // This program itself.
    virtual RunningApplication currentApplication() = 0;
    // Asks the window manager to bring the application's window to the front and give it the focus.
    virtual bool activate(const RunningApplication& application) = 0;
    // Starts a program of the desktop (a settings panel) on its own; false when it is not installed or
    // could not be started.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;
};

} // namespace parlune

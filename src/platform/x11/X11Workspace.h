// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

struct _XDisplay;

namespace parlune {

// Windows and applications through the window manager's EWMH properties, on a connection of its own to
// the X server. Main thread only.
class X11Workspace final : public Workspace
{
public:
    X11Workspace();
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    std::optional<RunningApplication> frontmostApplication() override;
    RunningApplication currentApplication() override;
    bool activate(const RunningApplication& application) override;
    bool launch(const QString& program, const QStringList& arguments) override;

private:
    bool connect();
    unsigned long activeWindow();
    std::optional<RunningApplication> applicationOfWindow(unsigned long window);
    bool hasEwmhWindowManager();
    unsigned long windowToActivate(const RunningApplication& application);

    _XDisplay* m_display = nullptr;
};

} // namespace parlune

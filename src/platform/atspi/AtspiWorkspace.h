// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

namespace parlune {

// The application in front in a Wayland session, where no program may read the compositor's window
// list: the accessibility bus tells which application has the active window. Its "bundle identifier" is
// the application's accessible name, its instance name the name of its executable. Programs that are
// not on the bus but run through Xwayland are seen through `xwayland`'s window properties. Main thread
// only.
class AtspiWorkspace final : public Workspace
{
public:
    explicit AtspiWorkspace(Workspace& xwayland);

    std::optional<RunningApplication> frontmostApplication() override;
    RunningApplication currentApplication() override;
    // Only an Xwayland window can be brought to the front: Wayland lets no program give the focus to
    // another's window, so for any other this gives false and does nothing.
    bool activate(const RunningApplication& application) override;
    bool launch(const QString& program, const QStringList& arguments) override;

private:
    Workspace& m_xwayland;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

#include <vector>

namespace parlune {

class FakeWorkspace final : public Workspace
{
public:
    std::optional<RunningApplication> frontmost;
    RunningApplication self{QStringLiteral("Parlune"), QStringLiteral("parlune"), 1234, 0};
    std::vector<RunningApplication> activated;
    // Every program started, with its arguments, as one list.
    std::vector<QStringList> launched;

    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    RunningApplication currentApplication() override { return self; }
    // False where no window can be brought to the front (Wayland).
    bool canActivate = true;

    bool activate(const RunningApplication& application) override
    {
        if (!canActivate)
            return false;
        activated.push_back(application);
        return true;
    }
    bool launch(const QString& program, const QStringList& arguments) override
    {
        launched.push_back(QStringList{program} + arguments);
        return true;
    }
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/models/ModelVerdicts.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace parlune {

// Decides whether the model in a folder may be loaded in the program's own process: yes when it is known
// to load (its download was verified, or a check saw it load), no when it is known not to. Otherwise, and
// whenever a load of it never finished, the model is loaded first in a child process, and what the child
// tells is kept for the folder's files, so that it runs once. Checks of one folder asked for at the same
// time share one child. Main thread.
class ModelGuard
{
public:
    // Loads the model in a child and tells what became of it.
    using Check = std::function<QCoro::Task<ModelVerdicts::Verdict>(QString folder)>;

    explicit ModelGuard(Check check);
    ~ModelGuard();

    // The program's guard: the child is this program's own executable.
    static std::shared_ptr<ModelGuard> program();

    QCoro::Task<bool> mayLoad(QString folder);
    // Children started so far.
    int checksRun() const;

private:
    struct State;
    static QCoro::Task<bool> decide(std::shared_ptr<State> state, QString folder);

    std::shared_ptr<State> m_state;
};

} // namespace parlune

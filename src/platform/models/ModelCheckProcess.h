// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/models/ModelVerdicts.h"

#include <QCoroTask>
#include <QString>

namespace parlune {

// Loads the model of a folder in a child process, `<program> --check-model <folder>`, and tells what
// became of it. The child exits with `loads` once the model loaded and decoded a moment of silence, and
// with `refused` when the library turned it down; a child ended by the library (its exit or abort on a
// damaged model) refused it too. A child that could not start, could not check (`cannotCheck`: no
// library), or outlived the time limit (it is then stopped) tells nothing. Main thread; the interface
// goes on meanwhile.
class ModelCheckProcess
{
public:
    static inline const QString argument = QStringLiteral("--check-model");
    enum ExitCode { loads = 0, refused = 1, cannotCheck = 70 };
    // A model that takes longer to load is of no use for dictation anyway.
    static constexpr Seconds timeLimit{120};

    // `program` is Parlune's executable.
    explicit ModelCheckProcess(QString program, Clock& clock = SystemClock::instance());

    QCoro::Task<ModelVerdicts::Verdict> check(QString folder);

private:
    QString m_program;
    Clock* m_clock;
};

} // namespace parlune

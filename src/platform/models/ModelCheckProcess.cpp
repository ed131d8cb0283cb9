// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelCheckProcess.h"

#include "platform/Log.h"

#include <QCoroProcess>
#include <QCoroSignal>
#include <QProcess>

#include <memory>

namespace parlune {

namespace {

// Stops the child once the time limit has passed, unless it has ended by then.
QCoro::Task<> stopAfter(Seconds limit, Clock& clock, std::weak_ptr<QProcess> child,
                        std::shared_ptr<bool> stopped)
{
    co_await clock.sleep(limit);
    const std::shared_ptr<QProcess> process = child.lock();
    if (process && process->state() != QProcess::NotRunning) {
        *stopped = true;
        process->kill();
    }
}

} // namespace

ModelCheckProcess::ModelCheckProcess(QString program, Clock& clock)
    : m_program(std::move(program))
    , m_clock(&clock)
{}

QCoro::Task<ModelVerdicts::Verdict> ModelCheckProcess::check(QString folder)
{
    using Verdict = ModelVerdicts::Verdict;
    const QByteArray name = folder.toUtf8();
    auto process = std::make_shared<QProcess>();
    process->setProgram(m_program);
    process->setArguments({argument, folder});
    // What the child and its library say reaches the journal with the program's own lines.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!co_await qCoro(*process).waitForStarted()) {
        logLine("Parlune: the model check of %s could not start: %s", name.constData(),
                process->errorString().toUtf8().constData());
        co_return Verdict::unknown;
    }
    auto stopped = std::make_shared<bool>(false);
    stopAfter(timeLimit, *m_clock, process, stopped);
    co_await qCoro(process.get(), &QProcess::finished);

    if (*stopped) {
        logLine("Parlune: the model check of %s took more than %.0f s and was stopped", name.constData(),
                timeLimit.count());
        co_return Verdict::unknown;
    }
    if (process->exitStatus() == QProcess::CrashExit) {
        logLine("Parlune: the model in %s ended its check (signal)", name.constData());
        co_return Verdict::refused;
    }
    switch (process->exitCode()) {
    case loads:
        co_return Verdict::loads;
    case cannotCheck:
        co_return Verdict::unknown;
    default:
        logLine("Parlune: the model in %s failed its check (status %d)", name.constData(),
                process->exitCode());
        co_return Verdict::refused;
    }
}

} // namespace parlune

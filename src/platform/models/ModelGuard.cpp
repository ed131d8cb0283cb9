// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelGuard.h"

#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/models/ModelCheckProcess.h"

#include <QCoreApplication>

#include <map>

namespace parlune {

struct ModelGuard::State
{
    Check check;
    // The checks running, by folder.
    std::map<QString, std::shared_ptr<Completion<bool>>> running;
    int checks = 0;
};

ModelGuard::ModelGuard(Check check)
    : m_state(std::make_shared<State>())
{
    m_state->check = std::move(check);
}

ModelGuard::~ModelGuard() = default;

std::shared_ptr<ModelGuard> ModelGuard::program()
{
    static const std::shared_ptr<ModelGuard> guard = std::make_shared<ModelGuard>([](QString folder) {
        static ModelCheckProcess child(QCoreApplication::applicationFilePath());
        return child.check(std::move(folder));
    });
    return guard;
}

int ModelGuard::checksRun() const
{
    return m_state->checks;
}

QCoro::Task<bool> ModelGuard::mayLoad(QString folder)
{
    return decide(m_state, std::move(folder));
}

QCoro::Task<bool> ModelGuard::decide(std::shared_ptr<State> state, QString folder)
{
    using Verdict = ModelVerdicts::Verdict;
    if (const auto running = state->running.find(folder); running != state->running.end()) {
        const std::shared_ptr<Completion<bool>> shared = running->second;
        co_return co_await shared->wait();
    }

    const QByteArray name = folder.toUtf8();
    const QByteArray files = ModelVerdicts::fingerprint(folder);
    const bool interrupted = ModelVerdicts::loadWasInterrupted(folder);
    if (!interrupted) {
        const Verdict known = ModelVerdicts::verdict(folder, files);
        if (known != Verdict::unknown)
            co_return known == Verdict::loads;
    } else {
        logLine("Parlune: a load of the model in %s never finished", name.constData());
    }

    const auto decided = std::make_shared<Completion<bool>>();
    state->running[folder] = decided;
    ++state->checks;
    const Verdict checked = co_await state->check(folder);
    if (checked != Verdict::unknown) {
        ModelVerdicts::record(folder, files, checked, "check");
        ModelVerdicts::forgetInterruptedLoads(folder);
    }
    logLine("Parlune: the model in %s %s", name.constData(),
            checked == Verdict::loads     ? "loads"
            : checked == Verdict::refused ? "does not load"
                                          : "could not be checked");
    state->running.erase(folder);
    decided->complete(checked == Verdict::loads);
    co_return checked == Verdict::loads;
}

} // namespace parlune

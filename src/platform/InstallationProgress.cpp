// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InstallationProgress.h"

namespace parlune {

std::optional<double> InstallationProgress::secondsRemaining() const
{
    if (!m_bytesPerSecond || *m_bytesPerSecond <= 0 || m_totalBytes <= 0)
        return std::nullopt;
    return double(m_totalBytes - m_completedBytes) / *m_bytesPerSecond;
}

void InstallationProgress::cancel()
{
    if (!canCancel())
        return;
    m_cancelled = true;
    notify();
    // Last, on a copy: stopping the installation may end it, and with it this progress.
    if (const std::function<void()> onCancel = m_onCancel)
        onCancel();
}

void InstallationProgress::setStep(Step step)
{
    if (step == m_step || m_finished)
        return;
    m_step = step;
    // A speed belongs to the transfer it measured.
    m_bytesPerSecond.reset();
    notify();
}

void InstallationProgress::setFractionCompleted(double fraction)
{
    if (fraction == m_fraction)
        return;
    m_fraction = fraction;
    notify();
}

void InstallationProgress::setTransfer(qint64 completedBytes, qint64 totalBytes,
                                       std::optional<double> bytesPerSecond)
{
    if (completedBytes == m_completedBytes && totalBytes == m_totalBytes &&
        bytesPerSecond == m_bytesPerSecond)
        return;
    m_completedBytes = completedBytes;
    m_totalBytes = totalBytes;
    m_bytesPerSecond = bytesPerSecond;
    m_fraction = totalBytes > 0 ? double(completedBytes) / double(totalBytes) : 0;
    notify();
}

void InstallationProgress::finish(std::optional<QString> failure)
{
    if (m_finished)
        return;
    m_finished = true;
    m_failure = std::move(failure);
    m_onCancel = {};
    notify();
}

void InstallationProgress::notify()
{
    // An observer may add another one meanwhile.
    const std::vector<std::function<void()>> observers = m_observers;
    for (const std::function<void()>& observer : observers)
        observer();
}

} // namespace parlune

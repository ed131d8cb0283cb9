// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Recognizer.h"

namespace parlune {

void InstallationProgress::cancel()
{
    if (m_cancelled || m_finished)
        return;
    m_cancelled = true;
    if (m_onCancel)
        m_onCancel();
    notify();
}

void InstallationProgress::setFractionCompleted(double fraction)
{
    if (fraction == m_fraction)
        return;
    m_fraction = fraction;
    notify();
}

void InstallationProgress::finish()
{
    if (m_finished)
        return;
    m_finished = true;
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopShortcut.h"

namespace parlune {

// A desktop that binds the shortcut itself: set() says what it bound, or why not.
class FakeDesktopShortcut final : public DesktopShortcut
{
public:
    QString trigger() const override { return m_trigger; }
    QString problem() const override { return m_problem; }

    void set(QString trigger, QString problem = {})
    {
        m_trigger = std::move(trigger);
        m_problem = std::move(problem);
        Q_EMIT changed();
    }

private:
    QString m_trigger;
    QString m_problem;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcut where the desktop binds it (Wayland): what the views show, and what the user must know.
#include "app/AppCoordinator.h"

#include "platform/DesktopShortcut.h"

namespace parlune {

QString AppCoordinator::shortcutLabel() const
{
    if (m_desktopShortcut) {
        // Keys nothing binds are never shown: while the desktop sets the shortcut up, the keys asked of
        // it; once it has said it will not, none.
        if (!m_desktopShortcut->trigger().isEmpty())
            return m_desktopShortcut->trigger();
        if (!m_desktopShortcut->problem().isEmpty())
            return {};
    }
    return m_shortcut.displayString();
}

QString AppCoordinator::shortcutProblem() const
{
    return m_desktopShortcut ? m_desktopShortcut->problem() : QString();
}

bool AppCoordinator::shortcutReady() const
{
    return !m_desktopShortcut ||
           (!m_desktopShortcut->trigger().isEmpty() && m_desktopShortcut->problem().isEmpty());
}

void AppCoordinator::followDesktopShortcut()
{
    if (!m_desktopShortcut)
        return;
    connect(m_desktopShortcut, &DesktopShortcut::changed, this, [this, lastProblem = QString()]() mutable {
        Q_EMIT shortcutLabelChanged();
        const QString problem = m_desktopShortcut->problem();
        // Said once when it appears; the window keeps showing it until it is solved. A dictation in
        // progress keeps its panel.
        if (m_live && !problem.isEmpty() && problem != lastProblem && !m_isRecording)
            setStatus(RecordingStatus::message(problem));
        lastProblem = problem;
    });
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopShortcutChoice.h"

#include "platform/DesktopKeybinding.h"

namespace parlune {

DesktopShortcutChoice::DesktopShortcutChoice(DesktopShortcut& bound, DesktopKeybinding& keybinding,
                                             QObject* parent)
    : DesktopShortcut(parent)
    , m_bound(bound)
    , m_keybinding(keybinding)
{
    connect(&m_bound, &DesktopShortcut::changed, this, &DesktopShortcut::changed);
    connect(&m_keybinding, &DesktopKeybinding::changed, this, &DesktopShortcut::changed);
}

QString DesktopShortcutChoice::trigger() const
{
    const QString bound = m_bound.trigger();
    return bound.isEmpty() ? m_keybinding.keys() : bound;
}

QString DesktopShortcutChoice::problem() const
{
    if (!trigger().isEmpty())
        return {};
    // The desktop will bind nothing, but a keybinding of its own would do.
    if (!m_bound.problem().isEmpty() && m_keybinding.isAvailable())
        return tr("Pas encore de raccourci : créez-le dans GNOME depuis la fenêtre de Parlune.");
    return m_bound.problem();
}

} // namespace parlune

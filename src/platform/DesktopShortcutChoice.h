// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopShortcut.h"

namespace parlune {

class DesktopKeybinding;

// The dictation shortcut where the desktop binds it: what the desktop bound for the program (its
// GlobalShortcuts portal) when it did, else the keybinding of the desktop's own that the program added
// (GNOME before 48 lends no shortcut to programs, but runs a command at the keys of a keybinding).
class DesktopShortcutChoice final : public DesktopShortcut
{
    Q_OBJECT

public:
    DesktopShortcutChoice(DesktopShortcut& bound, DesktopKeybinding& keybinding, QObject* parent = nullptr);

    QString trigger() const override;
    QString problem() const override;

private:
    DesktopShortcut& m_bound;
    DesktopKeybinding& m_keybinding;
};

} // namespace parlune

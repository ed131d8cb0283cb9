// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace parlune {

// A dictation shortcut that the desktop binds for the program, as on Wayland, where no program may
// watch the keyboard: the desktop decides the keys (from the program's wish and the user's own
// settings) and says which ones it bound. The user changes them in the desktop's settings.
class DesktopShortcut : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The keys the desktop bound to dictation, as it writes them ("Ctrl+Alt+Space"); empty while it has
    // bound none.
    virtual QString trigger() const = 0;
    // Why the shortcut cannot work, for the user; empty when it works or is being set up.
    virtual QString problem() const = 0;

Q_SIGNALS:
    // trigger() or problem() changed.
    void changed();
};

} // namespace parlune

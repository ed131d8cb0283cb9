// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace parlune {

// A keybinding of the desktop's own that runs the program when its keys are pressed, for a desktop that
// lends no shortcut to programs (GNOME before its GlobalShortcuts portal): the program adds it to the
// user's keyboard settings, beside the user's own, and can take it away again.
class DesktopKeybinding : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The desktop has keybindings a program can add to.
    virtual bool isAvailable() const = 0;
    // The keys of ours as the program labels them ("Alt+Super+Espace"); empty while there is none.
    virtual QString keys() const = 0;
    // The keys create() would take now, free of the desktop's and the user's other keybindings; empty
    // when none is.
    virtual QString proposedKeys() const = 0;
    // Adds ours on free keys (or gives keys back to ours); a French explanation when it cannot.
    virtual std::optional<QString> create() = 0;
    // Takes ours away; the user's other keybindings stay as they were.
    virtual void remove() = 0;

Q_SIGNALS:
    // keys() changed, here or in the desktop's settings.
    void changed();
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"

namespace parlune {

// The nine modifier keys that can be a shortcut by themselves. Caps Lock (57) is not one of them: it
// toggles a state instead of being held.
bool KeyCombo::isModifierKeyCode(quint16 keyCode)
{
    return modifierFlag(keyCode).has_value();
}

std::optional<quint64> KeyCombo::modifierFlag(quint16 keyCode)
{
    switch (keyCode) {
    case 54: // right Command
    case 55: // left Command
        return ModifierFlag::command;
    case 56: // left Shift
    case 60: // right Shift
        return ModifierFlag::shift;
    case 58: // left Option
    case 61: // right Option
        return ModifierFlag::option;
    case 59: // left Control
    case 62: // right Control
        return ModifierFlag::control;
    case 63: // fn
        return ModifierFlag::function;
    default:
        return std::nullopt;
    }
}

} // namespace parlune

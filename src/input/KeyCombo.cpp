// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"

#include "platform/DisplaySession.h"
#include "platform/KeyboardLayout.h"

#include <array>
#include <utility>

namespace parlune {

namespace {

// Labels of the modifier keys held alone: the name printed on a PC keyboard and which side it is on.
// Command is the key with the logo, which Linux desktops call Super.
constexpr std::array<std::pair<quint16, const char*>, 9> modifierKeyLabels{{
    {54, "Super droite"},
    {55, "Super gauche"},
    {56, "Maj gauche"},
    {58, "Alt gauche"},
    {59, "Ctrl gauche"},
    {60, "Maj droite"},
    {61, "Alt droite"},
    {62, "Ctrl droite"},
    {63, "fn"},
}};

constexpr quint16 rightAltKeyCode = 61;

// The prefix of an ordinary shortcut, always in this order whatever order the keys were pressed in,
// each name followed by "+".
constexpr std::array<std::pair<quint64, const char*>, 5> modifierNames{{
    {ModifierFlag::control, "Ctrl"},
    {ModifierFlag::option, "Alt"},
    {ModifierFlag::shift, "Maj"},
    {ModifierFlag::command, "Super"},
    {ModifierFlag::function, "fn"},
}};

// Keys that type nothing, or whose character would be unreadable in a label.
constexpr std::array<std::pair<quint16, const char*>, 25> namedKeys{{
    {49, "Espace"}, {36, "Entrée"}, {48, "Tab"},  {53, "Échap"}, {51, "Retour arrière"},
    {117, "Suppr"}, {122, "F1"},    {120, "F2"},  {99, "F3"},    {118, "F4"},
    {96, "F5"},     {97, "F6"},     {98, "F7"},   {100, "F8"},   {101, "F9"},
    {109, "F10"},   {103, "F11"},   {111, "F12"}, {105, "F13"},  {107, "F14"},
    {113, "F15"},   {123, "←"},     {124, "→"},   {126, "↑"},    {125, "↓"},
}};

constexpr std::array<std::pair<quint16, quint64>, 9> modifierKeyFlags{{
    {54, ModifierFlag::command},
    {55, ModifierFlag::command},
    {56, ModifierFlag::shift},
    {58, ModifierFlag::option},
    {59, ModifierFlag::control},
    {60, ModifierFlag::shift},
    {61, ModifierFlag::option},
    {62, ModifierFlag::control},
    {63, ModifierFlag::function},
}};

} // namespace

KeyCombo KeyCombo::defaultCombo()
{
    if (displaySession() == DisplaySession::wayland)
        return KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false};
    return KeyCombo{62, 0, true};
}

QString KeyCombo::displayString() const
{
    if (isModifierKey) {
        // On most European layouts the right Alt key chooses the third level of the keys and is
        // printed "Alt Gr"; holding it alone is a shortcut like any other.
        if (keyCode == rightAltKeyCode) {
            const auto layout = KeyboardLayout::current();
            if (layout && layout->choosesThirdLevel(keyCode))
                return QStringLiteral("Alt Gr");
        }
        // The key alone names the shortcut; stray modifier bits are not part of it.
        for (const auto& [code, label] : modifierKeyLabels) {
            if (code == keyCode)
                return QString::fromUtf8(label);
        }
        return QStringLiteral("?");
    }
    QString label;
    for (const auto& [flag, name] : modifierNames) {
        if (modifiers & flag)
            label += QString::fromUtf8(name) + QLatin1Char('+');
    }
    return label + keyName(keyCode);
}

QString KeyCombo::keyName(quint16 keyCode)
{
    for (const auto& [code, name] : namedKeys) {
        if (code == keyCode)
            return QString::fromUtf8(name);
    }
    // QString::toUpper follows Unicode's own case mapping, not the user's locale: "i" is always "I"
    // (never the Turkish dotted capital) and "ß" becomes "SS".
    if (const auto character = characterForKeyCode(keyCode))
        return character->toUpper();
    return QStringLiteral("Touche %1").arg(keyCode);
}

std::optional<QString> KeyCombo::characterForKeyCode(quint16 keyCode)
{
    // Asked afresh every time, so that a label follows the layout the user has switched to.
    const auto layout = KeyboardLayout::current();
    return layout ? layout->character(keyCode) : std::nullopt;
}

bool KeyCombo::isModifierKeyCode(quint16 keyCode)
{
    return modifierFlag(keyCode).has_value();
}

std::optional<quint64> KeyCombo::modifierFlag(quint16 keyCode)
{
    // Caps Lock (57) is left out on purpose: it can never be a shortcut held alone.
    for (const auto& [code, flag] : modifierKeyFlags) {
        if (code == keyCode)
            return flag;
    }
    return std::nullopt;
}

} // namespace parlune

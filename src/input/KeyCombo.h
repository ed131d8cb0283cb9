// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

class QJsonValue;

namespace parlune {

class JsonWriter;

// Modifier flag bits. They keep the values the settings file has always stored, whatever the keyboard
// system underneath, so that one settings file reads the same everywhere.
namespace ModifierFlag {
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 function = 0x800000;
// The only bits the shortcut logic looks at: matching and labels ignore every other bit.
inline constexpr quint64 relevantMask = shift | control | option | command | function;
} // namespace ModifierFlag

// The dictation shortcut: either one modifier key held by itself (fn, or the left or right Command,
// Shift, Option or Control key), or an ordinary key with a set of modifier flags.
struct KeyCombo
{
    Q_GADGET
    Q_PROPERTY(QString displayString READ displayString CONSTANT)
    Q_PROPERTY(int keyCode MEMBER keyCode)
    Q_PROPERTY(bool isModifierKey MEMBER isModifierKey)

public:
    // Virtual key code: position-based, independent of the layout. For a modifier-only shortcut the
    // code of the modifier key itself. A value made with no fields is right Control alone.
    quint16 keyCode = 62;
    // Modifier flag bits that must be held with the key; 0 for a modifier-only shortcut.
    quint64 modifiers = 0;
    bool isModifierKey = true;

    static constexpr quint16 fnKeyCode = 63;

    // The shortcut of a user who has chosen none, and of a settings file that names none. Not the fn
    // key, which the settings format knows (63) but which programs cannot see on nearly every PC
    // keyboard: right Control alone, which nothing else holds by itself. On Wayland the desktop binds
    // the shortcut, and no desktop binds a modifier alone: Control-Option-Space there, which neither
    // GNOME nor KDE Plasma uses.
    static KeyCombo defaultCombo();

    // fn alone: a shortcut that can never fire here, shown with a warning and an offer to change it.
    bool isFnAlone() const { return isModifierKey && keyCode == fnKeyCode; }

    // The short label shown to the user, with the names printed on a PC keyboard: "Ctrl droite",
    // "Alt Gr", "Ctrl+Alt+Espace".
    QString displayString() const;

    static QString keyName(quint16 keyCode);
    // What the key types in the current keyboard layout with no modifier held, or none.
    static std::optional<QString> characterForKeyCode(quint16 keyCode);
    static bool isModifierKeyCode(quint16 keyCode);
    static std::optional<quint64> modifierFlag(quint16 keyCode);

    // {"keyCode":63,"modifiers":0,"isModifierKey":true}
    void writeJson(JsonWriter& writer) const;
    // All three members are required; any order; extra members are ignored.
    static std::optional<KeyCombo> fromJson(const QJsonValue& value);

    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

} // namespace parlune

Q_DECLARE_METATYPE(parlune::KeyCombo)

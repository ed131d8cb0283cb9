// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace parlune {

// A keyboard layout as the user types with it: what each key gives when pressed with no modifier.
// Only this layer knows the keyboard library underneath; callers speak in our virtual key codes.
// Values are cheap to copy and share the compiled keymap.
class KeyboardLayout
{
public:
    // The layout in use now. On X11 that is the X server's, in the group the user has switched to;
    // without a reachable display it is the layout named by XKB_DEFAULT_LAYOUT (and
    // XKB_DEFAULT_VARIANT), or "us". None only when no layout at all can be compiled.
    // Each call asks again (one round trip to the X server); the keymap itself is rebuilt only when
    // the server announces a new one.
    static std::optional<KeyboardLayout> current();

    // A layout by its name, such as "fr" or "de", and an optional variant such as "bepo"; none when
    // the system does not know it.
    static std::optional<KeyboardLayout> fromName(const QString& layout, const QString& variant = {});

    // What the key types with no modifier held, or none when it types nothing printable (Return,
    // Escape, the arrows, a key the layout leaves empty). A dead key gives its accent as written
    // alone: "^" for the circumflex key of a French keyboard.
    std::optional<QString> character(quint16 virtualKeyCode) const;

    // Whether the key, pressed alone, chooses the third level of the other keys: the right Alt key
    // of a French or German layout, printed "Alt Gr".
    bool choosesThirdLevel(quint16 virtualKeyCode) const;

    struct Keymap; // the compiled keymap of the keyboard library

private:
    KeyboardLayout(std::shared_ptr<const Keymap> keymap, quint32 group);
    // The symbol the key gives with no modifier held, or none when it gives none or several.
    std::optional<quint32> keysym(quint16 virtualKeyCode) const;

    std::shared_ptr<const Keymap> m_keymap;
    // Which of the keymap's layouts is in use, when it holds several ("us,fr").
    quint32 m_group = 0;
};

} // namespace parlune

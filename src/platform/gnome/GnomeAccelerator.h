// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace parlune {

// A key combination as GNOME's keybinding settings write it: modifiers in angle brackets, then XKB's
// name of the key ("<Super><Alt>space"). GNOME reads several spellings of each modifier ("<Control>",
// "<Ctrl>", "<Primary>"), and key names in any case.
struct GnomeAccelerator
{
    // ModifierFlag bits for Control, Alt, Shift and Super; the modifiers we have no flag for (Hyper,
    // Meta, the numbered ones) have bits of their own above those, so that they still tell two
    // combinations apart.
    quint64 modifiers = 0;
    QString key;

    // None for an empty text, "disabled", an unknown modifier spelling or a text without a key.
    static std::optional<GnomeAccelerator> parse(const QString& text);

    // GNOME's spelling: "<Control><Alt><Shift><Super>space".
    QString text() const;
    // The program's label: "Alt+Super+Espace".
    QString label() const;

    // The same keys, whatever the spelling.
    bool sameKeys(const GnomeAccelerator& other) const;
};

} // namespace parlune

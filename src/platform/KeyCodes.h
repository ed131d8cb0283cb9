// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

namespace parlune {

// Our shortcuts keep the position-based virtual key codes that settings files have always stored
// (49 is the space bar, 63 fn, 62 right Control...). The Linux input layer names keys by evdev code;
// X11 key codes are evdev codes plus 8. These functions translate at that boundary.
namespace KeyCodes {

inline constexpr quint32 x11KeycodeOffset = 8;
// The X11 protocol carries key codes in one byte: keys beyond it (fn among them) never reach an X client.
inline constexpr quint32 x11KeycodeMaximum = 255;

std::optional<quint32> evdevForVirtual(quint16 virtualKeyCode);
std::optional<quint16> virtualForEvdev(quint32 evdevCode);

inline std::optional<quint32> x11ForVirtual(quint16 virtualKeyCode)
{
    const auto evdev = evdevForVirtual(virtualKeyCode);
    if (!evdev || *evdev + x11KeycodeOffset > x11KeycodeMaximum)
        return std::nullopt;
    return *evdev + x11KeycodeOffset;
}

inline std::optional<quint16> virtualForX11(quint32 x11Keycode)
{
    return x11Keycode < x11KeycodeOffset ? std::nullopt : virtualForEvdev(x11Keycode - x11KeycodeOffset);
}

} // namespace KeyCodes
} // namespace parlune

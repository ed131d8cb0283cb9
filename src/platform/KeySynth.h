// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// The paste keystroke: Control+V; Control+Shift+V where a terminal emulator reserves Control+V;
// Shift+Insert for the xterm family, which pastes the PRIMARY selection that way and has no other chord.
enum class PasteChord { controlV, controlShiftV, shiftInsert };

// Synthesised keyboard input for the paste.
class KeySynth
{
public:
    virtual ~KeySynth() = default;

    // Whether the user still holds a modifier key (Shift, Control, Alt, Super...) that would turn the
    // paste into another shortcut.
    virtual bool modifiersHeld() = 0;
    // Posts the chord's key presses and releases back to back, releasing any modifier still down
    // first. Gives false when no keystroke could be posted.
    virtual bool postPaste(PasteChord chord) = 0;
};

} // namespace parlune

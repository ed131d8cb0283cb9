// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySynth.h"

#include <vector>

struct _XDisplay;

namespace parlune {

class SyntheticKeys;

// The paste keystroke through the XTest extension, on a connection of its own to the X server.
//
// The user may still hold keys when a text is delivered: the modifiers of the shortcut that just ended,
// or the shortcut of the next dictation already. XTest cannot release a key the user physically holds,
// and releasing one that was pressed through XTest would end that dictation; so the paste never
// touches the keys held. It uses the modifiers it needs through keys that are up, and a chord that
// works with the held ones: Control+V whatever Control key is held, Shift+Insert while Shift is held
// (Control+Shift+V pastes in terminals only), and Shift+Insert for the xterm family with or without
// Control. Alt, Super and the like spoil every chord: the caller waits for them to come up
// (modifiersHeld()).
//
// Every key event it sends is announced in `ours` first, so that the keyboard tap does not take it
// for the user's.
class X11KeySynth final : public KeySynth
{
public:
    explicit X11KeySynth(SyntheticKeys* ours = nullptr);
    ~X11KeySynth() override;
    X11KeySynth(const X11KeySynth&) = delete;
    X11KeySynth& operator=(const X11KeySynth&) = delete;

    // True while a held modifier would turn every paste chord into another shortcut.
    bool modifiersHeld() override;
    bool postPaste(PasteChord chord) override;

private:
    // The keyboard's modifier keys as they are now.
    struct HeldModifiers
    {
        std::vector<unsigned> control, shift, others;
        std::vector<unsigned> controlUp, shiftUp;
        bool hasControl() const { return !control.empty(); }
        bool hasShift() const { return !shift.empty(); }
    };

    bool connect();
    HeldModifiers heldModifiers();
    unsigned int keycodeForV();
    void send(unsigned int keycode, bool down);

    SyntheticKeys* m_ours;
    _XDisplay* m_display = nullptr;
    bool m_hasXTest = false;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySynth.h"

struct _XDisplay;

namespace parlune {

// The paste keystroke through the XTest extension, on a connection of its own to the X server.
class X11KeySynth final : public KeySynth
{
public:
    X11KeySynth();
    ~X11KeySynth() override;
    X11KeySynth(const X11KeySynth&) = delete;
    X11KeySynth& operator=(const X11KeySynth&) = delete;

    bool modifiersHeld() override;
    bool postPaste(PasteChord chord) override;

private:
    bool connect();
    unsigned int keycodeForV();

    _XDisplay* m_display = nullptr;
    bool m_hasXTest = false;
};

} // namespace parlune

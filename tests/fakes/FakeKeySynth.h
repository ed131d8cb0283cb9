// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakePasteboard.h"
#include "platform/KeySynth.h"

#include <functional>
#include <vector>

namespace parlune {

// Records the chords it is asked to post; the test says whether modifiers are held.
class FakeKeySynth final : public KeySynth
{
public:
    bool held = false;
    std::vector<PasteChord> posted;
    // What this clipboard held when each chord was posted, when given one.
    const FakePasteboard* pasteboard = nullptr;
    std::vector<PasteboardSnapshot> clipboardWhenPosted;

    // Where each keystroke lands, when given.
    std::function<void(PasteChord)> onPaste;

    bool modifiersHeld() override { return held; }
    bool postPaste(PasteChord chord) override
    {
        posted.push_back(chord);
        if (pasteboard)
            clipboardWhenPosted.push_back(pasteboard->content);
        if (onPaste)
            onPaste(chord);
        return true;
    }
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <optional>

namespace parlune {

// Tells a held shortcut from a tap. Held, the shortcut records until it is released; tapped (released
// within 0.3 s), it starts a hands-free dictation that goes on until the next press. Another key during
// the hold of a modifier-only shortcut abandons the dictation.
struct ShortcutGesture
{
    enum class Action { start, finish, cancel, ignore };

    // A release this long after the press, or longer, ends the dictation; a shorter one is a tap.
    static constexpr double holdThreshold = 0.3;

    // The dictation was started by a tap (or from the menu) and goes on after the release.
    bool handsFree = false;
    // When the shortcut went down to start a dictation; none when that press finished a dictation,
    // when the start failed or was refused, after the release and after every stop of capture.
    std::optional<Clock::Instant> pressedAt;
    // Another key went down during the hold: the release must then do nothing.
    bool interrupted = false;

    Action release(Clock::Instant at);
    Action otherKey();
    void reset() { *this = {}; }
};

} // namespace parlune

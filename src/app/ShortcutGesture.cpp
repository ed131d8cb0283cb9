// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ShortcutGesture.h"

namespace parlune {

ShortcutGesture::Action ShortcutGesture::release(Clock::Instant at)
{
    if (!pressedAt)
        return Action::ignore;
    const double held = secondsBetween(*pressedAt, at);
    pressedAt.reset();
    if (interrupted)
        return Action::ignore;
    if (held < holdThreshold) {
        // A tap: the recording goes on, hands-free.
        handsFree = true;
        return Action::ignore;
    }
    return Action::finish;
}

ShortcutGesture::Action ShortcutGesture::otherKey()
{
    if (!pressedAt || interrupted)
        return Action::ignore;
    // pressedAt stays set, so that the coming release finds the interruption and does nothing.
    interrupted = true;
    return Action::cancel;
}

} // namespace parlune

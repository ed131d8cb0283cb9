// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

namespace parlune {

// How the keyboard repeats a held key: the first repeat `delay` after the press, then one every
// `interval`. GNOME's defaults unless the desktop says otherwise.
struct KeyboardRepeat
{
    Seconds delay{0.5};
    Seconds interval{0.03};
};

} // namespace parlune

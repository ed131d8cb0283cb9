// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardRepeat.h"

using GSettings = struct _GSettings;

namespace parlune {

// The keyboard's repeat as GNOME sets it (Settings, Accessibility, Typing), read from GSettings at each
// question, so that a change holds from the next press; GNOME's defaults where its schema is not
// installed.
class GnomeKeyboardRepeat
{
public:
    GnomeKeyboardRepeat();
    ~GnomeKeyboardRepeat();
    GnomeKeyboardRepeat(const GnomeKeyboardRepeat&) = delete;
    GnomeKeyboardRepeat& operator=(const GnomeKeyboardRepeat&) = delete;

    KeyboardRepeat current() const;

private:
    GSettings* m_settings = nullptr;
};

} // namespace parlune

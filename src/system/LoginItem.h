// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Autostart.h"

namespace parlune {

// Makes the program start by itself when the user logs in, or stops it from doing so.
class LoginItem
{
public:
    // The argument the autostart entry starts the program with, so that a login launch stays quiet.
    static inline const QString launchArgument = QStringLiteral("--autostart");

    explicit LoginItem(Autostart& autostart);

    // Brings the desktop's autostart registration in line with `enabled`; only a change touches it.
    // A failure is logged; the setting keeps the value the user chose.
    void set(bool enabled);

private:
    Autostart& m_autostart;
};

} // namespace parlune

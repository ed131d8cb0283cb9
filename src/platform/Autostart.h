// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace parlune {

// The desktop's record of the programs it starts when the user logs in.
class Autostart
{
public:
    virtual ~Autostart() = default;

    virtual bool isRegistered() = 0;
    // Each gives none on success, else the system's description of what went wrong.
    virtual std::optional<QString> registerProgram() = 0;
    virtual std::optional<QString> unregisterProgram() = 0;
};

} // namespace parlune

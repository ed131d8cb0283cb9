// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Autostart.h"

namespace parlune {

class FakeAutostart final : public Autostart
{
public:
    bool registered = false;

    bool isRegistered() override { return registered; }
    std::optional<QString> registerProgram() override
    {
        registered = true;
        return std::nullopt;
    }
    std::optional<QString> unregisterProgram() override
    {
        registered = false;
        return std::nullopt;
    }
};

} // namespace parlune

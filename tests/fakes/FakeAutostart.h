// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Autostart.h"

#include <QStringList>

namespace parlune {

class FakeAutostart final : public Autostart
{
public:
    bool registered = false;
    // When set, registering and unregistering fail with this description.
    std::optional<QString> failure;
    QStringList calls;

    bool isRegistered() override { return registered; }
    std::optional<QString> registerProgram() override
    {
        calls << QStringLiteral("register");
        if (!failure)
            registered = true;
        return failure;
    }
    std::optional<QString> unregisterProgram() override
    {
        calls << QStringLiteral("unregister");
        if (!failure)
            registered = false;
        return failure;
    }
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/InputAccess.h"

namespace parlune {

// Access granted or not, as the test says.
class FakeInputAccess final : public InputAccess
{
public:
    bool isTrusted() const override { return trusted; }

    bool trusted = true;
};

} // namespace parlune

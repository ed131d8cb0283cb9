// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"

namespace parlune {

class FakeFocusedElement final : public FocusedElement
{
public:
    std::optional<FocusedElementFacts> facts;

    std::optional<FocusedElementFacts> focused() override { return facts; }
};

} // namespace parlune

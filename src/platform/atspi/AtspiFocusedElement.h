// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"

namespace parlune {

// The focused widget as the AT-SPI accessibility bus describes it: the focused object inside the
// active window of another application. Main thread only; each call asks the bus anew.
class AtspiFocusedElement final : public FocusedElement
{
public:
    std::optional<FocusedElementFacts> focused() override;
    // Asks the field's text interface for its cursor and the characters before it.
    std::optional<QString> textBeforeCaret(int length) override;
};

} // namespace parlune

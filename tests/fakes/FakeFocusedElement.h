// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"

#include <QString>

namespace parlune {

class FakeFocusedElement final : public FocusedElement
{
public:
    std::optional<FocusedElementFacts> facts;
    // What a text handed straight to the widget becomes.
    TextInsertion insertion = TextInsertion::notInserted;

    // What the focused field holds before its cursor; none for a field that does not show its text.
    std::optional<QString> textBefore;

    std::optional<FocusedElementFacts> focused() override { return facts; }
    TextInsertion insertText(const QString&) override { return insertion; }
    std::optional<QString> textBeforeCaret(int length) override
    {
        return textBefore ? std::optional(textBefore->right(length)) : std::nullopt;
    }
};

} // namespace parlune

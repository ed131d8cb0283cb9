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

    // Whether a paste lands in the field, where its text before the cursor then shows it.
    bool takesPastes = true;
    void paste(const QString& text)
    {
        if (takesPastes && textBefore)
            *textBefore += text;
    }

    std::optional<FocusedElementFacts> focused() override { return facts; }
    TextInsertion insertText(const QString&) override { return insertion; }
    std::optional<QString> textBeforeCaret(int length) override
    {
        return textBefore ? std::optional(textBefore->right(length)) : std::nullopt;
    }
    std::optional<QString> pasteTargetTextBeforeCaret(qint64, int length) override
    {
        return textBeforeCaret(length);
    }
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"

#include <QStringList>

namespace parlune {

class FakeFocusedElement final : public FocusedElement
{
public:
    std::optional<FocusedElementFacts> facts;
    // What a text handed straight to the widget becomes, and the texts so handed.
    TextInsertion insertion = TextInsertion::notInserted;
    QStringList inserted;

    std::optional<FocusedElementFacts> focused() override { return facts; }
    TextInsertion insertText(const QString& text) override
    {
        if (insertion != TextInsertion::notInserted)
            inserted << text;
        return insertion;
    }
};

} // namespace parlune

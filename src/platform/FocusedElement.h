// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace parlune {

// What the accessibility bus tells of the widget that has the keyboard focus.
struct FocusedElementFacts
{
    // The accessibility role's name, lower case with spaces ("entry", "push button", "document web").
    QString role;
    // The widget says its content can be edited.
    bool editable = false;
};

class FocusedElement
{
public:
    virtual ~FocusedElement() = default;

    // The focused widget of the active window; none when there is none or the bus cannot be read.
    virtual std::optional<FocusedElementFacts> focused() = 0;

    // Up to `length` characters just before the focused field's text cursor: empty at the start of the
    // field; none when there is no focused field, it does not show its text (password fields never do)
    // or the bus cannot be read.
    virtual std::optional<QString> textBeforeCaret(int length)
    {
        (void)length;
        return std::nullopt;
    }
};

} // namespace parlune

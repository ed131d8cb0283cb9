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
};

} // namespace parlune

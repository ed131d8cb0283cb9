// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// Whether the program may watch the keyboard and type into other applications. On X11 there is no
// permission to grant: it may, as soon as the display answers with the input and test extensions.
class InputAccess
{
public:
    virtual ~InputAccess() = default;

    virtual bool isTrusted() const = 0;

    // The access of this session's display.
    static InputAccess& system();
};

} // namespace parlune

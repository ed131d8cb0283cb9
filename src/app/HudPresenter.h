// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// The floating recording panel as the coordinator drives it: it only decides when the panel is on
// screen; the panel draws the coordinator's state by itself.
class HudPresenter
{
public:
    virtual ~HudPresenter() = default;

    // Builds the panel on first use and brings it to the front without taking the focus.
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace parlune

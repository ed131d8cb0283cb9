// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/HudPresenter.h"

namespace parlune {

// Records what the coordinator asked of the floating panel. The coordinator owns its panel; the test
// keeps watching through the shared state.
class FakeHud final : public HudPresenter
{
public:
    struct State
    {
        bool visible = false;
        int shows = 0;
    };

    explicit FakeHud(State& state)
        : m_state(state)
    {}

    void show() override
    {
        m_state.visible = true;
        ++m_state.shows;
    }
    void hide() override { m_state.visible = false; }

private:
    State& m_state;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "system/SerialQueue.h"

#include <algorithm>
#include <vector>

namespace parlune {

// A serial queue run by the test moving its time forward: due steps in order, posting order among equals.
class ManualQueue final : public SerialQueue
{
public:
    void post(Seconds delay, std::function<void()> step) override
    {
        m_steps.push_back({m_now + delay.count(), m_posted++, std::move(step)});
    }

    void advance(Seconds duration)
    {
        const double target = m_now + duration.count();
        for (;;) {
            auto due = std::min_element(m_steps.begin(), m_steps.end(), [](const Step& a, const Step& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
            if (due == m_steps.end() || due->due > target)
                break;
            Step step = std::move(*due);
            m_steps.erase(due);
            m_now = std::max(m_now, step.due);
            step.run();
        }
        m_now = target;
    }

private:
    struct Step
    {
        double due;
        int order;
        std::function<void()> run;
    };
    double m_now = 0;
    int m_posted = 0;
    std::vector<Step> m_steps;
};

} // namespace parlune

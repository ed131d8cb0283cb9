// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <coroutine>
#include <vector>

namespace parlune {

// A clock moved by the test: advance() resumes the sleepers it reaches right there, in deadline order.
class FakeClock final : public Clock
{
public:
    FakeClock();
    // Pending sleeps end early, as the system clock's do when the event loop goes away.
    ~FakeClock() override;

    Instant now() const override { return m_now; }
    QCoro::Task<> sleep(Seconds duration) override;

    void advance(Seconds duration);
    // How many sleeps are still waiting.
    std::size_t pendingSleeps() const { return m_sleepers.size(); }

private:
    struct Sleeper
    {
        Instant deadline;
        std::coroutine_handle<> handle;
    };
    struct Awaiter;

    Instant m_now;
    std::vector<Sleeper> m_sleepers;
};

} // namespace parlune

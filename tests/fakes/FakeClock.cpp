// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"

#include <algorithm>

namespace parlune {

struct FakeClock::Awaiter
{
    FakeClock* clock;
    Instant deadline;

    bool await_ready() const noexcept { return clock->m_now >= deadline; }
    void await_suspend(std::coroutine_handle<> handle) { clock->m_sleepers.push_back({deadline, handle}); }
    void await_resume() const noexcept {}
};

// An arbitrary, non-zero starting point, so that no code can get away with treating zero as "unset".
FakeClock::FakeClock()
    : m_now(Instant{} + std::chrono::hours(1000))
{}

FakeClock::~FakeClock()
{
    auto sleepers = std::move(m_sleepers);
    m_sleepers.clear();
    for (const Sleeper& sleeper : sleepers)
        sleeper.handle.resume();
}

QCoro::Task<> FakeClock::sleep(Seconds duration)
{
    co_await Awaiter{this, m_now + std::chrono::round<Instant::duration>(duration)};
}

void FakeClock::advance(Seconds duration)
{
    const Instant target = m_now + std::chrono::round<Instant::duration>(duration);
    // Resume one due sleeper at a time: a resumed task may start new sleeps, which must see the
    // clock at their own start.
    for (;;) {
        auto due =
            std::min_element(m_sleepers.begin(), m_sleepers.end(),
                             [](const Sleeper& a, const Sleeper& b) { return a.deadline < b.deadline; });
        if (due == m_sleepers.end() || due->deadline > target)
            break;
        const Sleeper sleeper = *due;
        m_sleepers.erase(due);
        m_now = std::max(m_now, sleeper.deadline);
        sleeper.handle.resume();
    }
    m_now = target;
}

} // namespace parlune

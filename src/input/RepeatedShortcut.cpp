// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/RepeatedShortcut.h"

#include <algorithm>

namespace parlune {

struct RepeatedShortcut::Hold
{
    Timing timing;
    Clock::Instant lastRun;
    bool repeated = false;
    // How much later than the keyboard's schedule the runs of this hold have come, at worst.
    Seconds lateness{0};
    // Without a run by then, the keys are up.
    Clock::Instant deadline;
    // Set when the hold is over, or its owner gone: its watch then ends without a word.
    bool over = false;
    // The watch that decides, and when it wakes next: a run that brings the deadline closer (the
    // first repeat) starts a new watch, and the one asleep ends when it wakes.
    int watch = 0;
    Clock::Instant wakeAt;
};

RepeatedShortcut::RepeatedShortcut(Clock& clock, PressCallback onPress, ReleaseCallback onRelease)
    : m_clock(clock)
    , m_onPress(std::move(onPress))
    , m_onRelease(std::move(onRelease))
    , m_timing([] { return Timing{}; })
{}

RepeatedShortcut::~RepeatedShortcut()
{
    if (m_hold)
        m_hold->over = true;
}

void RepeatedShortcut::run()
{
    const Clock::Instant now = m_clock.now();
    const auto after = [now](Seconds seconds) {
        return now + std::chrono::duration_cast<Clock::Instant::duration>(seconds);
    };
    if (m_hold) {
        Hold& hold = *m_hold;
        const Seconds expected = hold.repeated ? hold.timing.interval : hold.timing.delay;
        hold.lateness = std::max(hold.lateness, Seconds(now - hold.lastRun) - expected);
        hold.lastRun = now;
        hold.repeated = true;
        // A computer too busy to keep the schedule is given time in proportion.
        const Seconds allowance =
            std::clamp(latenessFactor * hold.lateness, gapAllowance, largestGapAllowance);
        hold.deadline = after(hold.timing.interval + allowance);
        if (hold.deadline < hold.wakeAt)
            watch(this, m_clock, m_hold);
        return;
    }
    m_hold = std::make_shared<Hold>();
    m_hold->timing = m_timing();
    m_hold->lastRun = now;
    m_hold->deadline = after(m_hold->timing.delay + tapAllowance);
    if (m_onPress)
        m_onPress();
    watch(this, m_clock, m_hold);
}

QCoro::Task<> RepeatedShortcut::watch(RepeatedShortcut* self, Clock& clock, std::shared_ptr<Hold> hold)
{
    const int watch = ++hold->watch;
    // Each run moves the deadline on; the watch sleeps again until the latest one.
    while (clock.now() < hold->deadline) {
        hold->wakeAt = hold->deadline;
        co_await clock.sleep(hold->deadline - clock.now());
        if (hold->over || hold->watch != watch)
            co_return;
    }
    hold->over = true;
    self->m_hold.reset();
    if (self->m_onRelease)
        self->m_onRelease(hold->lastRun);
}

} // namespace parlune

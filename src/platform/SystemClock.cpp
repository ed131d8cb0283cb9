// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

#include <QCoroTimer>

namespace parlune {

SystemClock& SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}

Clock::Instant SystemClock::now() const
{
    return std::chrono::steady_clock::now();
}

QCoro::Task<> SystemClock::sleep(Seconds duration)
{
    // The rules' waits (0.15 s before a paste, 0.6 s before the clipboard comes back, 0.9 s and 3 s of
    // status) must not end early: Qt's default coarse timers may fire up to 5 % before their time, a
    // precise one is late by a millisecond at most. Should it still wake before the deadline, the rest
    // is slept again.
    const Instant deadline = now() + std::chrono::ceil<Instant::duration>(duration);
    for (Instant at = now(); at < deadline; at = now()) {
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        // QTimer counts whole milliseconds; rounding up never wakes a rule before its limit.
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(deadline - at));
        co_await timer;
    }
}

} // namespace parlune

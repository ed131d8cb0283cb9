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
    // QTimer counts whole milliseconds; rounding up never wakes a rule before its limit.
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(duration);
    co_await QCoro::sleepFor(milliseconds);
}

} // namespace parlune

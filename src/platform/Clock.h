// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>

#include <chrono>

namespace parlune {

using Seconds = std::chrono::duration<double>;

// Monotonic time and sleeps. Every rule of the program that counts time (the 0.3 s tap, the 0.9 s and
// 3 s returns to idle, the 30 s silence and 600 s length limits) asks a Clock, so that tests can move
// time forward instead of waiting for it.
class Clock
{
public:
    using Instant = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    virtual Instant now() const = 0;
    // Completes once `duration` has passed on this clock; a sleep may end early when the clock goes
    // away, so callers check their state again afterwards.
    virtual QCoro::Task<> sleep(Seconds duration) = 0;
};

// The steady clock of the system, with sleeps on the main thread's event loop.
class SystemClock final : public Clock
{
public:
    static SystemClock& instance();

    Instant now() const override;
    QCoro::Task<> sleep(Seconds duration) override;
};

// Seconds between two instants, as the 64-bit float the timing rules compare.
inline double secondsBetween(Clock::Instant from, Clock::Instant to)
{
    return std::chrono::duration_cast<Seconds>(to - from).count();
}

} // namespace parlune

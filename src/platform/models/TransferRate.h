// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QtGlobal>

#include <deque>
#include <optional>
#include <utility>

namespace parlune {

// The speed of a transfer over its last few seconds, from the byte counts it reaches: recent enough to
// follow a connection that slows down, long enough not to jump with every piece.
class TransferRate
{
public:
    static constexpr Seconds window{5.0};

    // `bytes` arrived so far, counted at `at`.
    void add(Clock::Instant at, qint64 bytes);
    // Bytes per second; none until the counts span a second.
    std::optional<double> bytesPerSecond() const;

private:
    std::deque<std::pair<Clock::Instant, qint64>> m_counts;
};

} // namespace parlune

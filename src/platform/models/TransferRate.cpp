// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/TransferRate.h"

namespace parlune {

void TransferRate::add(Clock::Instant at, qint64 bytes)
{
    m_counts.emplace_back(at, bytes);
    // The oldest count kept is the last one at least a window old.
    while (m_counts.size() > 2 && at - m_counts[1].first >= window)
        m_counts.pop_front();
}

std::optional<double> TransferRate::bytesPerSecond() const
{
    if (m_counts.size() < 2)
        return std::nullopt;
    const double seconds = secondsBetween(m_counts.front().first, m_counts.back().first);
    if (seconds < 1.0)
        return std::nullopt;
    return double(m_counts.back().second - m_counts.front().second) / seconds;
}

} // namespace parlune

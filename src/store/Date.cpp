// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Date.h"

#include <chrono>
#include <cmath>

namespace parlune {

Date Date::now()
{
    using namespace std::chrono;
    const double unixSeconds = duration<double>(system_clock::now().time_since_epoch()).count();
    return {unixSeconds - referenceDateUnixSeconds};
}

Date Date::fromDateTime(const QDateTime& dateTime)
{
    return {double(dateTime.toMSecsSinceEpoch()) / 1000.0 - referenceDateUnixSeconds};
}

QDateTime Date::toDateTime() const
{
    const double milliseconds = std::round((sinceReferenceDate + referenceDateUnixSeconds) * 1000.0);
    // A date read from a file can be any number; one that no calendar can show stays invalid.
    if (!(std::abs(milliseconds) < 1e17))
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::UTC);
}

} // namespace parlune

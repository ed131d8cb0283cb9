// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

namespace parlune {

// A point in time as our files store it: seconds since 2001-01-01 00:00:00 UTC, with the fractional
// part. Kept as that double so that a date read from a file is written back to the same bytes.
struct Date
{
    // 2001-01-01 00:00:00 UTC in seconds after the Unix epoch.
    static constexpr double referenceDateUnixSeconds = 978307200.0;

    double sinceReferenceDate = 0;

    static Date now();
    static Date fromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const;

    friend bool operator==(const Date&, const Date&) = default;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UpdateController.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace parlune {

// The update feed: an RSS document whose items describe released versions, with the version numbers
// in "sparkle:" attributes or elements, the format most update feeds use.
namespace Appcast {

// The newest version the feed offers for Linux (items made for another system are skipped); none when
// the feed is unreadable or offers nothing.
std::optional<AvailableUpdate> newestUpdate(const QByteArray& feed);

// Compares two version strings the way people number releases: "1.10" is newer than "1.9", "1.0" newer
// than "1.0b2", "2.0.1" newer than "2.0". Gives a negative, zero or positive number.
int compareVersions(const QString& a, const QString& b);

} // namespace Appcast
} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TranscriptEntry.h"

namespace parlune {

QString TranscriptEntry::idString() const
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace parlune

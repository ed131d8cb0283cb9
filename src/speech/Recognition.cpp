// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/Recognition.h"

namespace parlune {

QString rawValue(Recognition recognition)
{
    return recognition == Recognition::accurate ? QStringLiteral("accurate") : QStringLiteral("fast");
}

std::optional<Recognition> recognitionFromRawValue(QStringView raw)
{
    if (raw == u"fast")
        return Recognition::fast;
    if (raw == u"accurate")
        return Recognition::accurate;
    return std::nullopt;
}

} // namespace parlune

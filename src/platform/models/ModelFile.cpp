// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelFile.h"

namespace parlune {

QUrl ModelFile::downloadUrl() const
{
    QString mirror = qEnvironmentVariable("PARLUNE_MODEL_MIRROR");
    if (mirror.isEmpty())
        return url;
    while (mirror.endsWith(QLatin1Char('/')))
        mirror.chop(1);
    return QUrl(mirror + QLatin1Char('/') + url.fileName());
}

} // namespace parlune

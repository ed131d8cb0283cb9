// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelCatalogue.h"

namespace parlune {

ModelCatalogue ModelCatalogue::shipped()
{
    // The small Vosk models, as their publisher lists them (one zip each, one top folder holding am/,
    // conf/, graph/ and ivector/). English also has Debian's pocketsphinx model, usable at once.
    return ModelCatalogue({
        ModelSource{QStringLiteral("fr-FR"),
                    QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-fr-0.22.zip")),
                    42'233'323,
                    "cabf6180e177eb9b3a9a9d43a437bd5e549f3a7d09525e5d69a3fed787be12ad",
                    {}},
        ModelSource{QStringLiteral("es-ES"),
                    QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-es-0.42.zip")),
                    39'817'833,
                    "09b239888f633ef2f0b4e09736e3d9936acfd810bc65d53fad45261762c6511f",
                    {}},
        ModelSource{
            QStringLiteral("en-US"),
            QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-en-us-0.15.zip")),
            41'205'931, "30f26242c4eb449f948e42cb302dd7a686cb29a3423a8367f99ff41780942498",
            QStringLiteral("/usr/share/pocketsphinx/model/en-us")},
    });
}

QUrl ModelSource::downloadUrl() const
{
    QString mirror = qEnvironmentVariable("PARLUNE_MODEL_MIRROR");
    if (mirror.isEmpty())
        return archiveUrl;
    while (mirror.endsWith(QLatin1Char('/')))
        mirror.chop(1);
    return QUrl(mirror + QLatin1Char('/') + archiveUrl.fileName());
}

std::optional<ModelSource> ModelCatalogue::source(const QString& localeIdentifier) const
{
    for (const ModelSource& source : m_sources) {
        if (source.localeIdentifier == localeIdentifier)
            return source;
    }
    return std::nullopt;
}

} // namespace parlune

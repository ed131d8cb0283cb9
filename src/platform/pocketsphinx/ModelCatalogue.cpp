// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/ModelCatalogue.h"

#include <QDir>
#include <QFileInfo>

namespace parlune {

ModelCatalogue ModelCatalogue::shipped()
{
    // English comes with Debian's pocketsphinx-en-us. French and Spanish have no archive here yet: no
    // published one has had its checksum verified for this catalogue, so they are installed by hand
    // into the user's model folder (see the README) until an entry with its SHA-256 is added.
    return ModelCatalogue({
        ModelSource{QStringLiteral("fr-FR"), {}, {}, {}},
        ModelSource{QStringLiteral("es-ES"), {}, {}, {}},
        ModelSource{QStringLiteral("en-US"), {}, {}, QStringLiteral("/usr/share/pocketsphinx/model/en-us")},
    });
}

std::optional<ModelSource> ModelCatalogue::source(const QString& localeIdentifier) const
{
    for (const ModelSource& source : m_sources) {
        if (source.localeIdentifier == localeIdentifier)
            return source;
    }
    return std::nullopt;
}

namespace {

std::optional<QString> firstFile(const QDir& folder, const QStringList& patterns)
{
    const QFileInfoList files = folder.entryInfoList(patterns, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!file.fileName().contains(QLatin1String("phone"), Qt::CaseInsensitive))
            return file.absoluteFilePath();
    }
    return std::nullopt;
}

std::optional<QString> acousticModelIn(const QDir& folder)
{
    if (QFileInfo(folder.filePath(QStringLiteral("mdef"))).isFile())
        return folder.absolutePath();
    const QFileInfoList subfolders = folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& subfolder : subfolders) {
        if (QFileInfo(QDir(subfolder.absoluteFilePath()).filePath(QStringLiteral("mdef"))).isFile())
            return subfolder.absoluteFilePath();
    }
    return std::nullopt;
}

} // namespace

std::optional<ModelFiles> ModelFiles::find(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return std::nullopt;
    const std::optional<QString> acoustic = acousticModelIn(dir);
    const std::optional<QString> languageModel =
        firstFile(dir, {QStringLiteral("*.lm.bin"), QStringLiteral("*.lm"), QStringLiteral("*.lm.dmp"),
                        QStringLiteral("*.lm.DMP")});
    const std::optional<QString> dictionary =
        firstFile(dir, {QStringLiteral("*.dict"), QStringLiteral("*.dic")});
    if (!acoustic || !languageModel || !dictionary)
        return std::nullopt;
    return ModelFiles{*acoustic, *languageModel, *dictionary};
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/ModelFiles.h"

#include <QDir>
#include <QFileInfo>

namespace parlune {

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

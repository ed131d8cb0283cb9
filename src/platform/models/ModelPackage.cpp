// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelPackage.h"

#include <QDir>
#include <QFileInfo>

namespace parlune {

ModelPackage ModelPackage::vosk(const ModelSource& source, QString languageName, QString destination,
                                ModelCheck isModel)
{
    return ModelPackage{std::move(languageName), {source.archive()}, Layout::archive,
                        std::move(destination),  std::move(isModel), {}};
}

ModelPackage ModelPackage::parakeet(const QString& modelsFolder)
{
    return ModelPackage{
        QStringLiteral("Modèle précis"),
        ModelCatalogue::parakeetFiles(),
        Layout::files,
        QDir(modelsFolder).filePath(ModelCatalogue::parakeetFolderName()),
        {},
        {{ModelCatalogue::parakeetNoticeFileName(), ModelCatalogue::parakeetNotice().toUtf8()}}};
}

qint64 ModelPackage::downloadSize() const
{
    qint64 total = 0;
    for (const ModelFile& file : files)
        total += file.size;
    return total;
}

qint64 ModelPackage::roomNeeded() const
{
    // A small model unpacks to about twice its archive.
    return layout == Layout::archive ? 3 * downloadSize() : downloadSize();
}

bool ModelPackage::isInstalled() const
{
    if (layout == Layout::archive)
        return isModel && isModel(destination);
    const QDir folder(destination);
    for (const ModelFile& file : files) {
        const QFileInfo installed(folder.filePath(file.name));
        if (!installed.isFile() || installed.size() != file.size)
            return false;
    }
    return true;
}

} // namespace parlune

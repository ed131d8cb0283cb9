// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/models/ModelCatalogue.h"
#include "platform/models/ModelFile.h"

#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace parlune {

// What one installation puts in place: the files it downloads, what becomes of them, where the model
// goes and how the messages name it.
struct ModelPackage
{
    enum class Layout {
        // One archive, unpacked; the model is the archive's top folder.
        archive,
        // The files themselves, side by side in the model's folder.
        files,
    };
    // Whether a folder holds a model of the kind being installed.
    using ModelCheck = std::function<bool(const QString& folder)>;

    // How failures name what is installed: "Français", "Modèle précis".
    QString subject;
    QList<ModelFile> files;
    Layout layout = Layout::files;
    // The model's folder; it appears whole, or not at all.
    QString destination;
    // For an archive: whether what it unpacked holds the model.
    ModelCheck isModel;
    // Small files written beside the model (its licence notice): name and content.
    QList<std::pair<QString, QByteArray>> notes;

    // The Vosk model of a language, from the catalogue's archive.
    static ModelPackage vosk(const ModelSource& source, QString languageName, QString destination,
                             ModelCheck isModel);
    // The accurate model, in its folder in `modelsFolder`.
    static ModelPackage parakeet(const QString& modelsFolder);

    qint64 downloadSize() const;
    // Room the installation may take on disk at its fullest: the files, and what an archive unpacks to
    // beside it.
    qint64 roomNeeded() const;
    // Whether the model is in its folder: the unpacked model, or every file at its size.
    bool isInstalled() const;
};

} // namespace parlune

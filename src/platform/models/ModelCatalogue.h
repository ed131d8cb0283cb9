// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/models/ModelFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace parlune {

// Where the recognition models of one locale come from: the Vosk model's archive, downloaded and
// checked against its published size and SHA-256, and the folder where a system package installs a
// pocketsphinx model.
struct ModelSource
{
    QString localeIdentifier;
    QUrl archiveUrl;
    qint64 archiveSize = 0;
    // Lower-case hexadecimal.
    QByteArray archiveSha256;
    QString systemFolder;

    // The archive, named after its address.
    ModelFile archive() const { return {archiveUrl.fileName(), archiveUrl, archiveSize, archiveSha256}; }
    // An archive is only offered with its size and checksum: a download that cannot be checked is
    // not installed.
    bool canDownload() const { return archive().canDownload(); }
};

// The locales the program knows how to recognise, and where their models come from.
class ModelCatalogue
{
public:
    explicit ModelCatalogue(QList<ModelSource> sources)
        : m_sources(std::move(sources))
    {}

    // The catalogue that ships with the program: fr-FR, es-ES and en-US.
    static ModelCatalogue shipped();

    std::optional<ModelSource> source(const QString& localeIdentifier) const;

    // The accurate model, one for every language: NVIDIA's Parakeet TDT 0.6B v3 converted to ONNX
    // (int8) by the sherpa-onnx project, four files at a pinned revision. Installed in a folder of this
    // name, with the licence notice beside the files.
    static QList<ModelFile> parakeetFiles();
    static QString parakeetFolderName() { return QStringLiteral("parakeet-tdt-0.6b-v3"); }
    static QString parakeetNoticeFileName() { return QStringLiteral("NOTICE.txt"); }
    // Who made the model and under which licence: written beside it and shown where it is chosen.
    static QString parakeetNotice();

private:
    QList<ModelSource> m_sources;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

    // An archive is only offered with its size and checksum: a download that cannot be checked is
    // not installed.
    bool canDownload() const { return archiveUrl.isValid() && archiveSize > 0 && !archiveSha256.isEmpty(); }
    // Where the archive is fetched from: the catalogue's address, or the same file name at the mirror
    // named by PARLUNE_MODEL_MIRROR.
    QUrl downloadUrl() const;
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

private:
    QList<ModelSource> m_sources;
};

} // namespace parlune

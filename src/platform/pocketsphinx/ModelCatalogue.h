// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace parlune {

// Where the recognition model of one locale comes from: an archive to download, checked against its
// SHA-256, and/or a folder that a system package installs.
struct ModelSource
{
    QString localeIdentifier;
    QUrl archiveUrl;
    // Lower-case hexadecimal.
    QByteArray archiveSha256;
    QString systemFolder;

    // An archive is only offered with its checksum: a download that cannot be checked is not installed.
    bool canDownload() const { return archiveUrl.isValid() && !archiveSha256.isEmpty(); }
};

// The files pocketsphinx needs for one locale, as found in a model folder: the acoustic model (the
// folder holding `mdef`), the language model and the pronunciation dictionary.
struct ModelFiles
{
    QString acousticModel;
    QString languageModel;
    QString dictionary;

    // The model laid out in `folder`: the acoustic model is the folder itself or one of its
    // subfolders; the language model is a `.lm.bin`, `.lm` or `.lm.dmp` file (a phonetic one is
    // never taken); the dictionary a `.dict` or `.dic` file. None when a piece is missing.
    static std::optional<ModelFiles> find(const QString& folder);
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

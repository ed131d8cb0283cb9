// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace parlune {

// One file of a model as its publisher lists it: where it is, its size in bytes and its SHA-256. A
// file is only installed once both match.
struct ModelFile
{
    // The name it is kept under while it downloads (and, for a model made of several files, once
    // installed).
    QString name;
    QUrl url;
    qint64 size = 0;
    // Lower-case hexadecimal.
    QByteArray sha256;

    bool canDownload() const { return url.isValid() && size > 0 && !sha256.isEmpty(); }
    // Where it is fetched from: its own address, or the same file name at the mirror named by
    // PARLUNE_MODEL_MIRROR.
    QUrl downloadUrl() const;
};

} // namespace parlune

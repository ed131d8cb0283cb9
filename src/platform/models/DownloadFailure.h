// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// Why a model could not be downloaded or installed, with what the user's message needs to say it.
struct DownloadFailure
{
    enum class Kind {
        cancelled,
        // No network: the server's name does not resolve, nothing answers, no route.
        hostNotFound,
        connectionRefused,
        offline,
        // The transfer stalled.
        timedOut,
        // The connection was cut before the end.
        interrupted,
        // The server answered with an error status.
        serverStatus,
        // The server sent or announced another size, or another part than asked for.
        wrongSize,
        checksum,
        // Found before the download: `needed` bytes, `available` free.
        notEnoughRoom,
        // A write failed for want of room.
        diskFull,
        writeFailed,
        folder,
        unpacking,
        noModel,
        installing,
    };

    Kind kind;
    // The server's host name, its status code, the file concerned (for a model of several files),
    // sizes, the system's reason: as the kind needs.
    QString host;
    int status = 0;
    QString fileName;
    qint64 needed = 0;
    qint64 available = 0;
    QString detail;

    // One sentence, starting with what is installed: "Français : le serveur a répondu 404 (fichier
    // introuvable)."
    QString description(const QString& subject) const;
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/models/DownloadFailure.h"
#include "platform/models/ModelFile.h"

#include <QCoroTask>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace parlune {

// Fetches one file of a model into a partial file that outlives the program, so that a cut download
// resumes where it stopped. The bytes already there are hashed first (off the main thread), then the
// rest is asked for with a range; a server that ignores the range sends the whole file, which then
// starts again from its first byte. Sizes are checked as the bytes arrive, the SHA-256 at the end.
// Main thread.
class FileDownload
{
public:
    // The bytes now in the partial file, and how many of them just arrived (none when the file is
    // opened or starts again).
    using OnBytes = std::function<void(qint64 bytesOnDisk, qint64 arrived)>;

    FileDownload(std::shared_ptr<QNetworkAccessManager> network, ModelFile file, QString path);

    // None once the whole file is there with its checksum. A file found wrong (its checksum, its
    // size) is removed; one that stopped early is kept for the next attempt. `onVerifying` is told
    // before the bytes already there are hashed.
    QCoro::Task<std::optional<DownloadFailure>> run(std::function<void()> onVerifying, OnBytes onBytes);
    // Stops at once: run() ends with `cancelled` and the partial file is kept.
    void cancel();

private:
    std::shared_ptr<QNetworkAccessManager> m_network;
    ModelFile m_file;
    QString m_path;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    QPointer<QNetworkReply> m_reply;
};

} // namespace parlune

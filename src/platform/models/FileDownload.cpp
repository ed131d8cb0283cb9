// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/FileDownload.h"

#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QCoroNetworkReply>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace parlune {

namespace {

using Kind = DownloadFailure::Kind;

DownloadFailure failure(Kind kind)
{
    return DownloadFailure{kind, {}, 0, {}, 0, 0, {}};
}

// Hashes the first `length` bytes of the file at `path` into `hash`; false when they cannot all be
// read, or the download was cancelled meanwhile.
bool hashFile(const QString& path, qint64 length, QCryptographicHash& hash,
              const std::atomic<bool>& cancelled)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    qint64 left = length;
    while (left > 0) {
        if (cancelled)
            return false;
        const qint64 read = file.read(block.data(), std::min<qint64>(left, block.size()));
        if (read <= 0)
            return false;
        hash.addData(QByteArrayView(block.constData(), read));
        left -= read;
    }
    return true;
}

// The partial file, written at its end through its descriptor, so that a failed write tells why.
class PartialFile
{
public:
    explicit PartialFile(const QString& path)
        : m_descriptor(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644))
    {}
    ~PartialFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool isOpen() const { return m_descriptor >= 0; }
    // Keeps the first `length` bytes and writes after them from now on.
    bool truncate(qint64 length)
    {
        return ::ftruncate(m_descriptor, length) == 0 && ::lseek(m_descriptor, length, SEEK_SET) == length;
    }
    // The system's error number when not everything was written.
    int write(const QByteArray& bytes)
    {
        const char* data = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_descriptor, data, size_t(left));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : EIO;
            data += written;
            left -= written;
        }
        return 0;
    }

private:
    int m_descriptor;
};

// What a failed write means to the user: no room left, or another reason the system gives.
DownloadFailure writeFailure(int error)
{
    // A file size limit (ulimit -f) refuses the write as a full disk would.
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return failure(Kind::diskFull);
    DownloadFailure failed = failure(Kind::writeFailed);
    failed.detail = QString::fromLocal8Bit(std::strerror(error));
    return failed;
}

// The network's failure, once the server's status has been dealt with. `arrived` tells a connection
// that never worked from one cut in the middle.
DownloadFailure networkFailure(QNetworkReply::NetworkError error, const QString& host, qint64 arrived)
{
    DownloadFailure failed = failure(Kind::interrupted);
    failed.host = host;
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        failed.kind = Kind::hostNotFound;
        break;
    case QNetworkReply::ConnectionRefusedError:
        failed.kind = Kind::connectionRefused;
        break;
    // The transfer timeout aborts the reply as a cancellation would; ours is told apart before.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        failed.kind = Kind::timedOut;
        break;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        failed.kind = arrived > 0 ? Kind::interrupted : Kind::offline;
        break;
    default:
        break;
    }
    return failed;
}

// The first byte of "bytes 500-999/1000", and the total after the slash (-1 when the server writes *).
std::optional<std::pair<qint64, qint64>> parseContentRange(const QByteArray& header)
{
    static const QRegularExpression form(QStringLiteral("^bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)$"));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(header.trimmed()));
    if (!match.hasMatch())
        return std::nullopt;
    const QString total = match.captured(3);
    return std::pair(match.captured(1).toLongLong(), total == QLatin1String("*") ? -1 : total.toLongLong());
}

} // namespace

FileDownload::FileDownload(std::shared_ptr<QNetworkAccessManager> network, ModelFile file, QString path)
    : m_network(std::move(network))
    , m_file(std::move(file))
    , m_path(std::move(path))
{}

void FileDownload::cancel()
{
    *m_cancelled = true;
    if (m_reply)
        m_reply->abort();
}

QCoro::Task<std::optional<DownloadFailure>> FileDownload::run(std::function<void()> onVerifying,
                                                              OnBytes onBytes)
{
    const ModelFile file = m_file;
    const QString path = m_path;
    const std::shared_ptr<std::atomic<bool>> cancelled = m_cancelled;
    const QByteArray name = file.name.toUtf8();

    // What an earlier attempt left: hashed again, since it may have been cut anywhere or changed since.
    auto hash = std::make_shared<QCryptographicHash>(QCryptographicHash::Sha256);
    qint64 onDisk = QFileInfo(path).isFile() ? QFileInfo(path).size() : 0;
    if (onDisk > file.size)
        onDisk = 0;
    if (onDisk > 0) {
        onVerifying();
        auto hashing = runInBackground<bool>(
            [path, onDisk, hash, cancelled] { return hashFile(path, onDisk, *hash, *cancelled); });
        const bool hashed = co_await hashing->wait();
        if (*cancelled)
            co_return failure(Kind::cancelled);
        if (!hashed) {
            hash->reset();
            onDisk = 0;
        }
    }
    if (onDisk == file.size) {
        if (hash->result().toHex() == file.sha256.toLower())
            co_return std::nullopt;
        // Whole but wrong: fetched again from the start.
        hash->reset();
        onDisk = 0;
    }

    PartialFile partial(path);
    if (!partial.isOpen() || !partial.truncate(onDisk))
        co_return writeFailure(errno);
    onBytes(onDisk, 0);
    if (*cancelled)
        co_return failure(Kind::cancelled);

    const QUrl url = file.downloadUrl();
    QNetworkRequest request(url);
    // A stalled transfer fails instead of keeping the model in preparation for ever.
    request.setTransferTimeout(60'000);
    // Byte for byte as published: a compressed transfer would not match the range asked for.
    request.setRawHeader("Accept-Encoding", "identity");
    const qint64 resumedFrom = onDisk;
    if (resumedFrom > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resumedFrom) + '-');
    std::unique_ptr<QNetworkReply> reply(m_network->get(request));
    QNetworkReply* transfer = reply.get();
    m_reply = transfer;

    std::optional<DownloadFailure> stopped;
    // A file found wrong is not kept for the next attempt.
    bool dropPartial = false;
    bool accepted = false;
    qint64 arrived = 0;
    const auto stop = [&](DownloadFailure why, bool drop) {
        if (stopped)
            return;
        stopped = std::move(why);
        dropPartial = drop;
        transfer->abort();
    };
    // Decides, from the answer's headers, where its body goes.
    const auto accept = [&] {
        if (accepted || stopped)
            return;
        const int status = transfer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // A redirection being followed: the answer that counts comes next.
        if (status >= 300 && status < 400)
            return;
        if (status >= 400) {
            DownloadFailure failed = failure(Kind::serverStatus);
            failed.status = status;
            // The server says the bytes we hold lie past its file: they belong to another one.
            stop(failed, status == 416);
            return;
        }
        if (status == 206) {
            const auto range = parseContentRange(transfer->rawHeader("Content-Range"));
            if (!range || range->first != onDisk || (range->second >= 0 && range->second != file.size)) {
                stop(failure(Kind::wrongSize), true);
                return;
            }
        } else if (onDisk > 0) {
            // The whole file again: the server ignores ranges.
            logLine("Parlune: %s starts again from its first byte: the server does not resume downloads",
                    name.constData());
            hash->reset();
            onDisk = 0;
            if (!partial.truncate(0)) {
                stop(writeFailure(errno), false);
                return;
            }
            onBytes(0, 0);
        }
        const QVariant length = transfer->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() != file.size - onDisk) {
            stop(failure(Kind::wrongSize), true);
            return;
        }
        accepted = true;
    };
    const auto take = [&] {
        if (!transfer->isOpen())
            return;
        const QByteArray chunk = transfer->readAll();
        if (chunk.isEmpty() || stopped)
            return;
        accept();
        if (!accepted)
            return;
        if (onDisk + chunk.size() > file.size) {
            stop(failure(Kind::wrongSize), true);
            return;
        }
        if (const int error = partial.write(chunk)) {
            stop(writeFailure(error), false);
            return;
        }
        hash->addData(chunk);
        onDisk += chunk.size();
        arrived += chunk.size();
        onBytes(onDisk, chunk.size());
    };
    const QMetaObject::Connection announced =
        QObject::connect(transfer, &QNetworkReply::metaDataChanged, transfer, accept);
    const QMetaObject::Connection arriving =
        QObject::connect(transfer, &QNetworkReply::readyRead, transfer, take);
    co_await qCoro(transfer).waitForFinished();
    take();
    // The reply may outlive what the handlers above refer to.
    QObject::disconnect(announced);
    QObject::disconnect(arriving);

    const auto ending = [&]() -> std::optional<DownloadFailure> {
        if (*cancelled)
            return failure(Kind::cancelled);
        if (stopped)
            return stopped;
        const int status = transfer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400) {
            DownloadFailure failed = failure(Kind::serverStatus);
            failed.status = status;
            return failed;
        }
        if (transfer->error() != QNetworkReply::NoError)
            return networkFailure(transfer->error(), url.host(), arrived);
        if (onDisk != file.size)
            return failure(Kind::interrupted);
        if (hash->result().toHex() != file.sha256.toLower()) {
            dropPartial = true;
            return failure(Kind::checksum);
        }
        return std::nullopt;
    };
    std::optional<DownloadFailure> outcome = ending();
    // An empty file is not worth keeping. A write that failed halfway may have left bytes: they are
    // hashed with the others next time.
    if (dropPartial || (outcome && QFileInfo(path).size() == 0))
        QFile::remove(path);
    co_return outcome;
}

} // namespace parlune

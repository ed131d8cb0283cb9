// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelInstallation.h"

#include "platform/MainThread.h"

#include <QCoroNetworkReply>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace parlune {

namespace {

// Temporary folders of earlier attempts that were killed before they could clean up.
void removeLeftovers(const QDir& models, const QString& name)
{
    const QStringList leftovers =
        models.entryList({QStringLiteral(".%1-*").arg(name)}, QDir::Dirs | QDir::Hidden);
    for (const QString& leftover : leftovers)
        QDir(models.filePath(leftover)).removeRecursively();
}

// The model inside what an archive unpacked: the top itself, or its only folder (the archive's top
// folder, which is not kept).
QString modelFolderIn(const QString& unpacked, const ModelInstallation::ModelCheck& isModel)
{
    if (isModel(unpacked))
        return unpacked;
    const QDir top(unpacked);
    const QStringList entries = top.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries.size() == 1 && isModel(top.filePath(entries.first())))
        return top.filePath(entries.first());
    return {};
}

// Whether a path read from an archive stays inside the folder it is unpacked into.
bool staysInside(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

} // namespace

ModelInstallation::ModelInstallation(QNetworkAccessManager& network, ModelSource source, QString languageName,
                                     QString destination, ModelCheck isModel)
    : m_network(network)
    , m_source(std::move(source))
    , m_languageName(std::move(languageName))
    , m_destination(std::move(destination))
    , m_isModel(std::move(isModel))
{}

QCoro::Task<std::optional<RecognitionError>> ModelInstallation::downloadAndInstall()
{
    // The progress outlives this request if it is let go of while the installation runs.
    std::shared_ptr<InstallationProgress> progress = this->progress();
    std::optional<RecognitionError> outcome = co_await install();
    progress->setOnCancel({});
    progress->finish();
    co_return outcome;
}

QCoro::Task<std::optional<RecognitionError>> ModelInstallation::install()
{
    // Everything this coroutine uses is copied: the request may be let go of while it runs.
    const ModelSource source = m_source;
    const QString destination = m_destination;
    const ModelCheck isModel = m_isModel;
    const QString language = m_languageName;
    QPointer<QNetworkAccessManager> network = &m_network;
    const std::shared_ptr<InstallationProgress> progress = this->progress();
    const auto failure = [&language](const char* text) {
        return RecognitionError{QStringLiteral("%1 : ").arg(language) + QString::fromUtf8(text)};
    };
    const RecognitionError cancelled = failure("téléchargement du modèle annulé.");
    if (progress->isCancelled())
        co_return cancelled;

    const QFileInfo destinationInfo(destination);
    QDir models = destinationInfo.dir();
    if (!models.mkpath(QStringLiteral(".")))
        co_return failure("le dossier des modèles n'a pas pu être créé.");
    removeLeftovers(models, destinationInfo.fileName());

    // The archive and what it unpacks to: about three times its size, checked before a byte arrives.
    const QStorageInfo disk(models.absolutePath());
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < 3 * source.archiveSize)
        co_return failure("il n'y a pas assez de place sur le disque pour le modèle.");

    QTemporaryDir work(models.filePath(QStringLiteral(".%1-XXXXXX").arg(destinationInfo.fileName())));
    if (!work.isValid())
        co_return failure("le dossier des modèles n'a pas pu être créé.");
    const QString archivePath = work.filePath(QStringLiteral("archive"));
    QFile archive(archivePath);
    if (!archive.open(QIODevice::WriteOnly) || !network)
        co_return failure("le modèle n'a pas pu être enregistré.");

    // Download, checking the size and hashing as the bytes arrive: a server that announces or sends
    // another size than the catalogue's is cut off at once.
    QNetworkRequest request(source.downloadUrl());
    // A stalled transfer fails instead of keeping the language in preparation for ever.
    request.setTransferTimeout(60'000);
    std::unique_ptr<QNetworkReply> reply(network->get(request));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    bool wrongSize = false;
    bool written = true;
    qint64 received = 0;
    QNetworkReply* transfer = reply.get();
    progress->setOnCancel([transfer] { transfer->abort(); });
    const QMetaObject::Connection announced =
        QObject::connect(transfer, &QNetworkReply::metaDataChanged, transfer, [&] {
            const int status = transfer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QVariant length = transfer->header(QNetworkRequest::ContentLengthHeader);
            if ((status == 0 || status == 200) && length.isValid() &&
                length.toLongLong() != source.archiveSize) {
                wrongSize = true;
                transfer->abort();
            }
        });
    const auto take = [&] {
        if (!transfer->isOpen())
            return;
        const QByteArray chunk = transfer->readAll();
        if (chunk.isEmpty() || wrongSize || !written)
            return;
        if (received + chunk.size() > source.archiveSize) {
            wrongSize = true;
            transfer->abort();
            return;
        }
        received += chunk.size();
        hash.addData(chunk);
        written = archive.write(chunk) == chunk.size();
        if (!written)
            transfer->abort();
        progress->setFractionCompleted(double(received) / double(source.archiveSize));
    };
    const QMetaObject::Connection arriving =
        QObject::connect(transfer, &QNetworkReply::readyRead, transfer, take);
    co_await qCoro(transfer).waitForFinished();
    take();
    // The reply may outlive what the handlers above refer to.
    QObject::disconnect(announced);
    QObject::disconnect(arriving);
    progress->setOnCancel({});
    archive.close();

    const int status = transfer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (progress->isCancelled())
        co_return cancelled;
    if (!written)
        co_return failure("le modèle n'a pas pu être enregistré.");
    if (wrongSize)
        co_return failure("le modèle téléchargé est endommagé.");
    if (received == 0 || (status != 0 && status != 200))
        co_return failure("le modèle de reconnaissance n'a pas pu être téléchargé.");
    if (transfer->error() != QNetworkReply::NoError || received != source.archiveSize)
        co_return failure("le téléchargement du modèle a été interrompu.");
    if (hash.result().toHex() != source.archiveSha256.toLower())
        co_return failure("le modèle téléchargé est endommagé.");
    reply.reset();

    // Unpacking takes a second or two: off the main thread.
    const QString unpacked = work.filePath(QStringLiteral("model"));
    auto unpacking = runInBackground<std::optional<QString>>([archivePath, unpacked] {
        std::optional<QString> error = unpack(archivePath, unpacked);
        QFile::remove(archivePath);
        return error;
    });
    const std::optional<QString> unpackError = co_await unpacking->wait();
    if (progress->isCancelled())
        co_return cancelled;
    if (unpackError)
        co_return failure("le modèle n'a pas pu être décompressé.");

    const QString model = modelFolderIn(unpacked, isModel);
    if (model.isEmpty())
        co_return failure("l'archive téléchargée ne contient pas de modèle de reconnaissance.");

    // A folder already at the destination holds no usable model (or no installation was asked for):
    // it makes way for the new one.
    if (QFileInfo::exists(destination))
        QDir(destination).removeRecursively();
    if (!QDir().rename(model, destination))
        co_return failure("le modèle n'a pas pu être installé.");
    co_return std::nullopt;
}

std::optional<QString> ModelInstallation::unpack(const QString& archivePath, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create %1").arg(folder);
    const std::unique_ptr<archive, int (*)(archive*)> in(archive_read_new(), archive_read_free);
    const std::unique_ptr<archive, int (*)(archive*)> out(archive_write_disk_new(), archive_write_free);
    archive_read_support_format_zip(in.get());
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_all(in.get());
    // No owners, permissions beyond the user's umask, or times from the archive.
    archive_write_disk_set_options(out.get(),
                                   ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    if (archive_read_open_filename(in.get(), QFile::encodeName(archivePath).constData(), 1 << 16) !=
        ARCHIVE_OK)
        return QString::fromLocal8Bit(archive_error_string(in.get()));

    const QDir root(folder);
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(in.get(), &entry)) == ARCHIVE_OK) {
        const char* rawPath = archive_entry_pathname_utf8(entry);
        const QString path =
            rawPath ? QString::fromUtf8(rawPath) : QFile::decodeName(archive_entry_pathname(entry));
        const mode_t type = archive_entry_filetype(entry);
        if (!staysInside(path) || (type != AE_IFREG && type != AE_IFDIR))
            return QStringLiteral("refused entry %1").arg(path);
        archive_entry_set_pathname(entry, QFile::encodeName(root.filePath(path)).constData());
        archive_entry_set_perm(entry, type == AE_IFDIR ? 0755 : 0644);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
            return QString::fromLocal8Bit(archive_error_string(out.get()));
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read = ARCHIVE_OK;
        while ((read = archive_read_data_block(in.get(), &block, &size, &offset)) == ARCHIVE_OK) {
            if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK)
                return QString::fromLocal8Bit(archive_error_string(out.get()));
        }
        if (read != ARCHIVE_EOF)
            return QString::fromLocal8Bit(archive_error_string(in.get()));
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return QString::fromLocal8Bit(archive_error_string(out.get()));
    }
    if (status != ARCHIVE_EOF)
        return QString::fromLocal8Bit(archive_error_string(in.get()));
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return QString::fromLocal8Bit(archive_error_string(out.get()));
    return std::nullopt;
}

} // namespace parlune

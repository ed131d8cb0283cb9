// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/ModelInstallation.h"

#include <QCoroNetworkReply>
#include <QCoroProcess>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace parlune {

namespace {

// Only the locale is named: it is what the user picked, and the files mean nothing to them.
RecognitionError failure(const QString& text, const QString& localeIdentifier)
{
    return RecognitionError{text.arg(localeIdentifier)};
}

// Temporary folders of earlier attempts that were killed before they could clean up.
void removeLeftovers(const QDir& models, const QString& localeIdentifier)
{
    const QStringList leftovers =
        models.entryList({QStringLiteral(".%1-*").arg(localeIdentifier)}, QDir::Dirs | QDir::Hidden);
    for (const QString& leftover : leftovers)
        QDir(models.filePath(leftover)).removeRecursively();
}

// The model folder inside what an archive unpacked: the top itself, or its only folder.
QString modelFolderIn(const QString& unpacked)
{
    if (ModelFiles::find(unpacked))
        return unpacked;
    const QDir top(unpacked);
    const QStringList entries = top.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries.size() == 1 && ModelFiles::find(top.filePath(entries.first())))
        return top.filePath(entries.first());
    return {};
}

} // namespace

ModelInstallation::ModelInstallation(QNetworkAccessManager& network, ModelSource source, QString destination)
    : m_network(network)
    , m_source(std::move(source))
    , m_destination(std::move(destination))
{}

QCoro::Task<std::optional<RecognitionError>> ModelInstallation::downloadAndInstall()
{
    // Everything this coroutine uses is copied: the request may be let go of while it runs.
    const ModelSource source = m_source;
    const QString destination = m_destination;
    QPointer<QNetworkAccessManager> network = &m_network;
    const QString locale = source.localeIdentifier;

    const QFileInfo destinationInfo(destination);
    QDir models = destinationInfo.dir();
    if (!models.mkpath(QStringLiteral(".")))
        co_return failure(
            QStringLiteral("Le dossier des modèles de reconnaissance pour %1 n'a pas pu être créé."), locale);
    removeLeftovers(models, locale);

    QTemporaryDir work(models.filePath(QStringLiteral(".%1-XXXXXX").arg(locale)));
    if (!work.isValid())
        co_return failure(
            QStringLiteral("Le dossier des modèles de reconnaissance pour %1 n'a pas pu être créé."), locale);

    // Download, hashing as the bytes arrive.
    const QString archivePath = work.filePath(QStringLiteral("archive"));
    QFile archive(archivePath);
    if (!archive.open(QIODevice::WriteOnly))
        co_return failure(QStringLiteral("Le modèle de reconnaissance pour %1 n'a pas pu être enregistré."),
                          locale);
    if (!network)
        co_return failure(
            QStringLiteral("Le téléchargement du modèle de reconnaissance pour %1 a été interrompu."),
            locale);

    QNetworkRequest request(source.archiveUrl);
    // A stalled transfer fails instead of keeping the language in preparation for ever.
    request.setTransferTimeout(60'000);
    std::unique_ptr<QNetworkReply> reply(network->get(request));
    auto hash = std::make_shared<QCryptographicHash>(QCryptographicHash::Sha256);
    bool written = true;
    qint64 received = 0;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        hash->addData(chunk);
        written = written && archive.write(chunk) == chunk.size();
    });
    co_await qCoro(reply.get()).waitForFinished();
    const QByteArray rest = reply->readAll();
    received += rest.size();
    hash->addData(rest);
    written = written && archive.write(rest) == rest.size();
    archive.close();

    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || (status != 0 && status != 200) ||
        (length.isValid() && length.toLongLong() != received))
        co_return failure(
            QStringLiteral("Le téléchargement du modèle de reconnaissance pour %1 a été interrompu."),
            locale);
    if (!written)
        co_return failure(QStringLiteral("Le modèle de reconnaissance pour %1 n'a pas pu être enregistré."),
                          locale);
    if (hash->result().toHex() != source.archiveSha256.toLower())
        co_return failure(QStringLiteral("Le modèle de reconnaissance téléchargé pour %1 est endommagé."),
                          locale);

    // Unpack with the system's tar, which recognises the compression by itself.
    const QString unpacked = work.filePath(QStringLiteral("model"));
    QDir().mkpath(unpacked);
    QProcess tar;
    tar.setProgram(QStringLiteral("tar"));
    tar.setArguments({QStringLiteral("-xf"), archivePath, QStringLiteral("-C"), unpacked,
                      QStringLiteral("--no-same-owner"), QStringLiteral("--no-same-permissions")});
    tar.setStandardOutputFile(QProcess::nullDevice());
    tar.setStandardErrorFile(QProcess::nullDevice());
    const bool started = co_await qCoro(tar).start();
    if (started)
        co_await qCoro(tar).waitForFinished(std::chrono::minutes(10));
    if (!started || tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0)
        co_return failure(QStringLiteral("Le modèle de reconnaissance pour %1 n'a pas pu être décompressé."),
                          locale);

    const QString model = modelFolderIn(unpacked);
    if (model.isEmpty())
        co_return failure(
            QStringLiteral("L'archive téléchargée pour %1 ne contient pas de modèle de reconnaissance."),
            locale);

    // A folder already at the destination holds no usable model (or no installation was asked for):
    // it makes way for the new one.
    if (QFileInfo::exists(destination))
        QDir(destination).removeRecursively();
    if (!QDir().rename(model, destination))
        co_return failure(QStringLiteral("Le modèle de reconnaissance pour %1 n'a pas pu être installé."),
                          locale);
    QFile::remove(archivePath);
    co_return std::nullopt;
}

} // namespace parlune

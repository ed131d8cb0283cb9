// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelInstallation.h"

#include "platform/models/ModelVerdicts.h"

#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/models/DownloadLock.h"
#include "platform/models/FileDownload.h"
#include "platform/models/ModelArchive.h"
#include "platform/models/TransferRate.h"
#include "store/AppPaths.h"
#include "store/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QStorageInfo>

#include <cmath>

namespace parlune {

namespace {

using Kind = DownloadFailure::Kind;
using Step = InstallationProgress::Step;

DownloadFailure failure(Kind kind)
{
    return DownloadFailure{kind, {}, 0, {}, 0, 0, {}};
}

// How often a waiting installation looks again whether the other one is done.
constexpr Seconds lockPollInterval{1.0};
// The text may change once a percent, or once a second.
constexpr Seconds publishInterval{1.0};

// The bytes of the package's files already in `staging`.
qint64 bytesIn(const QString& staging, const ModelPackage& package)
{
    qint64 bytes = 0;
    const QDir folder(staging);
    for (const ModelFile& file : package.files) {
        const QFileInfo partial(folder.filePath(file.name));
        if (partial.isFile())
            bytes += std::min(partial.size(), file.size);
    }
    return bytes;
}

// Everything in `staging` but the package's own files: what an earlier version or a killed unpacking
// left there.
void keepOnlyPackageFiles(const QString& staging, const ModelPackage& package)
{
    QStringList names;
    for (const ModelFile& file : package.files)
        names << file.name;
    const QDir folder(staging);
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir())
            QDir(entry.filePath()).removeRecursively();
        else if (!names.contains(entry.fileName()))
            QFile::remove(entry.filePath());
    }
}

// The temporary folders of earlier versions of the program, which started over at every attempt.
void removeOldTemporaryFolders(const QDir& models, const QString& name)
{
    const QStringList leftovers =
        models.entryList({QStringLiteral(".%1-*").arg(name)}, QDir::Dirs | QDir::Hidden);
    for (const QString& leftover : leftovers)
        QDir(models.filePath(leftover)).removeRecursively();
}

// The model inside what an archive unpacked: the top itself, or its only folder (the archive's top
// folder, which is not kept).
QString modelFolderIn(const QString& unpacked, const ModelPackage::ModelCheck& isModel)
{
    if (!isModel)
        return {};
    if (isModel(unpacked))
        return unpacked;
    const QDir top(unpacked);
    const QStringList entries = top.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries.size() == 1 && isModel(top.filePath(entries.first())))
        return top.filePath(entries.first());
    return {};
}

// Puts `folder` at `destination` in one rename. A folder already there holds no usable model (or no
// installation would have been asked for): it makes way.
bool moveIntoPlace(const QString& folder, const QString& destination)
{
    if (QFileInfo::exists(destination))
        QDir(destination).removeRecursively();
    return QDir().rename(folder, destination);
}

// The bytes of the whole download as they reach the disk, told to the progress with their speed.
struct Transfer
{
    Clock* clock;
    std::shared_ptr<InstallationProgress> progress;
    qint64 total = 0;
    // The files already done, and the one being fetched.
    qint64 done = 0;
    qint64 current = 0;
    // What arrived from the network in this attempt, for the speed.
    qint64 arrived = 0;
    TransferRate rate;
    std::optional<Clock::Instant> publishedAt;
    int publishedPercent = -1;
    bool running = true;

    void count(qint64 bytesOnDisk, qint64 newBytes)
    {
        current = bytesOnDisk;
        arrived += newBytes;
        rate.add(clock->now(), arrived);
        publish(newBytes == 0);
    }
    void publish(bool always)
    {
        const Clock::Instant now = clock->now();
        const qint64 completed = done + current;
        const int percent = total > 0 ? int(completed * 100 / total) : 0;
        if (!always && percent == publishedPercent && publishedAt && now - *publishedAt < publishInterval)
            return;
        publishedAt = now;
        publishedPercent = percent;
        progress->setStep(Step::downloading);
        progress->setTransfer(completed, total, rate.bytesPerSecond());
    }
};

// Once a second while the download runs: a stalled transfer shows its speed falling and its time left
// growing, rather than the last figures for as long as the server keeps silent.
QCoro::Task<> followSpeed(std::shared_ptr<Transfer> transfer)
{
    while (transfer->running) {
        co_await transfer->clock->sleep(publishInterval);
        if (!transfer->running || transfer->progress->step() != Step::downloading)
            continue;
        transfer->rate.add(transfer->clock->now(), transfer->arrived);
        transfer->publish(false);
    }
}

// Every step from the lock to the model in place. The request may be let go of meanwhile: everything is
// passed by value.
QCoro::Task<std::optional<DownloadFailure>> install(std::shared_ptr<QNetworkAccessManager> network,
                                                    ModelPackage package,
                                                    ModelInstallation::Environment environment,
                                                    std::shared_ptr<InstallationProgress> progress)
{
    if (progress->isCancelled())
        co_return failure(Kind::cancelled);
    const QFileInfo destination(package.destination);
    const QDir models = destination.dir();
    const QString name = destination.fileName();
    if (!models.mkpath(QStringLiteral(".")))
        co_return failure(Kind::folder);

    // One installation of this model at a time, whichever process runs it. Another one waits here and
    // shows what the other has on disk so far.
    const QString staging = models.filePath(QStringLiteral(".%1.partial").arg(name));
    const qint64 total = package.downloadSize();
    std::unique_ptr<DownloadLock> lock;
    for (;;) {
        const DownloadLock::Attempt attempt =
            DownloadLock::tryAcquire(models.filePath(QStringLiteral(".%1.lock").arg(name)), lock);
        if (attempt == DownloadLock::Attempt::acquired)
            break;
        if (attempt == DownloadLock::Attempt::failed)
            co_return failure(Kind::folder);
        progress->setStep(Step::waiting);
        progress->setTransfer(bytesIn(staging, package), total, std::nullopt);
        co_await environment.clock->sleep(lockPollInterval);
        if (progress->isCancelled())
            co_return failure(Kind::cancelled);
    }
    // The other one may have installed it meanwhile.
    if (package.isInstalled())
        co_return std::nullopt;

    removeOldTemporaryFolders(models, name);
    if (!QDir().mkpath(staging))
        co_return failure(Kind::folder);
    keepOnlyPackageFiles(staging, package);

    const qint64 needed = package.roomNeeded() - bytesIn(staging, package);
    const std::optional<qint64> available = environment.freeSpace(models.absolutePath());
    if (available && *available < needed) {
        DownloadFailure noRoom = failure(Kind::notEnoughRoom);
        noRoom.needed = needed;
        noRoom.available = *available;
        co_return noRoom;
    }

    auto transfer = std::make_shared<Transfer>();
    transfer->clock = environment.clock;
    transfer->progress = progress;
    transfer->total = total;
    // The speed's follower ends with the download, whatever way it ends.
    struct FollowerStop
    {
        Transfer& transfer;
        ~FollowerStop() { transfer.running = false; }
    } followerStop{*transfer};
    followSpeed(transfer);
    for (const ModelFile& file : package.files) {
        if (progress->isCancelled())
            co_return failure(Kind::cancelled);
        auto download = std::make_shared<FileDownload>(network, file, QDir(staging).filePath(file.name));
        const std::weak_ptr<FileDownload> cancellable = download;
        progress->setOnCancel([cancellable] {
            if (const std::shared_ptr<FileDownload> running = cancellable.lock())
                running->cancel();
        });
        // WORKAROUND: g++ 12 may destroy the temporaries of a co_await expression twice, a lambda's
        // captures included: the callbacks are named first.
        const std::function<void()> verifying = [progress] { progress->setStep(Step::verifying); };
        const FileDownload::OnBytes counting = [transfer](qint64 bytesOnDisk, qint64 arrived) {
            transfer->count(bytesOnDisk, arrived);
        };
        std::optional<DownloadFailure> failed = co_await download->run(verifying, counting);
        progress->setOnCancel({});
        if (failed) {
            if (package.files.size() > 1)
                failed->fileName = file.name;
            co_return failed;
        }
        transfer->done += file.size;
        transfer->current = 0;
    }
    // All there and checked: no percentage from here on, the steps say what is left.
    progress->setStep(Step::installing);
    progress->setTransfer(total, total, std::nullopt);

    if (package.layout == ModelPackage::Layout::files) {
        for (const auto& [noteName, content] : package.notes) {
            if (!writeFileAtomically(QDir(staging).filePath(noteName), content, 0644))
                co_return failure(Kind::installing);
        }
        if (!moveIntoPlace(staging, package.destination))
            co_return failure(Kind::installing);
        // Every file checked against its published SHA-256: no child needs to try it first.
        ModelVerdicts::recordVerified(package.destination);
        co_return std::nullopt;
    }

    // Unpacking takes a second or two: off the main thread. The archive stays until the model is in
    // place, so a failure here costs no new download.
    const QString archive = QDir(staging).filePath(package.files.first().name);
    const QString unpacked = QDir(staging).filePath(QStringLiteral("unpacked"));
    auto unpacking = runInBackground<std::optional<DownloadFailure>>(
        [archive, unpacked] { return ModelArchive::unpack(archive, unpacked); });
    const std::optional<DownloadFailure> unpackFailure = co_await unpacking->wait();
    const auto discardUnpacked = [&unpacked] { QDir(unpacked).removeRecursively(); };
    if (progress->isCancelled()) {
        discardUnpacked();
        co_return failure(Kind::cancelled);
    }
    if (unpackFailure) {
        discardUnpacked();
        co_return unpackFailure;
    }
    const QString model = modelFolderIn(unpacked, package.isModel);
    if (model.isEmpty()) {
        discardUnpacked();
        co_return failure(Kind::noModel);
    }
    if (!moveIntoPlace(model, package.destination)) {
        discardUnpacked();
        co_return failure(Kind::installing);
    }
    QDir(staging).removeRecursively();
    ModelVerdicts::recordVerified(package.destination);
    co_return std::nullopt;
}

} // namespace

std::optional<qint64> ModelInstallation::systemFreeSpace(const QString& folder)
{
    const QStorageInfo disk(folder);
    if (!disk.isValid() || disk.bytesAvailable() < 0)
        return std::nullopt;
    return disk.bytesAvailable();
}

ModelInstallation::ModelInstallation(std::shared_ptr<QNetworkAccessManager> network, ModelPackage package,
                                     Environment environment)
    : m_network(std::move(network))
    , m_package(std::move(package))
    , m_environment(std::move(environment))
{}

ModelInstallation::ModelInstallation(std::shared_ptr<QNetworkAccessManager> network, ModelPackage package)
    : ModelInstallation(std::move(network), std::move(package), Environment{})
{}

QCoro::Task<std::optional<RecognitionError>> ModelInstallation::downloadAndInstall()
{
    // The progress outlives this request if it is let go of while the installation runs.
    const std::shared_ptr<InstallationProgress> progress = this->progress();
    const QString subject = m_package.subject;
    const std::optional<DownloadFailure> failed =
        co_await install(m_network, m_package, m_environment, progress);
    progress->setOnCancel({});
    if (failed) {
        const QString description = failed->description(subject);
        progress->finish(description);
        co_return RecognitionError{description};
    }
    progress->setStep(Step::loading);
    co_return std::nullopt;
}

ModelInstallation::Factory ModelInstallation::parakeetFactory(QString modelsFolder)
{
    auto network = std::make_shared<std::shared_ptr<QNetworkAccessManager>>();
    return [network, modelsFolder = std::move(modelsFolder)]() -> std::shared_ptr<AssetInstallationRequest> {
        if (!*network)
            *network = std::make_shared<QNetworkAccessManager>();
        return std::make_shared<ModelInstallation>(*network, ModelPackage::parakeet(modelsFolder));
    };
}

} // namespace parlune

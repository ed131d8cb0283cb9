// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskRecognizer.h"

#include "platform/Log.h"
#include "platform/models/ModelInstallation.h"
#include "platform/vosk/VoskAnalyzer.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>

namespace parlune {

VoskRecognizer::VoskRecognizer(std::shared_ptr<const VoskLibrary> library, ModelCatalogue catalogue,
                               QString modelsFolder, std::shared_ptr<ModelGuard> guard, Clock& clock)
    : m_library(std::move(library))
    , m_catalogue(std::move(catalogue))
    , m_modelsFolder(modelsFolder.isEmpty() ? AppPaths::models() + QLatin1String("/vosk")
                                            : std::move(modelsFolder))
    , m_guard(std::move(guard))
    , m_clock(&clock)
{}

VoskRecognizer::~VoskRecognizer() = default;

bool VoskRecognizer::isModelFolder(const QString& folder)
{
    const QDir dir(folder);
    return QFileInfo(dir.filePath(QStringLiteral("am/final.mdl"))).isFile() &&
           QFileInfo(dir.filePath(QStringLiteral("conf/mfcc.conf"))).isFile() &&
           QFileInfo(dir.filePath(QStringLiteral("graph"))).isDir();
}

QString VoskRecognizer::modelFolder(const QString& localeIdentifier) const
{
    return QDir(m_modelsFolder).filePath(localeIdentifier);
}

bool VoskRecognizer::isInstalled(const QString& localeIdentifier) const
{
    return m_catalogue.source(localeIdentifier) && isModelFolder(modelFolder(localeIdentifier));
}

bool VoskRecognizer::canDownload(const QString& localeIdentifier) const
{
    const std::optional<ModelSource> source = m_catalogue.source(localeIdentifier);
    return source && source->canDownload();
}

bool VoskRecognizer::isLoaded(const QString& localeIdentifier) const
{
    const auto slot = m_slots.find(localeIdentifier);
    return slot != m_slots.end() && slot->second->isLoaded();
}

int VoskRecognizer::recognizerCount(const QString& localeIdentifier) const
{
    const auto slot = m_slots.find(localeIdentifier);
    if (slot == m_slots.end() || !slot->second->isLoaded())
        return 0;
    auto model = slot->second->get();
    return model ? model.value()->recognizerCount() : 0;
}

QCoro::Task<std::optional<QString>> VoskRecognizer::supportedLocale(QString localeIdentifier)
{
    if (!isInstalled(localeIdentifier) && !canDownload(localeIdentifier))
        co_return std::nullopt;
    co_return localeIdentifier;
}

QCoro::Task<Recognizer::InstallationRequestOutcome>
VoskRecognizer::assetInstallationRequest(Transcriber transcriber)
{
    const QString& locale = transcriber.localeIdentifier;
    if (isInstalled(locale))
        co_return std::shared_ptr<AssetInstallationRequest>();
    const std::optional<ModelSource> source = m_catalogue.source(locale);
    if (!source || !source->canDownload())
        co_return RecognitionError{QStringLiteral("%1 : aucun modèle de reconnaissance n'est disponible.")
                                       .arg(transcriber.languageName)};
    if (!m_network)
        m_network = std::make_shared<QNetworkAccessManager>();
    co_return std::shared_ptr<AssetInstallationRequest>(std::make_shared<ModelInstallation>(
        m_network,
        ModelPackage::vosk(*source, transcriber.languageName, modelFolder(locale),
                           &VoskRecognizer::isModelFolder),
        ModelInstallation::Environment{m_clock, &ModelInstallation::systemFreeSpace}));
}

QCoro::Task<std::optional<AudioFormat>> VoskRecognizer::bestAvailableAudioFormat(Transcriber)
{
    co_return AudioFormat{16000, 1};
}

std::shared_ptr<VoskModelSlot> VoskRecognizer::slot(const Transcriber& transcriber)
{
    const QString& locale = transcriber.localeIdentifier;
    auto found = m_slots.find(locale);
    if (found == m_slots.end())
        found = m_slots
                    .emplace(locale, std::make_shared<VoskModelSlot>(m_library, modelFolder(locale),
                                                                     transcriber.languageName, m_guard))
                    .first;
    return found->second;
}

std::shared_ptr<Analyzer> VoskRecognizer::makeAnalyzer(Transcriber transcriber, AnalyzerOptions)
{
    // Every analyser keeps its model as long as it lives: a slot, once loaded, is never emptied.
    std::shared_ptr<VoskModelSlot> model = slot(transcriber);
    return std::make_shared<VoskAnalyzer>(std::move(model), std::move(transcriber));
}

QCoro::Task<bool> VoskRecognizer::modelLoads(Transcriber transcriber)
{
    std::shared_ptr<VoskModelSlot> model = slot(transcriber);
    co_return !co_await model->clearForLoading();
}

std::optional<Recognizer::ModelProblem> VoskRecognizer::modelProblem(const QString& localeIdentifier) const
{
    const auto slot = m_slots.find(localeIdentifier);
    if (slot == m_slots.end() || !slot->second->isRefused() || !isInstalled(localeIdentifier))
        return std::nullopt;
    return ModelProblem{slot->second->refusal().description, canDownload(localeIdentifier)};
}

bool VoskRecognizer::setModelAside(const QString& localeIdentifier)
{
    const QString folder = modelFolder(localeIdentifier);
    const QString aside = folder + QLatin1String(".refused");
    QDir(aside).removeRecursively();
    if (!QDir().rename(folder, aside))
        return false;
    // The next preparation finds no model and installs one, in a slot of its own.
    m_slots.erase(localeIdentifier);
    logLine("Parlune: %s Vosk model set aside", localeIdentifier.toUtf8().constData());
    return true;
}

void VoskRecognizer::unload(const QString& localeIdentifier)
{
    // The dictations still on the model hold its slot until they end; the next analyser loads it again.
    m_slots.erase(localeIdentifier);
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/ParakeetRecognizer.h"

#include "platform/Log.h"
#include "platform/models/ModelGuard.h"
#include "platform/parakeet/ParakeetAnalyzer.h"
#include "platform/sherpa/DecodingThreads.h"
#include "platform/sherpa/ParakeetModel.h"
#include "platform/sherpa/SileroVoiceActivity.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace parlune {

ParakeetRecognizer::ParakeetRecognizer(Loaders loaders, QString modelFolder)
    : m_modelFolder(modelFolder.isEmpty() ? AppPaths::models() + QLatin1String("/parakeet-tdt-0.6b-v3")
                                          : std::move(modelFolder))
    , m_installation(std::move(loaders.installation))
    , m_guard(std::move(loaders.guard))
{
    m_slot = std::make_shared<ParakeetModelSlot>(
        [load = std::move(loaders.model), folder = m_modelFolder, guarded = m_guard != nullptr] {
            // A load that never ends (the library ends the process) leaves its mark for the next start.
            std::optional<ModelVerdicts::LoadMark> loading;
            if (guarded)
                loading.emplace(folder);
            auto model = load(folder);
            if (!model && guarded)
                ModelVerdicts::record(folder, ModelVerdicts::fingerprint(folder),
                                      ModelVerdicts::Verdict::refused, "load");
            return model;
        },
        std::move(loaders.voiceActivity));
}

ParakeetRecognizer::~ParakeetRecognizer() = default;

ParakeetRecognizer::Loaders ParakeetRecognizer::onSherpaOnnx(std::shared_ptr<const SherpaOnnxLibrary> library,
                                                             QString voiceActivityModel)
{
    Loaders loaders;
    loaders.model =
        [library](const QString& folder) -> Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError> {
        auto model = ParakeetModel::load(library, folder, DecodingThreads::recommendedCount());
        if (!model)
            return model.error();
        return std::shared_ptr<PhraseDecoder>(std::move(model.value()));
    };
    loaders.voiceActivity = [library, voiceActivityModel = std::move(
                                          voiceActivityModel)]() -> ParakeetModelSlot::VoiceActivityOutcome {
        auto voice = SileroVoiceActivity::create(library, voiceActivityModel);
        if (!voice)
            return voice.error();
        return std::unique_ptr<VoiceActivity>(std::move(voice.value()));
    };
    return loaders;
}

const QStringList& ParakeetRecognizer::modelFileNames()
{
    static const QStringList names{QStringLiteral("encoder.int8.onnx"), QStringLiteral("decoder.int8.onnx"),
                                   QStringLiteral("joiner.int8.onnx"), QStringLiteral("tokens.txt")};
    return names;
}

bool ParakeetRecognizer::isModelFolder(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : modelFileNames())
        if (!QFileInfo(dir.filePath(name)).isFile())
            return false;
    return true;
}

bool ParakeetRecognizer::isInstalled() const
{
    return isModelFolder(m_modelFolder);
}

bool ParakeetRecognizer::isLoaded() const
{
    return m_slot->isLoaded();
}

bool ParakeetRecognizer::recognizes(const QString& localeIdentifier)
{
    return localeIdentifier == QLatin1String("fr-FR") || localeIdentifier == QLatin1String("es-ES") ||
           localeIdentifier == QLatin1String("en-US");
}

QCoro::Task<std::optional<QString>> ParakeetRecognizer::supportedLocale(QString localeIdentifier)
{
    if (!recognizes(localeIdentifier) || (!isInstalled() && !canDownload()))
        co_return std::nullopt;
    co_return localeIdentifier;
}

namespace {

RecognitionError refusal()
{
    return RecognitionError{QStringLiteral("Modèle précis : le modèle n'a pas pu être chargé.")};
}

QCoro::Task<std::optional<RecognitionError>> clear(std::shared_ptr<ModelGuard> guard, QString folder,
                                                   std::shared_ptr<bool> refused)
{
    *refused = !co_await guard->mayLoad(folder);
    co_return *refused ? std::optional(refusal()) : std::nullopt;
}

} // namespace

QCoro::Task<Recognizer::InstallationRequestOutcome> ParakeetRecognizer::assetInstallationRequest(Transcriber)
{
    if (isInstalled() && *m_refused && canDownload()) {
        // Tried again after a refusal: the refused files make way for a fresh, checked copy.
        const QString aside = m_modelFolder + QLatin1String(".refused");
        QDir(aside).removeRecursively();
        if (QDir().rename(m_modelFolder, aside)) {
            *m_refused = false;
            logLine("Parlune: the accurate model that cannot be loaded set aside, downloading it again");
        }
    }
    if (isInstalled())
        co_return std::shared_ptr<AssetInstallationRequest>();
    if (!canDownload())
        co_return RecognitionError{QStringLiteral("Le modèle de reconnaissance précise n'est pas installé.")};
    co_return m_installation(m_modelFolder);
}

QCoro::Task<std::optional<AudioFormat>> ParakeetRecognizer::bestAvailableAudioFormat(Transcriber)
{
    co_return AudioFormat{16000, 1};
}

std::shared_ptr<Analyzer> ParakeetRecognizer::makeAnalyzer(Transcriber transcriber, AnalyzerOptions)
{
    ParakeetAnalyzer::Clearance clearance;
    if (m_guard)
        clearance = [guard = m_guard, folder = m_modelFolder, refused = m_refused] {
            return clear(guard, folder, refused);
        };
    return std::make_shared<ParakeetAnalyzer>(m_slot, std::move(transcriber), std::move(clearance));
}

void ParakeetRecognizer::unload(const QString& localeIdentifier)
{
    if (recognizes(localeIdentifier))
        m_slot->unload();
}

} // namespace parlune

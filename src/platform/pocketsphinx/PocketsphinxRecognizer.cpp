// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"

#include "platform/pocketsphinx/PocketsphinxAnalyzer.h"
#include "store/AppPaths.h"

#include <QDir>

namespace parlune {

PocketsphinxRecognizer::PocketsphinxRecognizer(ModelCatalogue catalogue, QString modelsFolder)
    : m_catalogue(std::move(catalogue))
    , m_modelsFolder(modelsFolder.isEmpty() ? AppPaths::models() : std::move(modelsFolder))
{}

PocketsphinxRecognizer::~PocketsphinxRecognizer() = default;

QString PocketsphinxRecognizer::userFolder(const QString& localeIdentifier) const
{
    return QDir(m_modelsFolder).filePath(localeIdentifier);
}

std::optional<ModelFiles> PocketsphinxRecognizer::installedModel(const QString& localeIdentifier) const
{
    const std::optional<ModelSource> source = m_catalogue.source(localeIdentifier);
    if (!source)
        return std::nullopt;
    if (std::optional<ModelFiles> own = ModelFiles::find(userFolder(localeIdentifier)))
        return own;
    return ModelFiles::find(source->systemFolder);
}

bool PocketsphinxRecognizer::decoderLoaded(const QString& localeIdentifier) const
{
    const auto decoder = m_decoders.find(localeIdentifier);
    return decoder != m_decoders.end() && decoder->second->isLoaded();
}

void PocketsphinxRecognizer::unload(const QString& localeIdentifier)
{
    m_decoders.erase(localeIdentifier);
}

QCoro::Task<std::optional<QString>> PocketsphinxRecognizer::supportedLocale(QString localeIdentifier)
{
    if (!installedModel(localeIdentifier))
        co_return std::nullopt;
    co_return localeIdentifier;
}

QCoro::Task<Recognizer::InstallationRequestOutcome>
PocketsphinxRecognizer::assetInstallationRequest(Transcriber transcriber)
{
    // A model is there, or the locale was never supported: nothing to install either way.
    if (!installedModel(transcriber.localeIdentifier))
        co_return RecognitionError{QStringLiteral("Le modèle de reconnaissance pour %1 est introuvable.")
                                       .arg(transcriber.languageName)};
    co_return std::shared_ptr<AssetInstallationRequest>();
}

QCoro::Task<std::optional<AudioFormat>> PocketsphinxRecognizer::bestAvailableAudioFormat(Transcriber)
{
    co_return AudioFormat{16000, 1};
}

std::shared_ptr<Analyzer> PocketsphinxRecognizer::makeAnalyzer(Transcriber transcriber, AnalyzerOptions)
{
    // Every analyser of a locale shares its one decoder, kept for the rest of the run.
    const QString locale = transcriber.localeIdentifier;
    auto decoder = m_decoders.find(locale);
    if (decoder == m_decoders.end()) {
        if (std::optional<ModelFiles> files = installedModel(locale))
            decoder = m_decoders.emplace(locale, std::make_shared<SharedDecoder>(*files)).first;
    }
    return std::make_shared<PocketsphinxAnalyzer>(
        decoder == m_decoders.end() ? nullptr : decoder->second, std::move(transcriber),
        QStringLiteral("Le modèle de reconnaissance pour %1 est introuvable.").arg(transcriber.languageName));
}

} // namespace parlune

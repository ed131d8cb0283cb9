// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/ParakeetRecognizer.h"

#include "platform/parakeet/ParakeetAnalyzer.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace parlune {

ParakeetRecognizer::ParakeetRecognizer(Loaders loaders, QString modelFolder)
    : m_modelFolder(modelFolder.isEmpty() ? AppPaths::models() + QLatin1String("/parakeet-tdt-0.6b-v3")
                                          : std::move(modelFolder))
    , m_installation(std::move(loaders.installation))
{
    m_slot = std::make_shared<ParakeetModelSlot>(
        [load = std::move(loaders.model), folder = m_modelFolder] { return load(folder); },
        std::move(loaders.voiceActivity));
}

ParakeetRecognizer::~ParakeetRecognizer() = default;

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

QCoro::Task<Recognizer::InstallationRequestOutcome> ParakeetRecognizer::assetInstallationRequest(Transcriber)
{
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
    return std::make_shared<ParakeetAnalyzer>(m_slot, std::move(transcriber));
}

void ParakeetRecognizer::unload(const QString& localeIdentifier)
{
    if (recognizes(localeIdentifier))
        m_slot->unload();
}

} // namespace parlune

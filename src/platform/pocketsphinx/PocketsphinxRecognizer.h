// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/models/ModelCatalogue.h"
#include "platform/pocketsphinx/ModelFiles.h"
#include "platform/pocketsphinx/PocketsphinxDecoder.h"

#include <QString>

#include <map>
#include <memory>

namespace parlune {

// The recogniser on pocketsphinx. A locale's model is looked up in the user's model folder
// (`<models>/<localeIdentifier>/`) and then in the catalogue's system folder; a locale whose model is
// in neither place is not supported (pocketsphinx models are never downloaded: the catalogue's archives
// are Vosk's). Audio is 16 kHz mono. Loaded models stay loaded for the rest of the run, one decoder per
// locale.
class PocketsphinxRecognizer final : public Recognizer
{
public:
    // `modelsFolder` defaults to the program's own, `AppPaths::models()`.
    explicit PocketsphinxRecognizer(ModelCatalogue catalogue = ModelCatalogue::shipped(),
                                    QString modelsFolder = {});
    ~PocketsphinxRecognizer() override;

    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;
    // The decoder goes with the last analyser that holds it (about 90 MB for English).
    void unload(const QString& localeIdentifier) override;

    // The model of a locale as it is on disk now, or none.
    std::optional<ModelFiles> installedModel(const QString& localeIdentifier) const;
    // Whether the decoder of a locale has been loaded.
    bool decoderLoaded(const QString& localeIdentifier) const;

private:
    QString userFolder(const QString& localeIdentifier) const;

    ModelCatalogue m_catalogue;
    QString m_modelsFolder;
    std::map<QString, std::shared_ptr<SharedDecoder>> m_decoders;
};

} // namespace parlune

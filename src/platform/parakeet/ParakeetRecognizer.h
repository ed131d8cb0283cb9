// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/parakeet/ParakeetModelSlot.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace parlune {

class ModelGuard;
class SherpaOnnxLibrary;

// The accurate recogniser: NVIDIA's Parakeet TDT 0.6B v3, one model for French, Spanish and English
// (it tells the language itself, so the locale changes nothing), in `<models>/parakeet-tdt-0.6b-v3/`,
// fed 16 kHz mono audio and decoding it phrase by phrase. The model is loaded once, by the preparation,
// off the main thread, and kept until `unload()`.
class ParakeetRecognizer final : public Recognizer
{
public:
    // What the recogniser is built on, each called off the main thread except `installation`.
    struct Loaders
    {
        // Loads the model from its folder: seconds, several hundred megabytes.
        std::function<Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError>(const QString& folder)> model;
        // A new voice detector, which cuts a dictation's speech into phrases.
        ParakeetModelSlot::VoiceActivityLoader voiceActivity;
        // The download of the model's files into its folder, checked and resumable; empty where the
        // model cannot be downloaded.
        std::function<std::shared_ptr<AssetInstallationRequest>(const QString& folder)> installation;
        // Decides whether a model not verified by its download may be loaded in this process (a damaged
        // ONNX file ends the process that loads it); none trusts every model.
        std::shared_ptr<ModelGuard> guard;
    };

    // The program's: the model and Silero's detector through sherpa-onnx, the model decoding on the
    // recommended number of threads. `installation` and `guard` are left empty.
    static Loaders onSherpaOnnx(std::shared_ptr<const SherpaOnnxLibrary> library, QString voiceActivityModel);

    // `modelFolder` defaults to the program's own, in `AppPaths::models()`.
    explicit ParakeetRecognizer(Loaders loaders, QString modelFolder = {});
    ~ParakeetRecognizer() override;

    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;
    // One model serves every language: letting go of it for one lets go of it for all. Its memory is
    // given back once the dictations still on it are over.
    void unload(const QString& localeIdentifier) override;

    // The model's four files, as they are named in its folder.
    static const QStringList& modelFileNames();
    static bool isModelFolder(const QString& folder);
    const QString& modelFolder() const { return m_modelFolder; }
    // Whether the model's files are on disk now.
    bool isInstalled() const;
    // Whether the model can be downloaded.
    bool canDownload() const { return bool(m_installation); }
    // Whether the model is in memory, ready for a dictation.
    bool isLoaded() const;
    // Whether the locale is one the model recognises.
    static bool recognizes(const QString& localeIdentifier);

private:
    QString m_modelFolder;
    std::function<std::shared_ptr<AssetInstallationRequest>(const QString& folder)> m_installation;
    std::shared_ptr<ParakeetModelSlot> m_slot;
    std::shared_ptr<ModelGuard> m_guard;
    // The guard refused the installed model: trying again downloads a fresh copy.
    std::shared_ptr<bool> m_refused = std::make_shared<bool>(false);
};

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/Recognizer.h"
#include "platform/models/ModelCatalogue.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/vosk/VoskModel.h"

#include <QString>

#include <map>
#include <memory>

class QNetworkAccessManager;

namespace parlune {

// The recogniser on Vosk. A locale's model lives in `<models>/vosk/<localeIdentifier>/`; a locale
// without one is installed from the catalogue's archive. Audio is 16 kHz mono. A model, once loaded,
// serves every dictation in its language until it is unloaded.
class VoskRecognizer final : public Recognizer
{
public:
    // `modelsFolder` defaults to the program's own, "vosk" in `AppPaths::models()`. With a guard, a model
    // is loaded only once the guard has let it. The clock times the downloads' speed.
    explicit VoskRecognizer(std::shared_ptr<const VoskLibrary> library,
                            ModelCatalogue catalogue = ModelCatalogue::shipped(), QString modelsFolder = {},
                            std::shared_ptr<ModelGuard> guard = nullptr,
                            Clock& clock = SystemClock::instance());
    ~VoskRecognizer() override;

    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;
    std::optional<ModelProblem> modelProblem(const QString& localeIdentifier) const override;
    // The refused folder becomes "<locale>.refused" beside it, replacing an older one.
    bool setModelAside(const QString& localeIdentifier) override;

    // Whether the installed model of the transcriber's locale may be loaded, asking the guard.
    QCoro::Task<bool> modelLoads(Transcriber transcriber);
    void unload(const QString& localeIdentifier) override;

    // Whether a model is on disk for the locale now.
    bool isInstalled(const QString& localeIdentifier) const;
    // Whether the catalogue offers the locale's model for download.
    bool canDownload(const QString& localeIdentifier) const;
    // Whether the locale's model is loaded and ready for a dictation.
    bool isLoaded(const QString& localeIdentifier) const;
    // Recognisers made for the locale so far (0 before its model is loaded).
    int recognizerCount(const QString& localeIdentifier) const;

    // A folder holding a Vosk model: the acoustic model, its features' settings and a graph.
    static bool isModelFolder(const QString& folder);
    QString modelFolder(const QString& localeIdentifier) const;

private:
    std::shared_ptr<VoskModelSlot> slot(const Transcriber& transcriber);

    std::shared_ptr<const VoskLibrary> m_library;
    ModelCatalogue m_catalogue;
    QString m_modelsFolder;
    std::shared_ptr<ModelGuard> m_guard;
    Clock* m_clock;
    std::shared_ptr<QNetworkAccessManager> m_network;
    std::map<QString, std::shared_ptr<VoskModelSlot>> m_slots;
};

} // namespace parlune

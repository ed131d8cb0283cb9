// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/vosk/VoskRecognizer.h"

#include <QString>

#include <map>
#include <memory>

namespace parlune {

// The program's recogniser: Vosk for every language whose Vosk model is installed; otherwise the
// fallback (pocketsphinx) where it has a model of its own, at once, while the Vosk model downloads in
// the background and takes over once it is loaded; otherwise the Vosk model is downloaded as the
// language is prepared. A Vosk model that cannot be loaded gives way to the fallback where it has a
// model of its own. Without the Vosk library, only the fallback's languages are available.
class RecognizerChoice final : public Recognizer
{
public:
    // `vosk` is null when its library is missing.
    RecognizerChoice(std::shared_ptr<VoskRecognizer> vosk, std::shared_ptr<Recognizer> fallback);
    ~RecognizerChoice() override;

    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;
    // A Vosk model that cannot be loaded: the fallback serves instead where it can, and says so.
    std::optional<ModelProblem> modelProblem(const QString& localeIdentifier) const override;
    bool setModelAside(const QString& localeIdentifier) override;

    enum class Engine { vosk, fallback };
    // The engine the locale's next dictation runs on.
    Engine engineFor(const QString& localeIdentifier) const;
    // The download running in the background for a locale the fallback serves meanwhile, if any.
    std::shared_ptr<InstallationProgress> backgroundInstallation(const QString& localeIdentifier) const;

private:
    struct State;
    static QCoro::Task<> installInBackground(std::shared_ptr<State> state, Transcriber transcriber);

    std::shared_ptr<State> m_state;
};

} // namespace parlune

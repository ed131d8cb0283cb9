// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/BackgroundWork.h"
#include "platform/Recognizer.h"

#include <QString>

#include <functional>
#include <memory>

namespace parlune {

class VoskRecognizer;

// The program's recogniser: for each dictation, one of three engines.
// - Fast: Vosk for every language whose Vosk model is installed; otherwise the fallback (pocketsphinx)
//   where it has a model of its own, at once, while the Vosk model downloads in the background and
//   takes over once it is loaded; otherwise the Vosk model is downloaded as the language is prepared.
//   A Vosk model that cannot be loaded gives way to the fallback where it has a model of its own.
// - Accurate, once the user chose it: one model for every language. Installed, it is loaded as the
//   language is prepared; not yet installed, or failing, the fast engine serves while it downloads and
//   loads in the background, and it takes over for the dictations that follow once loaded.
// No dictation waits for a download. What failed in the background stays visible and is tried again.
class RecognizerChoice final : public Recognizer
{
public:
    // `vosk` is null when its library is missing, `accurate` when sherpa-onnx's is.
    RecognizerChoice(std::shared_ptr<VoskRecognizer> vosk, std::shared_ptr<Recognizer> fallback,
                     std::shared_ptr<Recognizer> accurate = nullptr);
    ~RecognizerChoice() override;

    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;
    // A Vosk model that cannot be loaded: the fallback serves instead where it can, and says so.
    std::optional<ModelProblem> modelProblem(const QString& localeIdentifier) const override;
    bool setModelAside(const QString& localeIdentifier) override;

    enum class Engine { vosk, fallback, accurate };
    // The engine the locale's next dictation runs on.
    Engine engineFor(const QString& localeIdentifier) const;

    bool accurateAvailable() const;
    // The user's choice. Chosen, the accurate model is installed and loaded in the background (failures
    // name `transcriber`'s language); let go of, its download stops and its memory is freed once no
    // dictation uses it.
    void chooseAccurate(bool chosen, const Transcriber& transcriber);

    // The accurate model's download and loading.
    BackgroundWork accurateWork() const;
    // The download of a locale's Vosk model while the fallback serves the locale.
    BackgroundWork voskWork(const QString& localeIdentifier) const;
    // Tries again what failed: the accurate model, and the Vosk model of `transcriber`'s locale. What the
    // user called off waits for the user to ask, `evenCalledOff`.
    void retryFailedWork(const Transcriber& transcriber, bool evenCalledOff = false);
    // Called on the main thread after every change of the background work, its progress included.
    void setOnChange(std::function<void()> onChange);

private:
    struct State;
    static QCoro::Task<> installInBackground(std::shared_ptr<State> state, Transcriber transcriber);
    static QCoro::Task<> installAccurate(std::shared_ptr<State> state, Transcriber transcriber);

    std::shared_ptr<State> m_state;
};

} // namespace parlune

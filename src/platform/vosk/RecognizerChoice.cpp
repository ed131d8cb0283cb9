// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/RecognizerChoice.h"

#include "platform/Log.h"

namespace parlune {

struct RecognizerChoice::State
{
    std::shared_ptr<VoskRecognizer> vosk;
    std::shared_ptr<Recognizer> fallback;
    // Decided when the locale is prepared; a locale never prepared goes to Vosk when its model is there.
    std::map<QString, Engine> engines;
    std::map<QString, std::shared_ptr<InstallationProgress>> downloads;
    // Locales the fallback serves because their Vosk model cannot be loaded, with the language's name.
    std::map<QString, QString> replaced;

    Engine engineFor(const QString& locale) const
    {
        const auto chosen = engines.find(locale);
        if (chosen != engines.end())
            return chosen->second;
        return vosk && vosk->isInstalled(locale) ? Engine::vosk : Engine::fallback;
    }
    Recognizer& recognizer(const QString& locale) const
    {
        return engineFor(locale) == Engine::vosk ? static_cast<Recognizer&>(*vosk) : *fallback;
    }
};

RecognizerChoice::RecognizerChoice(std::shared_ptr<VoskRecognizer> vosk, std::shared_ptr<Recognizer> fallback)
    : m_state(std::make_shared<State>())
{
    m_state->vosk = std::move(vosk);
    m_state->fallback = std::move(fallback);
}

RecognizerChoice::~RecognizerChoice() = default;

RecognizerChoice::Engine RecognizerChoice::engineFor(const QString& localeIdentifier) const
{
    return m_state->engineFor(localeIdentifier);
}

std::shared_ptr<InstallationProgress>
RecognizerChoice::backgroundInstallation(const QString& localeIdentifier) const
{
    const auto download = m_state->downloads.find(localeIdentifier);
    return download == m_state->downloads.end() ? nullptr : download->second;
}

QCoro::Task<std::optional<QString>> RecognizerChoice::supportedLocale(QString localeIdentifier)
{
    std::shared_ptr<State> state = m_state;
    if (state->vosk && state->vosk->isInstalled(localeIdentifier)) {
        state->engines[localeIdentifier] = Engine::vosk;
        co_return localeIdentifier;
    }
    if (co_await state->fallback->supportedLocale(localeIdentifier)) {
        state->engines[localeIdentifier] = Engine::fallback;
        co_return localeIdentifier;
    }
    if (state->vosk && state->vosk->canDownload(localeIdentifier)) {
        state->engines[localeIdentifier] = Engine::vosk;
        co_return localeIdentifier;
    }
    co_return std::nullopt;
}

QCoro::Task<Recognizer::InstallationRequestOutcome>
RecognizerChoice::assetInstallationRequest(Transcriber transcriber)
{
    std::shared_ptr<State> state = m_state;
    const QString locale = transcriber.localeIdentifier;
    if (state->engineFor(locale) == Engine::vosk) {
        // A model that cannot be loaded gives way to the fallback where it has one (English); elsewhere
        // its preparation fails with a message and the offer to download it again.
        bool replace = false;
        if (state->vosk->isInstalled(locale)) {
            const bool loads = co_await state->vosk->modelLoads(transcriber);
            if (!loads) {
                const std::optional<QString> fallback = co_await state->fallback->supportedLocale(locale);
                replace = fallback.has_value();
            }
        }
        if (!replace)
            co_return co_await state->vosk->assetInstallationRequest(transcriber);
        state->engines[locale] = Engine::fallback;
        state->replaced[locale] = transcriber.languageName;
        logLine("Parlune: %s recognised by the fallback: its Vosk model cannot be loaded",
                locale.toUtf8().constData());
        co_return co_await state->fallback->assetInstallationRequest(transcriber);
    }

    InstallationRequestOutcome request = co_await state->fallback->assetInstallationRequest(transcriber);
    // The fallback serves now; the better model is fetched for the dictations to come.
    if (state->vosk && state->vosk->canDownload(locale) && !state->vosk->isInstalled(locale) &&
        !state->downloads.count(locale))
        installInBackground(state, transcriber);
    co_return request;
}

std::optional<Recognizer::ModelProblem> RecognizerChoice::modelProblem(const QString& localeIdentifier) const
{
    if (const auto replaced = m_state->replaced.find(localeIdentifier); replaced != m_state->replaced.end())
        return ModelProblem{
            QStringLiteral(
                "%1 : le modèle de reconnaissance n'a pas pu être chargé ; un modèle plus simple le "
                "remplace.")
                .arg(replaced->second)};
    return m_state->vosk ? m_state->vosk->modelProblem(localeIdentifier) : std::nullopt;
}

bool RecognizerChoice::setModelAside(const QString& localeIdentifier)
{
    return m_state->vosk && !m_state->replaced.count(localeIdentifier) &&
           m_state->vosk->setModelAside(localeIdentifier);
}

QCoro::Task<> RecognizerChoice::installInBackground(std::shared_ptr<State> state, Transcriber transcriber)
{
    const QString locale = transcriber.localeIdentifier;
    const QByteArray name = locale.toUtf8();
    InstallationRequestOutcome request = co_await state->vosk->assetInstallationRequest(transcriber);
    if (!request || !request.value())
        co_return;
    state->downloads[locale] = request.value()->progress();
    std::optional<RecognitionError> failed = co_await request.value()->downloadAndInstall();
    if (!failed) {
        // Loaded before it takes over, so that no dictation waits for it.
        std::shared_ptr<Analyzer> loader = state->vosk->makeAnalyzer(transcriber, AnalyzerOptions{});
        failed = co_await loader->prepareToAnalyze(AudioFormat{16000, 1});
    }
    state->downloads.erase(locale);
    if (failed) {
        logLine("Parlune: %s Vosk model not installed in the background: %s", name.constData(),
                failed->description.toUtf8().constData());
        co_return;
    }
    state->engines[locale] = Engine::vosk;
    // The fallback's model is of no more use for this language: it stays in memory only until the
    // dictations still on it are over.
    state->fallback->unload(locale);
    logLine("Parlune: %s now recognised by Vosk", name.constData());
}

QCoro::Task<std::optional<AudioFormat>> RecognizerChoice::bestAvailableAudioFormat(Transcriber transcriber)
{
    std::shared_ptr<State> state = m_state;
    co_return co_await state->recognizer(transcriber.localeIdentifier).bestAvailableAudioFormat(transcriber);
}

std::shared_ptr<Analyzer> RecognizerChoice::makeAnalyzer(Transcriber transcriber, AnalyzerOptions options)
{
    return m_state->recognizer(transcriber.localeIdentifier).makeAnalyzer(std::move(transcriber), options);
}

} // namespace parlune

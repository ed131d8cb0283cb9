// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/SpeechEngine.h"

#include "platform/Log.h"

#include <QCoreApplication>

#include <coroutine>
#include <vector>

namespace parlune {

// A running preparation, which the requests that arrive meanwhile wait for.
struct SpeechEngine::Preparation
{
    std::optional<PrepareOutcome> outcome;
    std::vector<std::coroutine_handle<>> waiters;

    void complete(const PrepareOutcome& result)
    {
        outcome = result;
        for (std::coroutine_handle<> waiter : std::exchange(waiters, {}))
            waiter.resume();
    }

    // Waits for the outcome of `preparation`, which the waiter keeps alive.
    // WORKAROUND: g++ 12 may destroy a temporary awaiter of a co_await expression twice, so the awaiter
    // holds a plain pointer and never owns anything.
    struct Wait
    {
        Preparation* preparation;
        bool await_ready() const noexcept { return preparation->outcome.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) { preparation->waiters.push_back(handle); }
        PrepareOutcome await_resume() const { return *preparation->outcome; }
    };
};

QString SpeechEngine::EngineError::description() const
{
    // Through the translation system, like every status text: the program's catalogue may say it in
    // words that fit this computer.
    switch (m_case) {
    case Case::unsupported:
        return QCoreApplication::translate("SpeechEngine", "%1 n'est pas disponible sur ce Mac.")
            .arg(displayName(*m_language));
    case Case::noAudioFormat:
        return QCoreApplication::translate("SpeechEngine", "Le moteur de dictée ne répond pas.");
    }
    return {};
}

QString SpeechEngine::description(const Error& error)
{
    if (const auto* engineError = std::get_if<EngineError>(&error))
        return engineError->description();
    return std::get<RecognitionError>(error).description;
}

SpeechEngine::SpeechEngine(std::shared_ptr<Recognizer> recognizer, Clock& clock)
    : m_state(std::make_shared<State>(State{std::move(recognizer), &clock, {}, {}, {}, 0}))
{}

QCoro::Task<SpeechEngine::PrepareOutcome> SpeechEngine::prepare(Language language)
{
    return prepare(m_state, language);
}

std::optional<AudioFormat> SpeechEngine::readyFormat(Language language) const
{
    const auto ready = m_state->formats.find(language);
    if (ready == m_state->formats.end())
        return std::nullopt;
    return ready->second;
}

void SpeechEngine::forgetPreparedLanguages()
{
    m_state->formats.clear();
    m_state->inFlight.clear();
    ++m_state->generation;
}

Transcriber SpeechEngine::makeTranscriber(Language language)
{
    return Transcriber{localeIdentifier(language), /*volatileResults=*/true, displayName(language)};
}

const AnalyzerOptions& SpeechEngine::options()
{
    static const AnalyzerOptions shared{AnalyzerOptions::Priority::userInitiated,
                                        AnalyzerOptions::ModelRetention::processLifetime};
    return shared;
}

QCoro::Task<SpeechEngine::PrepareOutcome> SpeechEngine::prepare(std::shared_ptr<State> state,
                                                                Language language)
{
    if (auto ready = state->formats.find(language); ready != state->formats.end())
        co_return ready->second;

    // Someone else started this preparation: wait for it, silently.
    if (auto running = state->inFlight.find(language); running != state->inFlight.end()) {
        std::shared_ptr<Preparation> preparation = running->second;
        co_return co_await Preparation::Wait{preparation.get()};
    }

    const Clock::Instant startedAt = state->clock->now();
    auto preparation = std::make_shared<Preparation>();
    // In the map before the load starts: a load that completes at once still finds it there.
    state->inFlight[language] = preparation;

    const int generation = state->generation;
    PrepareOutcome outcome = co_await load(state, language);
    const QByteArray raw = rawValue(language).toUtf8();
    const bool current = generation == state->generation;
    if (outcome) {
        if (current)
            state->formats.insert_or_assign(language, outcome.value());
        logLine("Parlune: %s ready in %.2f s", raw.constData(),
                secondsBetween(startedAt, state->clock->now()));
    } else {
        logLine("Parlune: %s failed: %s", raw.constData(), description(outcome.error()).toUtf8().constData());
    }
    if (current)
        state->inFlight.erase(language);
    preparation->complete(outcome);
    co_return outcome;
}

QCoro::Task<SpeechEngine::PrepareOutcome> SpeechEngine::load(std::shared_ptr<State> state, Language language)
{
    const std::shared_ptr<Recognizer> recognizer = state->recognizer;
    if (!co_await recognizer->supportedLocale(localeIdentifier(language)))
        co_return EngineError::unsupported(language);

    const Transcriber transcriber = makeTranscriber(language);

    // Nothing to reserve ahead here: a model, once installed, stays on disk.

    Recognizer::InstallationRequestOutcome request =
        co_await recognizer->assetInstallationRequest(transcriber);
    if (!request)
        co_return request.error();
    std::shared_ptr<InstallationProgress> installation;
    if (request.value()) {
        installation = request.value()->progress();
        if (state->onInstallation)
            state->onInstallation(language, installation);
        if (std::optional<RecognitionError> failed = co_await request.value()->downloadAndInstall())
            co_return *failed;
    }

    // A model just installed is being loaded: its installation's progress ends with the loading.
    PrepareOutcome outcome = co_await loadModel(recognizer, transcriber);
    if (installation)
        installation->finish(outcome ? std::nullopt : std::optional(description(outcome.error())));
    co_return outcome;
}

QCoro::Task<SpeechEngine::PrepareOutcome> SpeechEngine::loadModel(std::shared_ptr<Recognizer> recognizer,
                                                                  Transcriber transcriber)
{
    const std::optional<AudioFormat> format = co_await recognizer->bestAvailableAudioFormat(transcriber);
    if (!format)
        co_return EngineError::noAudioFormat();

    // This analyser only serves to load the model; the recogniser keeps the model after it is gone.
    std::shared_ptr<Analyzer> analyzer = recognizer->makeAnalyzer(transcriber, options());
    if (std::optional<RecognitionError> failed = co_await analyzer->prepareToAnalyze(*format))
        co_return *failed;

    co_return *format;
}

} // namespace parlune

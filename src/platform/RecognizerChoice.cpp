// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecognizerChoice.h"

#include "platform/Log.h"
#include "platform/vosk/VoskRecognizer.h"

#include <coroutine>
#include <map>
#include <vector>

namespace parlune {

using Phase = BackgroundWork::Phase;

struct RecognizerChoice::State
{
    std::shared_ptr<VoskRecognizer> vosk;
    std::shared_ptr<Recognizer> fallback;
    std::shared_ptr<Recognizer> accurate;
    // The fast engine of each locale, decided when the locale is prepared; a locale never prepared goes
    // to Vosk when its model is there.
    std::map<QString, Engine> engines;
    std::map<QString, BackgroundWork> voskWork;
    // Locales the fallback serves because their Vosk model cannot be loaded, with the language's name.
    std::map<QString, QString> replaced;

    bool accurateChosen = false;
    BackgroundWork accurateWork;
    // An attempt is under way, even one that was let go of and only has to end.
    bool accurateRunning = false;
    // Chosen again while the attempt it was let go of still runs: another one follows it.
    bool restartAccurate = false;
    // What the accurate model was loaded for; any locale names its one model.
    QString accurateLocale;
    // Preparations waiting for an installed accurate model to load.
    std::vector<std::coroutine_handle<>> waitingForAccurate;
    std::function<void()> onChange;

    bool accurateServes() const { return accurateChosen && accurateWork.phase == Phase::ready; }
    BackgroundWork voskWorkFor(const QString& locale) const
    {
        const auto work = voskWork.find(locale);
        return work == voskWork.end() ? BackgroundWork{} : work->second;
    }

    Engine fastEngineFor(const QString& locale) const
    {
        const auto chosen = engines.find(locale);
        if (chosen != engines.end())
            return chosen->second;
        return vosk && vosk->isInstalled(locale) ? Engine::vosk : Engine::fallback;
    }
    Engine engineFor(const QString& locale) const
    {
        return accurateServes() ? Engine::accurate : fastEngineFor(locale);
    }
    Recognizer& recognizer(Engine engine) const
    {
        switch (engine) {
        case Engine::vosk:
            return *vosk;
        case Engine::accurate:
            return *accurate;
        case Engine::fallback:
            break;
        }
        return *fallback;
    }

    void changed() const
    {
        if (onChange)
            onChange();
    }
    void setAccurateWork(BackgroundWork work)
    {
        accurateWork = std::move(work);
        if (accurateWork.phase != Phase::loading) {
            for (std::coroutine_handle<> waiting : std::exchange(waitingForAccurate, {}))
                waiting.resume();
        }
        changed();
    }
    void setVoskWork(const QString& locale, BackgroundWork work)
    {
        voskWork[locale] = std::move(work);
        changed();
    }
    // Every step of a download is told on.
    static void follow(const std::shared_ptr<State>& state,
                       const std::shared_ptr<InstallationProgress>& progress)
    {
        std::weak_ptr<State> weak = state;
        progress->observe([weak] {
            if (const std::shared_ptr<State> state = weak.lock())
                state->changed();
        });
    }

    // Until the accurate model's loading has ended, however it ends.
    // WORKAROUND: g++ 12 may destroy a temporary awaiter of a co_await expression twice, so the awaiter
    // holds a plain pointer and never owns anything.
    struct AccurateSettled
    {
        State* state;
        bool await_ready() const noexcept { return state->accurateWork.phase != Phase::loading; }
        void await_suspend(std::coroutine_handle<> handle) { state->waitingForAccurate.push_back(handle); }
        void await_resume() const noexcept {}
    };
};

namespace {

bool retries(const BackgroundWork& work, bool evenCalledOff)
{
    return work.phase == Phase::failed && (evenCalledOff || !work.calledOff);
}

// An installation's progress runs to the loaded model: whoever loads it ends it.
void finishInstallation(const std::shared_ptr<InstallationProgress>& installation,
                        const std::optional<RecognitionError>& failed)
{
    if (installation)
        installation->finish(failed ? std::optional(failed->description) : std::nullopt);
}

} // namespace

RecognizerChoice::RecognizerChoice(std::shared_ptr<VoskRecognizer> vosk, std::shared_ptr<Recognizer> fallback,
                                   std::shared_ptr<Recognizer> accurate)
    : m_state(std::make_shared<State>())
{
    m_state->vosk = std::move(vosk);
    m_state->fallback = std::move(fallback);
    m_state->accurate = std::move(accurate);
}

RecognizerChoice::~RecognizerChoice() = default;

RecognizerChoice::Engine RecognizerChoice::engineFor(const QString& localeIdentifier) const
{
    return m_state->engineFor(localeIdentifier);
}

bool RecognizerChoice::accurateAvailable() const
{
    return m_state->accurate != nullptr;
}

BackgroundWork RecognizerChoice::accurateWork() const
{
    return m_state->accurateWork;
}

BackgroundWork RecognizerChoice::voskWork(const QString& localeIdentifier) const
{
    return m_state->voskWorkFor(localeIdentifier);
}

void RecognizerChoice::setOnChange(std::function<void()> onChange)
{
    m_state->onChange = std::move(onChange);
}

void RecognizerChoice::chooseAccurate(bool chosen, const Transcriber& transcriber)
{
    State& state = *m_state;
    if (!state.accurate || chosen == state.accurateChosen)
        return;
    state.accurateChosen = chosen;
    if (chosen) {
        if (state.accurateRunning)
            state.restartAccurate = true;
        else
            installAccurate(m_state, transcriber);
        return;
    }
    state.restartAccurate = false;
    // Held here: the attempt may end, and let go of it, while it is being cancelled.
    if (const std::shared_ptr<InstallationProgress> progress = state.accurateWork.progress)
        progress->cancel();
    if (state.accurateWork.phase == Phase::ready) {
        // Freed once the dictations still on it are over.
        state.accurate->unload(state.accurateLocale);
        logLine("Parlune: accurate recognition let go of, fast recognition from now on");
    }
    if (!state.accurateRunning)
        state.setAccurateWork({});
}

void RecognizerChoice::retryFailedWork(const Transcriber& transcriber, bool evenCalledOff)
{
    State& state = *m_state;
    if (state.accurateChosen && !state.accurateRunning && retries(state.accurateWork, evenCalledOff))
        installAccurate(m_state, transcriber);
    const QString& locale = transcriber.localeIdentifier;
    if (state.engineFor(locale) == Engine::fallback && retries(voskWork(locale), evenCalledOff))
        installInBackground(m_state, transcriber);
}

QCoro::Task<> RecognizerChoice::installAccurate(std::shared_ptr<State> state, Transcriber transcriber)
{
    state->accurateRunning = true;
    // Until it is known whether a download is needed, the model counts as being loaded: a language
    // prepared meanwhile waits for it rather than loading another engine.
    state->setAccurateWork(BackgroundWork::loading());
    Recognizer& accurate = *state->accurate;
    std::optional<RecognitionError> failed;
    std::shared_ptr<InstallationProgress> installation;
    InstallationRequestOutcome request = co_await accurate.assetInstallationRequest(transcriber);
    if (!request) {
        failed = request.error();
    } else if (request.value() && state->accurateChosen) {
        // A download: the fast engine serves meanwhile.
        installation = request.value()->progress();
        State::follow(state, installation);
        state->setAccurateWork(BackgroundWork::installing(installation));
        failed = co_await request.value()->downloadAndInstall();
        if (!failed)
            state->setAccurateWork(BackgroundWork::loading());
    }
    if (!failed && state->accurateChosen) {
        // Loaded before it takes over, so that no dictation waits for it.
        std::shared_ptr<Analyzer> loader = accurate.makeAnalyzer(transcriber, AnalyzerOptions{});
        failed = co_await loader->prepareToAnalyze(AudioFormat{16000, 1});
    }
    finishInstallation(installation, failed);
    const bool calledOff = installation && installation->isCancelled();
    state->accurateRunning = false;

    if (!state->accurateChosen) {
        // Let go of meanwhile: nothing to keep, nothing to show.
        accurate.unload(transcriber.localeIdentifier);
        state->setAccurateWork({});
    } else if (failed) {
        logLine("Parlune: accurate recognition not ready, fast recognition meanwhile: %s",
                failed->description.toUtf8().constData());
        state->setAccurateWork(BackgroundWork::failed(*failed, calledOff));
    } else {
        state->accurateLocale = transcriber.localeIdentifier;
        // The fast engines' models are of no more use: each goes once the dictations still on it are over.
        for (const auto& [locale, engine] : state->engines)
            state->recognizer(engine).unload(locale);
        state->setAccurateWork(BackgroundWork::ready());
        logLine("Parlune: accurate recognition ready, for every language");
    }
    if (std::exchange(state->restartAccurate, false) && state->accurateChosen && !state->accurateServes())
        installAccurate(state, transcriber);
}

QCoro::Task<std::optional<QString>> RecognizerChoice::supportedLocale(QString localeIdentifier)
{
    std::shared_ptr<State> state = m_state;
    if (state->accurateChosen) {
        while (state->accurateWork.phase == Phase::loading)
            co_await State::AccurateSettled{state.get()};
        if (state->accurateServes()) {
            if (auto locale = co_await state->accurate->supportedLocale(localeIdentifier))
                co_return locale;
        }
    }
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
    const Engine engine = state->engineFor(locale);
    if (engine == Engine::accurate)
        co_return co_await state->accurate->assetInstallationRequest(transcriber);
    if (engine == Engine::vosk) {
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
    // The fallback serves now; the better model is fetched for the dictations to come. A download that
    // failed before is tried again.
    if (state->vosk && state->vosk->canDownload(locale) && !state->vosk->isInstalled(locale) &&
        !state->replaced.count(locale) && !state->voskWorkFor(locale).isRunning())
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
    state->setVoskWork(locale, BackgroundWork::installing());
    std::optional<RecognitionError> failed;
    std::shared_ptr<InstallationProgress> installation;
    InstallationRequestOutcome request = co_await state->vosk->assetInstallationRequest(transcriber);
    if (!request) {
        failed = request.error();
    } else if (request.value()) {
        installation = request.value()->progress();
        State::follow(state, installation);
        state->setVoskWork(locale, BackgroundWork::installing(installation));
        failed = co_await request.value()->downloadAndInstall();
    }
    if (!failed) {
        // Loaded before it takes over, so that no dictation waits for it.
        state->setVoskWork(locale, BackgroundWork::loading());
        std::shared_ptr<Analyzer> loader = state->vosk->makeAnalyzer(transcriber, AnalyzerOptions{});
        failed = co_await loader->prepareToAnalyze(AudioFormat{16000, 1});
    }
    finishInstallation(installation, failed);
    const bool calledOff = installation && installation->isCancelled();
    if (failed) {
        logLine("Parlune: %s Vosk model not installed in the background: %s", name.constData(),
                failed->description.toUtf8().constData());
        state->setVoskWork(locale, BackgroundWork::failed(*failed, calledOff));
        co_return;
    }
    state->voskWork.erase(locale);
    state->engines[locale] = Engine::vosk;
    // The fallback's model is of no more use for this language: it stays in memory only until the
    // dictations still on it are over. So does Vosk's, should the accurate engine serve by now.
    state->fallback->unload(locale);
    if (state->accurateServes())
        state->vosk->unload(locale);
    state->changed();
    logLine("Parlune: %s now recognised by Vosk", name.constData());
}

QCoro::Task<std::optional<AudioFormat>> RecognizerChoice::bestAvailableAudioFormat(Transcriber transcriber)
{
    std::shared_ptr<State> state = m_state;
    const Engine engine = state->engineFor(transcriber.localeIdentifier);
    co_return co_await state->recognizer(engine).bestAvailableAudioFormat(transcriber);
}

std::shared_ptr<Analyzer> RecognizerChoice::makeAnalyzer(Transcriber transcriber, AnalyzerOptions options)
{
    const Engine engine = m_state->engineFor(transcriber.localeIdentifier);
    return m_state->recognizer(engine).makeAnalyzer(std::move(transcriber), options);
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "platform/Clock.h"
#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "speech/Language.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>

namespace parlune {

// Makes the on-device recogniser ready for a language before the first dictation in it: checks that
// the language can be recognised here, installs its model if needed, asks for the audio format the
// recogniser wants and loads the model once. The format is then cached for the rest of the run, so
// that starting a dictation only needs `readyFormat()`. Everything runs on the main thread.
class SpeechEngine
{
public:
    // The engine's own failures.
    class EngineError
    {
    public:
        enum class Case { unsupported, noAudioFormat };

        static EngineError unsupported(Language language) { return EngineError(Case::unsupported, language); }
        static EngineError noAudioFormat() { return EngineError(Case::noAudioFormat, std::nullopt); }

        Case kind() const { return m_case; }
        // The language that is not available, for `unsupported`.
        std::optional<Language> language() const { return m_language; }
        QString description() const;

    private:
        EngineError(Case kind, std::optional<Language> language)
            : m_case(kind)
            , m_language(language)
        {}

        Case m_case;
        std::optional<Language> m_language;
    };

    // Why a preparation failed: one of the engine's own errors, or the recogniser's (a failed
    // download, a model that does not load), with its own description.
    using Error = std::variant<EngineError, RecognitionError>;
    static QString description(const Error& error);

    using PrepareOutcome = Outcome<AudioFormat, Error>;

    explicit SpeechEngine(std::shared_ptr<Recognizer> recognizer, Clock& clock = SystemClock::instance());

    // The recogniser's audio format for `language`, preparing it first unless it is ready. Requests
    // made while a preparation of the same language runs wait for that one and share its outcome.
    QCoro::Task<PrepareOutcome> prepare(Language language);
    // The cached format of a prepared language; never starts a preparation.
    std::optional<AudioFormat> readyFormat(Language language) const;
    // Every language must be prepared again: the recogniser serves them with another engine from now on.
    // Preparations still running complete for those waiting on them, but make no language ready.
    void forgetPreparedLanguages();

    // A new transcriber for `language`, with volatile results: what a dictation session analyses.
    static Transcriber makeTranscriber(Language language);
    // The options of every analyser of the program: on behalf of the user, model kept loaded.
    static const AnalyzerOptions& options();

    const std::shared_ptr<Recognizer>& recognizer() const { return m_state->recognizer; }

    // Called on the main thread when a preparation starts installing the language's model, with the
    // installation's progress (which also cancels it).
    using InstallationObserver = std::function<void(Language, std::shared_ptr<InstallationProgress>)>;
    void setOnInstallation(InstallationObserver observer) { m_state->onInstallation = std::move(observer); }

private:
    struct Preparation;
    struct State
    {
        std::shared_ptr<Recognizer> recognizer;
        Clock* clock;
        std::map<Language, AudioFormat> formats;
        // A language is here exactly while its preparation runs.
        std::map<Language, std::shared_ptr<Preparation>> inFlight;
        InstallationObserver onInstallation;
        // Moves on when the prepared languages are forgotten.
        int generation = 0;
    };

    // The state outlives the engine while a preparation is running.
    static QCoro::Task<PrepareOutcome> prepare(std::shared_ptr<State> state, Language language);
    // The preparation itself.
    static QCoro::Task<PrepareOutcome> load(std::shared_ptr<State> state, Language language);
    // Its last steps: the format, and the model loaded once.
    static QCoro::Task<PrepareOutcome> loadModel(std::shared_ptr<Recognizer> recognizer,
                                                 Transcriber transcriber);

    std::shared_ptr<State> m_state;
};

} // namespace parlune

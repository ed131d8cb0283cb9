// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioBufferQueue.h"
#include "platform/InstallationProgress.h"
#include "platform/Outcome.h"

#include <QCoroTask>
#include <QString>

#include <coroutine>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace parlune {

// A failure of the recogniser, installing a model or loading it, told in the user's words (French).
struct RecognitionError
{
    QString description;
};

// What to recognise: the locale, and whether readings that may still change are reported. The
// language's name ("Français") is how failures name it to the user.
struct Transcriber
{
    QString localeIdentifier;
    bool volatileResults = false;
    QString languageName;
};

// How an analyser runs: on behalf of the user, and keeping its model loaded for the rest of the run.
struct AnalyzerOptions
{
    enum class Priority { userInitiated };
    enum class ModelRetention { processLifetime };

    Priority priority = Priority::userInitiated;
    ModelRetention modelRetention = ModelRetention::processLifetime;
};

// One reading of the speech. A volatile reading stands only until the next one; a final one is settled.
struct TranscriptionResult
{
    QString text;
    bool isFinal = false;
};

// The readings of one analysis, in order, as they reach the main thread. One consumer awaits `next()`;
// the producer (the analyser, on the main thread) delivers readings and ends the sequence, with or
// without an error. The consumer is resumed right inside `deliver()` and `end()`.
class RecognitionResults
{
public:
    void deliver(TranscriptionResult result);
    // Later deliveries are ignored.
    void end(std::optional<RecognitionError> error = std::nullopt);

    bool hasEnded() const { return m_ended; }
    // Why the sequence ended early, once it has ended.
    const std::optional<RecognitionError>& error() const { return m_error; }

    // The next reading, or none once the sequence has ended and every reading was taken.
    auto next()
    {
        struct Awaiter
        {
            RecognitionResults* results;
            bool await_ready() const noexcept { return results->isReady(); }
            void await_suspend(std::coroutine_handle<> handle) noexcept { results->m_consumer = handle; }
            std::optional<TranscriptionResult> await_resume() { return results->take(); }
        };
        return Awaiter{this};
    }

private:
    bool isReady() const { return !m_waiting.empty() || m_ended; }
    std::optional<TranscriptionResult> take();
    void resumeConsumer();

    std::deque<TranscriptionResult> m_waiting;
    bool m_ended = false;
    std::optional<RecognitionError> m_error;
    std::coroutine_handle<> m_consumer;
};

// Fetches and installs what a locale needs before it can be recognised.
class AssetInstallationRequest
{
public:
    virtual ~AssetInstallationRequest() = default;
    // None on success. A failure also finishes the progress with its text; a success leaves the
    // progress at its loading step, for whoever loads the model to finish.
    virtual QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() = 0;
    // Follows the installation while it runs.
    const std::shared_ptr<InstallationProgress>& progress() const { return m_progress; }

private:
    std::shared_ptr<InstallationProgress> m_progress = std::make_shared<InstallationProgress>();
};

// The analysis of one stream of audio: it consumes a queue of buffers on its own worker and reports
// readings through `results()`. Made on the main thread; every operation is called from it.
class Analyzer
{
public:
    virtual ~Analyzer() = default;

    // Loads what the locale needs to analyse audio in `format`, ahead of the first dictation. With the
    // process-lifetime retention, the model stays loaded for the rest of the run.
    virtual QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat format) = 0;
    // Begins consuming `input` in the background; completes once the analysis runs, or fails. A
    // failed start also ends the results with the same error.
    virtual QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue> input) = 0;
    // Analyses everything already in the (finished) input, reports the last final reading and ends
    // the results. Completes when the results have ended.
    virtual QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() = 0;
    // Stops at once, dropping the input not yet analysed, and ends the results.
    virtual QCoro::Task<> cancelAndFinishNow() = 0;

    virtual std::shared_ptr<RecognitionResults> results() = 0;
};

// The on-device speech recogniser of the system, as the speech engine and the dictation sessions use
// it. Every operation is called on the main thread and completes there; the slow ones (downloads,
// model loads, decoding) run elsewhere meanwhile.
class Recognizer
{
public:
    virtual ~Recognizer() = default;

    // The locale the recogniser serves for `localeIdentifier`, or none when it cannot recognise it
    // on this computer (not even after an installation).
    virtual QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) = 0;
    // What must be installed before `transcriber` can work: none when everything is there already.
    using InstallationRequestOutcome = Outcome<std::shared_ptr<AssetInstallationRequest>, RecognitionError>;
    virtual QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) = 0;
    // The audio format the recogniser wants its input in, or none.
    virtual QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) = 0;
    virtual std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) = 0;
    // Another recogniser serves the locale from now on: what its model holds in memory is let go of as
    // soon as no dictation uses it. A later analyser of the locale loads it again.
    virtual void unload(const QString& localeIdentifier) { (void)localeIdentifier; }
};

} // namespace parlune

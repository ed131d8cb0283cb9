// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"

#include <coroutine>
#include <memory>
#include <optional>
#include <vector>

namespace parlune {

class FakeRecognizer;

// An analyser driven by the test: it records what the session asks of it, and the test delivers the
// readings itself through `results()`.
class FakeAnalyzer final : public Analyzer
{
public:
    QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat format) override;
    QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue> input) override;
    // Delivers `readingsOnFinalize`, then ends the results.
    QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() override;
    QCoro::Task<> cancelAndFinishNow() override;
    std::shared_ptr<RecognitionResults> results() override { return m_results; }

    void deliver(const QString& text, bool isFinal) { m_results->deliver({text, isFinal}); }

    std::optional<RecognitionError> startError;
    std::optional<RecognitionError> finalizeError;
    std::vector<TranscriptionResult> readingsOnFinalize;

    FakeRecognizer* recognizer = nullptr;
    std::shared_ptr<AudioBufferQueue> input;
    int finalizeCalls = 0;
    // While set, finishing waits for releaseFinalize(): a transcription that takes its time.
    bool holdFinalize = false;
    void releaseFinalize();
    int cancelCalls = 0;

private:
    std::shared_ptr<RecognitionResults> m_results = std::make_shared<RecognitionResults>();
    std::vector<std::coroutine_handle<>> m_heldFinalize;
};

// A recogniser whose answers the test sets. Each operation answers at once, except that with
// `holdLoads` set the first step of a preparation waits until `releaseLoads()`.
class FakeRecognizer final : public Recognizer
{
public:
    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override;
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber transcriber) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber transcriber) override;
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber transcriber, AnalyzerOptions options) override;

    void releaseLoads();
    // The analyser of the latest session (or preparation).
    FakeAnalyzer& lastAnalyzer() { return *analyzers.back(); }

    // Answers.
    bool supported = true;
    std::optional<RecognitionError> requestError;
    bool needsInstallation = false;
    std::optional<RecognitionError> installationError;
    std::optional<AudioFormat> format = AudioFormat{16000, 1};
    std::optional<RecognitionError> prepareError;
    bool holdLoads = false;
    // Given to every analyser made from now on.
    std::optional<RecognitionError> startError;
    std::optional<RecognitionError> finalizeError;
    std::vector<TranscriptionResult> readingsOnFinalize;

    // What was asked.
    std::vector<QString> askedLocales;
    int installations = 0;
    int preparations = 0;
    std::vector<std::shared_ptr<FakeAnalyzer>> analyzers;

private:
    std::vector<std::coroutine_handle<>> m_heldLoads;
};

} // namespace parlune

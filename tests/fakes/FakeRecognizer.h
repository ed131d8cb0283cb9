// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"

#include <coroutine>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace parlune {

// Coroutines that wait until the test lets them go on.
using HeldCoroutines = std::vector<std::coroutine_handle<>>;
struct Hold
{
    HeldCoroutines* held;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) { held->push_back(handle); }
    void await_resume() const noexcept {}
};
inline void resumeAll(HeldCoroutines& held)
{
    for (std::coroutine_handle<> handle : std::exchange(held, {}))
        handle.resume();
}

// An analyser driven by the test: it counts what it is asked, and the test delivers the readings.
class FakeAnalyzer final : public Analyzer
{
public:
    QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat) override
    {
        co_return prepareError;
    }
    QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue>) override
    {
        co_return std::nullopt;
    }
    // Delivers `readingsOnFinalize` unless finishing fails, and ends the results either way.
    QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() override
    {
        ++finalizeCalls;
        if (holdFinalize)
            co_await Hold{&m_finalize};
        for (std::size_t i = 0; !finalizeError && i < readingsOnFinalize.size(); ++i)
            m_results->deliver(readingsOnFinalize[i]);
        m_results->end(finalizeError);
        co_return finalizeError;
    }
    QCoro::Task<> cancelAndFinishNow() override
    {
        ++cancelCalls;
        m_results->end();
        co_return;
    }
    std::shared_ptr<RecognitionResults> results() override { return m_results; }

    void deliver(const QString& text, bool isFinal) { m_results->deliver({text, isFinal}); }
    // While `holdFinalize` is set, finishing waits for this: a transcription that takes its time.
    void releaseFinalize()
    {
        holdFinalize = false;
        resumeAll(m_finalize);
    }

    std::optional<RecognitionError> prepareError, finalizeError;
    std::vector<TranscriptionResult> readingsOnFinalize;
    bool holdFinalize = false;
    int finalizeCalls = 0;
    int cancelCalls = 0;

private:
    std::shared_ptr<RecognitionResults> m_results = std::make_shared<RecognitionResults>();
    HeldCoroutines m_finalize;
};

// A model installation the test drives: it runs until the test ends it, or until it is cancelled.
class FakeInstallation final : public AssetInstallationRequest
{
public:
    QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() override
    {
        progress()->setOnCancel([this] { end(RecognitionError{QStringLiteral("Téléchargement annulé.")}); });
        co_await Hold{&m_running};
        if (m_outcome)
            progress()->finish(m_outcome->description);
        else
            progress()->setStep(InstallationProgress::Step::loading);
        co_return m_outcome;
    }
    void end(std::optional<RecognitionError> outcome = std::nullopt)
    {
        m_outcome = std::move(outcome);
        resumeAll(m_running);
    }

private:
    std::optional<RecognitionError> m_outcome;
    HeldCoroutines m_running;
};

// A recogniser whose answers the test sets. It answers at once, except that with `holdLoads` set a
// preparation waits at its first step, and with `holdRequests` the question of what to install waits,
// until `releaseLoads()`.
class FakeRecognizer final : public Recognizer
{
public:
    QCoro::Task<std::optional<QString>> supportedLocale(QString localeIdentifier) override
    {
        askedLocales.push_back(localeIdentifier);
        if (holdLoads)
            co_await Hold{&m_loads};
        co_return supported ? std::optional(localeIdentifier) : std::nullopt;
    }
    // Nothing to install, unless the test gave an installation for the next preparation.
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber) override
    {
        if (holdRequests)
            co_await Hold{&m_loads};
        co_return std::shared_ptr<AssetInstallationRequest>(std::exchange(installation, nullptr));
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber) override
    {
        co_return format;
    }
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber, AnalyzerOptions) override
    {
        auto analyzer = std::make_shared<FakeAnalyzer>();
        analyzer->prepareError = prepareError;
        analyzer->finalizeError = finalizeError;
        analyzer->readingsOnFinalize = readingsOnFinalize;
        analyzers.push_back(analyzer);
        return analyzer;
    }

    void unload(const QString& localeIdentifier) override { unloaded.push_back(localeIdentifier); }
    std::optional<ModelProblem> modelProblem(const QString& localeIdentifier) const override
    {
        const auto problem = problems.find(localeIdentifier);
        return problem == problems.end() ? std::nullopt : std::optional(problem->second);
    }
    bool setModelAside(const QString& localeIdentifier) override
    {
        setAside.push_back(localeIdentifier);
        return problems.erase(localeIdentifier) > 0;
    }

    void releaseLoads() { resumeAll(m_loads); }
    // The analyser of the latest session (or preparation).
    FakeAnalyzer& lastAnalyzer() { return *analyzers.back(); }

    // The answers; those of the analysers go to every analyser made from then on.
    bool supported = true;
    std::vector<QString> unloaded;
    bool holdLoads = false;
    bool holdRequests = false;
    std::optional<AudioFormat> format = AudioFormat{16000, 1};
    std::optional<RecognitionError> prepareError, finalizeError;
    std::vector<TranscriptionResult> readingsOnFinalize;
    std::shared_ptr<FakeInstallation> installation;
    // What the preparations find of the locales' models.
    std::map<QString, ModelProblem> problems;

    // What was asked.
    std::vector<QString> askedLocales;
    std::vector<QString> setAside;
    std::vector<std::shared_ptr<FakeAnalyzer>> analyzers;

private:
    HeldCoroutines m_loads;
};

} // namespace parlune

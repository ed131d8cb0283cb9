// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeRecognizer.h"

namespace parlune {

namespace {

class FakeInstallation final : public AssetInstallationRequest
{
public:
    explicit FakeInstallation(FakeRecognizer& recognizer)
        : m_recognizer(recognizer)
    {}

    QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() override
    {
        ++m_recognizer.installations;
        co_return m_recognizer.installationError;
    }

private:
    FakeRecognizer& m_recognizer;
};

struct Hold
{
    std::vector<std::coroutine_handle<>>* held;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) { held->push_back(handle); }
    void await_resume() const noexcept {}
};

} // namespace

QCoro::Task<std::optional<RecognitionError>> FakeAnalyzer::prepareToAnalyze(AudioFormat)
{
    ++recognizer->preparations;
    co_return recognizer->prepareError;
}

QCoro::Task<std::optional<RecognitionError>> FakeAnalyzer::start(std::shared_ptr<AudioBufferQueue> queue)
{
    input = std::move(queue);
    if (startError)
        m_results->end(startError);
    co_return startError;
}

QCoro::Task<std::optional<RecognitionError>> FakeAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    ++finalizeCalls;
    if (holdFinalize)
        co_await Hold{&m_heldFinalize};
    if (finalizeError) {
        // A failed finalisation ends the results too, as the real recogniser's does.
        m_results->end(finalizeError);
        co_return finalizeError;
    }
    for (const TranscriptionResult& reading : readingsOnFinalize)
        m_results->deliver(reading);
    m_results->end();
    co_return std::nullopt;
}

void FakeAnalyzer::releaseFinalize()
{
    holdFinalize = false;
    auto held = std::move(m_heldFinalize);
    m_heldFinalize.clear();
    for (auto handle : held)
        handle.resume();
}

QCoro::Task<> FakeAnalyzer::cancelAndFinishNow()
{
    ++cancelCalls;
    m_results->end();
    co_return;
}

QCoro::Task<std::optional<QString>> FakeRecognizer::supportedLocale(QString localeIdentifier)
{
    askedLocales.push_back(localeIdentifier);
    if (holdLoads)
        co_await Hold{&m_heldLoads};
    if (!supported)
        co_return std::nullopt;
    co_return localeIdentifier;
}

QCoro::Task<Recognizer::InstallationRequestOutcome> FakeRecognizer::assetInstallationRequest(Transcriber)
{
    if (requestError)
        co_return *requestError;
    if (!needsInstallation)
        co_return std::shared_ptr<AssetInstallationRequest>();
    co_return std::shared_ptr<AssetInstallationRequest>(std::make_shared<FakeInstallation>(*this));
}

QCoro::Task<std::optional<AudioFormat>> FakeRecognizer::bestAvailableAudioFormat(Transcriber)
{
    co_return format;
}

std::shared_ptr<Analyzer> FakeRecognizer::makeAnalyzer(Transcriber, AnalyzerOptions)
{
    auto analyzer = std::make_shared<FakeAnalyzer>();
    analyzer->recognizer = this;
    analyzer->startError = startError;
    analyzer->finalizeError = finalizeError;
    analyzer->readingsOnFinalize = readingsOnFinalize;
    analyzers.push_back(analyzer);
    return analyzer;
}

void FakeRecognizer::releaseLoads()
{
    for (std::coroutine_handle<> held : std::exchange(m_heldLoads, {}))
        held.resume();
}

} // namespace parlune

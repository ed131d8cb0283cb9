// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskAnalyzer.h"

#include "platform/MainThread.h"

#include <atomic>
#include <thread>

namespace parlune {

// What the main thread and the decoding thread share. The results and the completions are only
// touched on the main thread; the decoding thread reaches them through posted calls.
struct VoskAnalyzer::Worker
{
    std::shared_ptr<VoskModelSlot> model;
    bool volatileResults = false;

    std::shared_ptr<RecognitionResults> results = std::make_shared<RecognitionResults>();
    std::shared_ptr<AudioBufferQueue> input;
    std::atomic_bool cancelled = false;
    bool running = false;
    // The recogniser is ready and decoding has begun, or starting failed.
    std::shared_ptr<Completion<std::optional<RecognitionError>>> started =
        std::make_shared<Completion<std::optional<RecognitionError>>>();
    // The results have ended.
    std::shared_ptr<Completion<std::optional<RecognitionError>>> finished =
        std::make_shared<Completion<std::optional<RecognitionError>>>();

    // On the main thread.
    void end(std::optional<RecognitionError> error)
    {
        results->end(error);
        started->complete(error);
        finished->complete(error);
    }

    // The decoding thread.
    static void run(std::shared_ptr<Worker> worker);
};

void VoskAnalyzer::Worker::run(std::shared_ptr<Worker> worker)
{
    // The model is normally loaded by the language's preparation; a dictation that comes first waits
    // for it here, its audio queuing meanwhile.
    auto model = worker->model->get();
    auto stream = model ? model.value()->acquire()
                        : Outcome<std::unique_ptr<VoskStream>, RecognitionError>(model.error());
    if (!stream) {
        worker->input->abandon();
        postToMainThread([worker, error = stream.error()] { worker->end(error); });
        return;
    }
    postToMainThread([worker] { worker->started->complete(std::nullopt); });

    const std::shared_ptr<RecognitionResults> results = worker->results;
    auto report = [&results](TranscriptionResult reading) {
        postToMainThread([results, reading = std::move(reading)] { results->deliver(reading); });
    };

    std::optional<RecognitionError> failure;
    while (std::optional<AudioBufferPtr> buffer = worker->input->waitForNext()) {
        auto reading = stream.value()->accept(**buffer, worker->volatileResults);
        if (!reading) {
            failure = reading.error();
            // What is still coming is of no use: it is dropped rather than kept.
            worker->input->abandon();
            break;
        }
        if (reading.value())
            report(std::move(*reading.value()));
    }
    if (!failure && !worker->cancelled) {
        // The last words, which no pause has settled yet.
        QString last = stream.value()->finish();
        if (!last.isEmpty())
            report(TranscriptionResult{std::move(last), true});
    }
    model.value()->release(std::move(stream.value()));
    postToMainThread([worker, failure] { worker->end(failure); });
}

VoskAnalyzer::VoskAnalyzer(std::shared_ptr<VoskModelSlot> model, Transcriber transcriber)
    : m_worker(std::make_shared<Worker>())
{
    m_worker->model = std::move(model);
    m_worker->volatileResults = transcriber.volatileResults;
}

VoskAnalyzer::~VoskAnalyzer() = default;

QCoro::Task<std::optional<RecognitionError>> VoskAnalyzer::prepareToAnalyze(AudioFormat)
{
    // Loads the model and makes the first recogniser, which the first dictation then finds waiting.
    std::shared_ptr<VoskModelSlot> slot = m_worker->model;
    auto loaded =
        runInBackground<std::optional<RecognitionError>>([slot]() -> std::optional<RecognitionError> {
            auto model = slot->get();
            if (!model)
                return model.error();
            auto stream = model.value()->acquire();
            if (!stream)
                return stream.error();
            model.value()->release(std::move(stream.value()));
            return std::nullopt;
        });
    co_return co_await loaded->wait();
}

QCoro::Task<std::optional<RecognitionError>> VoskAnalyzer::start(std::shared_ptr<AudioBufferQueue> input)
{
    std::shared_ptr<Worker> worker = m_worker;
    if (worker->cancelled) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    worker->input = std::move(input);
    worker->running = true;
    std::thread(&Worker::run, worker).detach();
    co_return co_await worker->started->wait();
}

QCoro::Task<std::optional<RecognitionError>> VoskAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    std::shared_ptr<Worker> worker = m_worker;
    if (!worker->running) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    // The decoding thread reads to the end of the input, which the session has finished.
    worker->input->finish();
    co_return co_await worker->finished->wait();
}

QCoro::Task<> VoskAnalyzer::cancelAndFinishNow()
{
    std::shared_ptr<Worker> worker = m_worker;
    worker->cancelled = true;
    if (!worker->running) {
        worker->end(std::nullopt);
        co_return;
    }
    worker->input->abandon();
    co_await worker->finished->wait();
}

std::shared_ptr<RecognitionResults> VoskAnalyzer::results()
{
    return m_worker->results;
}

} // namespace parlune

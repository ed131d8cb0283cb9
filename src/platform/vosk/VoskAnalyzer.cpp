// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskAnalyzer.h"

#include "platform/DecodingWorker.h"

#include <thread>

namespace parlune {

// What one dictation shares with its decoding thread, beside what every recogniser shares.
struct VoskAnalyzer::Worker : DecodingWorker
{
    std::shared_ptr<VoskModelSlot> model;
    bool volatileResults = false;

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
    if (std::optional<RecognitionError> refused = co_await slot->clearForLoading())
        co_return refused;
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
    return startDecoding(m_worker, std::move(input));
}

QCoro::Task<std::optional<RecognitionError>> VoskAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    return finishThroughEndOfInput(m_worker);
}

QCoro::Task<> VoskAnalyzer::cancelAndFinishNow()
{
    return cancelDecodingNow(m_worker);
}

std::shared_ptr<RecognitionResults> VoskAnalyzer::results()
{
    return m_worker->results;
}

} // namespace parlune

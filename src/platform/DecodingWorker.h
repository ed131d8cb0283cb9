// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MainThread.h"
#include "platform/Recognizer.h"

#include <QCoroTask>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace parlune {

// What the main thread and a recogniser's decoding thread share for one dictation. The results and the
// completions are only touched on the main thread; the decoding thread reaches them through posted
// calls.
struct DecodingWorker
{
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
};

// Hands the input to a decoding thread running `Worker::run` and waits until decoding has begun; a
// dictation cancelled before it started ends at once.
template <typename Worker>
QCoro::Task<std::optional<RecognitionError>> startDecoding(std::shared_ptr<Worker> worker,
                                                           std::shared_ptr<AudioBufferQueue> input)
{
    if (worker->cancelled) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    worker->input = std::move(input);
    worker->running = true;
    std::thread(&Worker::run, worker).detach();
    co_return co_await worker->started->wait();
}

// The decoding thread reads to the end of the input, which the session has finished; a dictation that
// never started ends at once.
QCoro::Task<std::optional<RecognitionError>> finishThroughEndOfInput(std::shared_ptr<DecodingWorker> worker);

// Drops the audio not yet decoded and waits for the decoding thread to stop; no final result comes.
QCoro::Task<> cancelDecodingNow(std::shared_ptr<DecodingWorker> worker);

} // namespace parlune

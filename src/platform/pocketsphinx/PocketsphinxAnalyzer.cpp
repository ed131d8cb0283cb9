// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxAnalyzer.h"

#include "platform/DecodingWorker.h"

#include <thread>
#include <vector>

namespace parlune {

// What one dictation shares with its decoding thread, beside what every recogniser shares.
struct PocketsphinxAnalyzer::Worker : DecodingWorker
{
    std::shared_ptr<SharedDecoder> decoder;
    SharedDecoder::Turn turn = 0;
    bool volatileResults = false;
    QString missingModel;

    // The decoding thread.
    static void run(std::shared_ptr<Worker> worker);
};

void PocketsphinxAnalyzer::Worker::run(std::shared_ptr<Worker> worker)
{
    // Waits while an earlier dictation is still being finished; its own audio waits in its queue.
    auto acquired = worker->decoder->acquire(worker->turn);
    if (!acquired) {
        worker->decoder->release();
        postToMainThread([worker, error = acquired.error()] { worker->end(error); });
        return;
    }
    PocketsphinxDecoder* decoder = acquired.value();
    postToMainThread([worker] { worker->started->complete(std::nullopt); });

    const std::shared_ptr<RecognitionResults> results = worker->results;
    auto report = [&results](QString text, bool isFinal) {
        postToMainThread([results, text = std::move(text), isFinal] { results->deliver({text, isFinal}); });
    };

    std::vector<qint16> samples;
    decoder->startUtterance();
    bool inUtterance = false;
    QString lastReading;
    while (std::optional<AudioBufferPtr> buffer = worker->input->waitForNext()) {
        (*buffer)->toMonoInt16(samples);
        decoder->process(samples.data(), samples.size());
        const bool inSpeech = decoder->inSpeech();
        if (inSpeech)
            inUtterance = true;
        if (inUtterance && !inSpeech) {
            // A pause ends the utterance: its reading is settled, and the next words start afresh.
            decoder->endUtterance();
            const QString reading = decoder->hypothesis();
            if (!reading.isEmpty())
                report(reading, true);
            decoder->startUtterance();
            inUtterance = false;
            lastReading.clear();
        } else if (inUtterance && worker->volatileResults) {
            const QString reading = decoder->hypothesis();
            if (reading != lastReading) {
                lastReading = reading;
                report(reading, false);
            }
        }
    }

    decoder->endUtterance();
    if (!worker->cancelled) {
        const QString reading = decoder->hypothesis();
        if (!reading.isEmpty())
            report(reading, true);
    }
    worker->decoder->release();
    postToMainThread([worker] { worker->end(std::nullopt); });
}

PocketsphinxAnalyzer::PocketsphinxAnalyzer(std::shared_ptr<SharedDecoder> decoder, Transcriber transcriber,
                                           QString missingModel)
    : m_worker(std::make_shared<Worker>())
{
    m_worker->decoder = std::move(decoder);
    m_worker->volatileResults = transcriber.volatileResults;
    m_worker->missingModel = std::move(missingModel);
}

PocketsphinxAnalyzer::~PocketsphinxAnalyzer() = default;

QCoro::Task<std::optional<RecognitionError>> PocketsphinxAnalyzer::prepareToAnalyze(AudioFormat)
{
    std::shared_ptr<SharedDecoder> decoder = m_worker->decoder;
    if (!decoder)
        co_return RecognitionError{m_worker->missingModel};
    // Loads the decoder, where the first dictation will find it.
    const SharedDecoder::Turn turn = decoder->takeTurn();
    auto loaded = runInBackground<std::optional<RecognitionError>>(
        [decoder, turn]() -> std::optional<RecognitionError> {
            auto acquired = decoder->acquire(turn);
            decoder->release();
            return acquired ? std::nullopt : std::optional(acquired.error());
        });
    co_return co_await loaded->wait();
}

QCoro::Task<std::optional<RecognitionError>>
PocketsphinxAnalyzer::start(std::shared_ptr<AudioBufferQueue> input)
{
    std::shared_ptr<Worker> worker = m_worker;
    if (!worker->decoder) {
        worker->end(RecognitionError{worker->missingModel});
        co_return RecognitionError{worker->missingModel};
    }
    if (worker->cancelled) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    worker->input = std::move(input);
    worker->running = true;
    // The turn is taken here, on the main thread, so that dictations get the decoder in the order
    // they started whatever the order their threads run in.
    worker->turn = worker->decoder->takeTurn();
    std::thread(&Worker::run, worker).detach();
    co_return co_await worker->started->wait();
}

QCoro::Task<std::optional<RecognitionError>> PocketsphinxAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    return finishThroughEndOfInput(m_worker);
}

QCoro::Task<> PocketsphinxAnalyzer::cancelAndFinishNow()
{
    return cancelDecodingNow(m_worker);
}

std::shared_ptr<RecognitionResults> PocketsphinxAnalyzer::results()
{
    return m_worker->results;
}

} // namespace parlune

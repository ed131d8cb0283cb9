// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxAnalyzer.h"

#include "platform/pocketsphinx/MainThread.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace parlune {

// What the main thread and the decoding thread share. The results and the completions are only
// touched on the main thread; the decoding thread reaches them through posted calls.
struct PocketsphinxAnalyzer::Worker
{
    std::shared_ptr<DecoderPool> pool;
    bool volatileResults = false;
    QString missingModel;

    std::shared_ptr<RecognitionResults> results = std::make_shared<RecognitionResults>();
    std::shared_ptr<AudioBufferQueue> input;
    std::atomic_bool cancelled = false;
    bool running = false;
    // The decoder is ready and decoding has begun, or starting failed.
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

namespace {

// Converts one buffer of float samples to the 16-bit mono samples pocketsphinx reads; several channels
// are mixed down.
void toSamples(const AudioBuffer& buffer, std::vector<qint16>& samples)
{
    const quint32 channels = std::max<quint32>(buffer.format().channelCount, 1);
    const quint32 frames = buffer.frameLength();
    samples.resize(frames);
    const float* source = buffer.samples();
    for (quint32 frame = 0; frame < frames; ++frame) {
        float sum = 0;
        for (quint32 channel = 0; channel < channels; ++channel)
            sum += source[frame * channels + channel];
        const float value = std::lrint(sum / float(channels) * 32767.0f);
        samples[frame] = qint16(std::clamp(value, -32768.0f, 32767.0f));
    }
}

} // namespace

void PocketsphinxAnalyzer::Worker::run(std::shared_ptr<Worker> worker)
{
    // May load a second decoder when another dictation is still using the first.
    auto acquired = worker->pool->acquire();
    if (!acquired) {
        postToMainThread([worker, error = acquired.error()] { worker->end(error); });
        return;
    }
    std::unique_ptr<PocketsphinxDecoder> decoder = std::move(acquired.value());
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
        toSamples(**buffer, samples);
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
    worker->pool->release(std::move(decoder));
    postToMainThread([worker] { worker->end(std::nullopt); });
}

PocketsphinxAnalyzer::PocketsphinxAnalyzer(std::shared_ptr<DecoderPool> pool, Transcriber transcriber,
                                           QString missingModel)
    : m_worker(std::make_shared<Worker>())
{
    m_worker->pool = std::move(pool);
    m_worker->volatileResults = transcriber.volatileResults;
    m_worker->missingModel = std::move(missingModel);
}

PocketsphinxAnalyzer::~PocketsphinxAnalyzer() = default;

QCoro::Task<std::optional<RecognitionError>> PocketsphinxAnalyzer::prepareToAnalyze(AudioFormat)
{
    std::shared_ptr<DecoderPool> pool = m_worker->pool;
    if (!pool)
        co_return RecognitionError{m_worker->missingModel};
    // Loads the first decoder and gives it back to the pool, where the first dictation will find it.
    auto loaded =
        runInBackground<std::optional<RecognitionError>>([pool]() -> std::optional<RecognitionError> {
            auto decoder = pool->acquire();
            if (!decoder)
                return decoder.error();
            pool->release(std::move(decoder.value()));
            return std::nullopt;
        });
    co_return co_await loaded->wait();
}

QCoro::Task<std::optional<RecognitionError>>
PocketsphinxAnalyzer::start(std::shared_ptr<AudioBufferQueue> input)
{
    std::shared_ptr<Worker> worker = m_worker;
    if (!worker->pool) {
        worker->end(RecognitionError{worker->missingModel});
        co_return RecognitionError{worker->missingModel};
    }
    if (worker->cancelled) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    worker->input = std::move(input);
    worker->running = true;
    std::thread(&Worker::run, worker).detach();
    co_return co_await worker->started->wait();
}

QCoro::Task<std::optional<RecognitionError>> PocketsphinxAnalyzer::finalizeAndFinishThroughEndOfInput()
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

QCoro::Task<> PocketsphinxAnalyzer::cancelAndFinishNow()
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

std::shared_ptr<RecognitionResults> PocketsphinxAnalyzer::results()
{
    return m_worker->results;
}

} // namespace parlune

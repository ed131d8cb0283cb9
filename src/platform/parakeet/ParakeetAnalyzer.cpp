// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/ParakeetAnalyzer.h"

#include "platform/DecodingWorker.h"
#include "platform/FreedMemory.h"
#include "platform/parakeet/PhraseDecoding.h"

#include <thread>

namespace parlune {

namespace {

// The buffer's frames as mono samples: as they are when the recorder delivers the format asked for,
// mixed down into `mixed` otherwise.
std::span<const float> monoSamples(const AudioBuffer& buffer, std::vector<float>& mixed)
{
    const quint32 channels = buffer.format().channelCount;
    if (channels <= 1)
        return {buffer.samples(), buffer.frameLength()};
    mixed.assign(buffer.frameLength(), 0.0f);
    for (quint32 frame = 0; frame < buffer.frameLength(); ++frame) {
        for (quint32 channel = 0; channel < channels; ++channel)
            mixed[frame] += buffer.samples()[std::size_t(frame) * channels + channel];
        mixed[frame] /= float(channels);
    }
    return mixed;
}

} // namespace

// What one dictation shares with its decoding thread, beside what every recogniser shares.
struct ParakeetAnalyzer::Worker : DecodingWorker
{
    std::shared_ptr<ParakeetModelSlot> model;
    bool volatileResults = false;

    // The decoding thread. The voice detector and the decoding of the phrases share it: decoding is
    // serial on the one model anyway, and the voice detector costs so little that the audio queued
    // during a decode is caught up with in milliseconds. A thread of its own would not shorten the
    // release, which waits for the decode under way either way, and this one knows exactly when it
    // has caught up with the microphone, the moment when there is time for a preview.
    static void run(std::shared_ptr<Worker> worker);
};

void ParakeetAnalyzer::Worker::run(std::shared_ptr<Worker> worker)
{
    // The model is normally loaded by the preparation; a dictation that comes first waits for it here,
    // its audio queuing meanwhile.
    auto decoder = worker->model->model();
    auto voice = decoder ? worker->model->takeVoiceActivity()
                         : Outcome<std::unique_ptr<VoiceActivity>, RecognitionError>(decoder.error());
    if (!voice) {
        worker->input->abandon();
        postToMainThread([worker, error = voice.error()] { worker->end(error); });
        return;
    }
    postToMainThread([worker] { worker->started->complete(std::nullopt); });

    const std::shared_ptr<RecognitionResults> results = worker->results;
    PhraseDecoding decoding(*voice.value(), *decoder.value(), worker->volatileResults, worker->cancelled,
                            [&results](TranscriptionResult reading) {
                                postToMainThread(
                                    [results, reading = std::move(reading)] { results->deliver(reading); });
                            });
    const std::shared_ptr<AudioBufferQueue>& input = worker->input;
    std::optional<RecognitionError> failure;
    std::vector<float> mixed;
    while (std::optional<AudioBufferPtr> buffer = input->waitForNext()) {
        const bool caughtUp = input->isEmpty() && !input->isFinished();
        failure = decoding.accept(monoSamples(**buffer, mixed), caughtUp);
        if (failure || worker->cancelled) {
            // What is still coming is of no use: it is dropped rather than kept.
            input->abandon();
            break;
        }
    }
    if (!failure && !worker->cancelled)
        failure = decoding.finish();

    worker->model->giveBack(std::move(voice.value()));
    decoder.value().reset();
    // The model was let go of during the dictation: this was its last user.
    if (!worker->model->isLoaded())
        returnFreedMemory();
    postToMainThread([worker, failure] { worker->end(failure); });
}

ParakeetAnalyzer::ParakeetAnalyzer(std::shared_ptr<ParakeetModelSlot> model, Transcriber transcriber,
                                   Clearance clearance)
    : m_worker(std::make_shared<Worker>())
    , m_clearance(std::move(clearance))
{
    m_worker->model = std::move(model);
    m_worker->volatileResults = transcriber.volatileResults;
}

ParakeetAnalyzer::~ParakeetAnalyzer() = default;

QCoro::Task<std::optional<RecognitionError>> ParakeetAnalyzer::prepareToAnalyze(AudioFormat)
{
    std::shared_ptr<ParakeetModelSlot> slot = m_worker->model;
    if (m_clearance && !slot->isLoaded()) {
        if (std::optional<RecognitionError> refused = co_await m_clearance())
            co_return refused;
    }
    auto loaded =
        runInBackground<std::optional<RecognitionError>>([slot]() -> std::optional<RecognitionError> {
            auto model = slot->model();
            if (!model)
                return model.error();
            auto voice = slot->takeVoiceActivity();
            if (!voice)
                return voice.error();
            slot->giveBack(std::move(voice.value()));
            return std::nullopt;
        });
    co_return co_await loaded->wait();
}

QCoro::Task<std::optional<RecognitionError>> ParakeetAnalyzer::start(std::shared_ptr<AudioBufferQueue> input)
{
    return startDecoding(m_worker, std::move(input));
}

QCoro::Task<std::optional<RecognitionError>> ParakeetAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    return finishThroughEndOfInput(m_worker);
}

QCoro::Task<> ParakeetAnalyzer::cancelAndFinishNow()
{
    return cancelDecodingNow(m_worker);
}

std::shared_ptr<RecognitionResults> ParakeetAnalyzer::results()
{
    return m_worker->results;
}

} // namespace parlune

// SPDX-License-Identifier: GPL-3.0-or-later
// What phrase-by-phrase recognition costs the program itself, around the model: a voice detector on
// loudness and a decoder that answers at once stand in for Silero and Parakeet, so that the numbers are
// the program's (the detector's loop over the samples included, which makes them pessimistic):
//   - per phrase: cutting 10 s of speech and its pause out of 2048-frame buffers, the decoder's call
//     and the final reading, on the dictation's thread;
//   - at the release: from finish() to the final text, through the dictation's thread and the main
//     thread, with a phrase of 3 s left to close;
//   - the same release on the program's own pieces: sherpa-onnx, the Silero detector and the tests'
//     stand-in Parakeet model (whose own work is tiny) on a recorded sentence of 3 s.
#include "FakePhraseDecoder.h"
#include "FakeVoiceActivity.h"
#include "RecordedSpeech.h"
#include "platform/parakeet/ParakeetRecognizer.h"
#include "platform/parakeet/PhraseDecoding.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// `speech` seconds of speech, then `pause` seconds of silence.
std::vector<float> phrase(double speech, double pause)
{
    std::vector<float> samples(std::size_t((speech + pause) * 16000), 0.0f);
    for (std::size_t i = 0; i < std::size_t(speech * 16000); ++i)
        samples[i] = 0.3f * float((i * 37) % 200) / 200.0f + 0.05f;
    return samples;
}

std::vector<AudioBufferPtr> toBuffers(const std::vector<float>& samples)
{
    std::vector<AudioBufferPtr> buffers;
    for (std::size_t at = 0; at < samples.size(); at += 2048) {
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 2048);
        buffer->setFrameLength(quint32(std::min<std::size_t>(2048, samples.size() - at)));
        std::copy_n(samples.begin() + std::ptrdiff_t(at), buffer->frameLength(), buffer->samples());
        buffers.push_back(std::move(buffer));
    }
    return buffers;
}

// One phrase after another in a long dictation.
void BM_PhraseOnTheDictationThread(benchmark::State& state)
{
    const std::vector<float> samples = phrase(10, 1);
    FakeVoiceActivity voice;
    FakePhraseDecoder decoder;
    std::atomic_bool cancelled = false;
    int finals = 0;
    PhraseDecoding decoding(voice, decoder, true, cancelled, [&](TranscriptionResult) { ++finals; });
    for (auto _ : state) {
        for (std::size_t at = 0; at < samples.size(); at += 2048)
            decoding.accept(std::span(samples).subspan(at, std::min<std::size_t>(2048, samples.size() - at)),
                            false);
    }
    if (finals != int(state.iterations()))
        state.SkipWithError("a phrase was not reported");
}
BENCHMARK(BM_PhraseOnTheDictationThread)->Unit(benchmark::kMicrosecond);

// From finish() to the text, the dictation's thread having caught up with `last` after half a second
// of silence.
void releaseToText(benchmark::State& state, ParakeetRecognizer& recognizer,
                   const std::vector<float>& lastPhrase)
{
    // Half a second of silence, then the phrase the release closes.
    const std::vector<AudioBufferPtr> buffers = toBuffers(phrase(0, 0.5));
    const std::vector<AudioBufferPtr> last = toBuffers(lastPhrase);
    for (auto _ : state) {
        state.PauseTiming();
        DictationSession session(recognizer, Language::fr, [](const QString&) {});
        for (const std::vector<AudioBufferPtr>* part : {&buffers, &last})
            for (const AudioBufferPtr& buffer : *part)
                session.input()->push(buffer);
        // The dictation's thread has caught up, as it has at a release when the machine keeps up.
        while (!session.input()->isEmpty())
            QCoreApplication::processEvents();
        state.ResumeTiming();
        auto text = QCoro::waitFor(session.finish());
        benchmark::DoNotOptimize(text);
    }
}

void BM_ReleaseToText(benchmark::State& state)
{
    static QTemporaryDir folder;
    for (const QString& name : ParakeetRecognizer::modelFileNames())
        QFile(QDir(folder.path()).filePath(name)).open(QIODevice::WriteOnly);
    ParakeetRecognizer::Loaders loaders;
    auto decoder = std::make_shared<FakePhraseDecoder>();
    loaders.model = [decoder](const QString&) {
        return Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError>(
            std::shared_ptr<PhraseDecoder>(decoder));
    };
    loaders.voiceActivity = [] {
        return Outcome<std::unique_ptr<VoiceActivity>, RecognitionError>(
            std::make_unique<FakeVoiceActivity>());
    };
    auto recognizer = std::make_shared<ParakeetRecognizer>(std::move(loaders), folder.path());
    QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::fr));
    releaseToText(state, *recognizer, phrase(3, 0));
}
BENCHMARK(BM_ReleaseToText)->Unit(benchmark::kMillisecond);

void BM_ReleaseToTextOnStandIn(benchmark::State& state)
{
    static const auto library = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
    if (!library) {
        state.SkipWithError("no sherpa-onnx");
        return;
    }
    static auto recognizer = std::make_shared<ParakeetRecognizer>(
        ParakeetRecognizer::onSherpaOnnx(library.value(), QStringLiteral(PARLUNE_SILERO_VAD_MODEL)),
        QStringLiteral(PARLUNE_PARAKEET_STANDIN));
    QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::fr));
    releaseToText(state, *recognizer,
                  recordedSpeech(QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0880.wav")));
}
BENCHMARK(BM_ReleaseToTextOnStandIn)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

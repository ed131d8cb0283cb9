// SPDX-License-Identifier: GPL-3.0-or-later
// What telling speech from pauses costs while the user speaks: the real Silero model through
// SileroVoiceActivity, fed recorded speech (three LibriVox sentences joined by pauses) in the capture's
// 2048-frame buffers, the closed phrases taken as they come. The counter `core_percent` is the share of
// one core the detector takes in real time (CPU time per second of audio).
#include "QtBenchmarkMain.h"
#include "RecordedSpeech.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "platform/sherpa/SileroVoiceActivity.h"

#include <QCoreApplication>

#include <ctime>

using namespace parlune;

namespace {

std::vector<float> speech()
{
    std::vector<float> samples;
    for (const char* clip : {"0870", "0880", "0890"}) {
        const auto sentence =
            recordedSpeech(QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-%1.wav").arg(clip));
        samples.insert(samples.end(), sentence.begin(), sentence.end());
        samples.insert(samples.end(), 16000, 0.0f);
    }
    return samples;
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void BM_VoiceActivityPerSecondOfAudio(benchmark::State& state)
{
    const auto library = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
    if (!library) {
        state.SkipWithError(qPrintable(library.error()));
        return;
    }
    auto made = SileroVoiceActivity::create(library.value(), QStringLiteral(PARLUNE_SILERO_VAD_MODEL));
    auto& detector = *made.value();
    const std::vector<float> samples = speech();
    const double audioSeconds = double(samples.size()) / SileroVoiceActivity::sampleRate;
    double cpu = 0;
    std::size_t phrases = 0;
    for (auto _ : state) {
        detector.reset();
        const double start = threadSeconds();
        for (std::size_t at = 0; at < samples.size(); at += 2048) {
            detector.accept(std::span(samples).subspan(at, std::min<std::size_t>(2048, samples.size() - at)));
            while (detector.takeSegment())
                ++phrases;
        }
        cpu += threadSeconds() - start;
    }
    const double perAudioSecond = cpu / double(state.iterations()) / audioSeconds;
    state.counters["cpu_ms_per_audio_s"] = perAudioSecond * 1000;
    state.counters["core_percent"] = perAudioSecond * 100;
    state.counters["phrases"] = double(phrases) / double(state.iterations());
}
BENCHMARK(BM_VoiceActivityPerSecondOfAudio)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

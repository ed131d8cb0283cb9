// SPDX-License-Identifier: GPL-3.0-or-later
// What the capture thread spends on each buffer: the level, the conversion to 16 kHz mono, and the
// whole of the recorder's work per buffer.
#include "QtBenchmarkMain.h"
#include "audio/AudioRecorder.h"
#include "audio/AudioResampler.h"

#include "FakeAudioInput.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace parlune;

namespace {

constexpr quint32 kFrames = 2048;

// `seconds` of a voice-like signal (a few harmonics and noise) cut into 2048-frame buffers.
std::vector<AudioBufferPtr> voice(AudioFormat format, double seconds)
{
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0, 0.01f);
    std::vector<AudioBufferPtr> buffers;
    const auto total = quint64(seconds * format.sampleRate);
    for (quint64 start = 0; start < total; start += kFrames) {
        auto buffer = std::make_shared<AudioBuffer>(format, kFrames);
        for (quint32 i = 0; i < kFrames; ++i) {
            const double t = double(start + i) / format.sampleRate;
            float value = noise(random);
            for (int h = 1; h <= 5; ++h)
                value += float(0.1 / h * std::sin(2 * std::numbers::pi * 140 * h * t));
            for (quint32 c = 0; c < format.channelCount; ++c)
                buffer->samples()[std::size_t(i) * format.channelCount + c] = value;
        }
        buffer->setFrameLength(kFrames);
        buffers.push_back(buffer);
    }
    return buffers;
}

void resample(benchmark::State& state, AudioFormat input)
{
    const auto buffers = voice(input, 10);
    AudioResampler resampler({16000, 1});
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(resampler.convert(buffers[next]));
        next = (next + 1) % buffers.size();
    }
    // Seconds of audio converted per second of time: the multiple of real time.
    state.counters["realtime"] =
        benchmark::Counter(kFrames / input.sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Resample48kStereoTo16kMono(benchmark::State& state)
{
    resample(state, {48000, 2});
}
BENCHMARK(BM_Resample48kStereoTo16kMono);

void BM_Resample44kStereoTo16kMono(benchmark::State& state)
{
    resample(state, {44100, 2});
}
BENCHMARK(BM_Resample44kStereoTo16kMono);

void BM_LevelOf2048Frames(benchmark::State& state)
{
    const auto buffer = voice({48000, quint32(state.range(0))}, 0.05).front();
    for (auto _ : state)
        benchmark::DoNotOptimize(AudioRecorder::level(*buffer));
}
BENCHMARK(BM_LevelOf2048Frames)->Arg(1)->Arg(2)->ArgName("channels");

// Level, the task posted to the main thread, conversion and the hand-over, as the capture thread
// does them for each buffer; the posted levels are delivered outside the timing.
void BM_RecorderPerBuffer(benchmark::State& state)
{
    FakeAudioInputFactory inputs;
    AudioRecorder recorder(inputs.factory());
    recorder.setOnLevel([](float level) { benchmark::DoNotOptimize(level); });
    if (recorder.start({16000, 1},
                       [](const AudioBufferPtr& buffer) { benchmark::DoNotOptimize(buffer.get()); })) {
        state.SkipWithError("start failed");
        return;
    }
    const auto buffers = voice({48000, 2}, 10);
    std::size_t next = 0;
    for (auto _ : state) {
        inputs.last().deliver(buffers[next]);
        next = (next + 1) % buffers.size();
        if (next % 64 == 0) {
            state.PauseTiming();
            QCoreApplication::sendPostedEvents();
            state.ResumeTiming();
        }
    }
    recorder.stop();
    QCoreApplication::sendPostedEvents();
}
BENCHMARK(BM_RecorderPerBuffer);

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

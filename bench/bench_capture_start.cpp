// SPDX-License-Identifier: GPL-3.0-or-later
// Time from the start of a dictation's capture to the first buffer handed to the recogniser, on the
// real PulseAudio capture: whatever is said in that time waits in the server, so nothing is lost,
// but the preview starts that much later. Run inside scripts/session.
#include "audio/AudioRecorder.h"
#include "platform/pulse/PulseAudioInput.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <thread>

using namespace parlune;

namespace {

// Waits for the first buffer of a capture started now; false when none came within `limit`.
bool captureFirstBuffer(AudioRecorder& recorder, std::chrono::milliseconds limit, std::optional<Error>& error)
{
    std::promise<void> first;
    std::atomic<bool> seen{false};
    error = recorder.start({16000, 1}, [&](const AudioBufferPtr&) {
        if (!seen.exchange(true))
            first.set_value();
    });
    const bool arrived = !error && first.get_future().wait_for(limit) == std::future_status::ready;
    // The tap is gone once stop() returns: `first` is not touched after it.
    recorder.stop();
    QCoreApplication::sendPostedEvents();
    return arrived;
}

void BM_StartToFirstBuffer(benchmark::State& state)
{
    AudioRecorder recorder(&PulseAudioInput::create);
    for (auto _ : state) {
        std::optional<Error> error;
        const auto began = std::chrono::steady_clock::now();
        if (!captureFirstBuffer(recorder, std::chrono::seconds(2), error)) {
            state.SkipWithError(error ? qPrintable(error->description) : "no buffer within 2 s");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        // Dictations are seconds apart, not back to back.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
BENCHMARK(BM_StartToFirstBuffer)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(40)
    ->ComputeStatistics("p90",
                        [](const std::vector<double>& values) {
                            auto sorted = values;
                            std::sort(sorted.begin(), sorted.end());
                            return sorted[std::size_t(0.9 * double(sorted.size() - 1))];
                        })
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // WORKAROUND: the private session's virtual microphone takes more than a second to deliver its
    // first audio to the first capture after the sound server starts, whoever captures; a real
    // microphone does not. One capture beforehand leaves it as it is for every later one.
    {
        AudioRecorder recorder(&PulseAudioInput::create);
        std::optional<Error> error;
        captureFirstBuffer(recorder, std::chrono::seconds(5), error);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

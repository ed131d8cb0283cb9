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

void BM_StartToFirstBuffer(benchmark::State& state)
{
    AudioRecorder recorder(&PulseAudioInput::create);
    for (auto _ : state) {
        std::promise<void> first;
        std::atomic<bool> seen{false};
        const auto began = std::chrono::steady_clock::now();
        const auto error = recorder.start({16000, 1}, [&](const AudioBufferPtr&) {
            if (!seen.exchange(true))
                first.set_value();
        });
        if (error) {
            state.SkipWithError(qPrintable(error->description));
            return;
        }
        if (first.get_future().wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            state.SkipWithError("no buffer within 2 s");
            recorder.stop();
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        recorder.stop();
        QCoreApplication::sendPostedEvents();
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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

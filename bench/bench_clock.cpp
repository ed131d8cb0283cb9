// SPDX-License-Identifier: GPL-3.0-or-later
// How close the timed rules come to their time: the system clock's sleeps (0.15 s before a paste after
// bringing the target back, 0.6 s before the clipboard comes back, 0.9 s and 3 s of status) against a
// Qt timer left coarse, as before. Each iteration is one sleep on a running event loop; the counters
// give the earliest and latest wake-up against the deadline, in milliseconds, and how many woke early.
#include "QtBenchmarkMain.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <limits>

using namespace parlune;

namespace {

QCoro::Task<> sleepOnce(bool systemClock, Seconds duration, QEventLoop& loop)
{
    if (systemClock)
        co_await SystemClock::instance().sleep(duration);
    else
        co_await QCoro::sleepFor(std::chrono::ceil<std::chrono::milliseconds>(duration));
    loop.quit();
}

void sleepAccuracy(benchmark::State& state, bool systemClock)
{
    const Seconds duration{double(state.range(0)) / 1000};
    double earliest = std::numeric_limits<double>::max();
    double latest = std::numeric_limits<double>::lowest();
    int early = 0;
    for (auto _ : state) {
        QEventLoop loop;
        const auto start = std::chrono::steady_clock::now();
        auto task = sleepOnce(systemClock, duration, loop);
        loop.exec();
        const Seconds slept = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(slept.count());
        const double error = (slept - duration).count() * 1000;
        earliest = std::min(earliest, error);
        latest = std::max(latest, error);
        early += error < 0 ? 1 : 0;
    }
    state.counters["earliest_ms"] = earliest;
    state.counters["latest_ms"] = latest;
    state.counters["early"] = early;
}

void systemClockSleep(benchmark::State& state)
{
    sleepAccuracy(state, true);
}
void coarseTimerSleep(benchmark::State& state)
{
    sleepAccuracy(state, false);
}

// The rules' waits, with enough wake-ups each to see the spread.
void shortWaits(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);
    for (const int milliseconds : {150, 600, 900})
        benchmark->Arg(milliseconds);
}
void longWait(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4)->Arg(3000);
}

BENCHMARK(systemClockSleep)->Apply(shortWaits);
BENCHMARK(systemClockSleep)->Apply(longWait);
BENCHMARK(coarseTimerSleep)->Apply(shortWaits);
BENCHMARK(coarseTimerSleep)->Apply(longWait);

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

// SPDX-License-Identifier: GPL-3.0-or-later
// Commands for the running Parlune (`parlune --press`…), on the instance's real socket.
//
// handOver: one command from the client to an instance listening on a thread of its own, answered once
// carried out: the hand-over without the process start (hyperfine measures the whole command).
//
// gnomeHold: a shortcut held 1.5 s the way GNOME reports it: `parlune --shortcut` started as a new
// process at the press, then every 30 ms from 0.5 s on, whether the last one has ended or not. The
// instance turns the runs into a press and a release. Counters, per hold: how long after the first run
// the press was seen, how long after the keys came up the release was (they came up within the 30 ms
// after the last run: its middle is taken), and how many holds were cut in two.
#include "QtBenchmarkMain.h"
#include "app/InstanceClient.h"
#include "app/SingleInstance.h"
#include "input/RepeatedShortcut.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace parlune;
using SteadyClock = std::chrono::steady_clock;

namespace {

double millisecondsBetween(SteadyClock::time_point from, SteadyClock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The commands' socket in a runtime folder of the benchmark's own, which the commands it starts inherit.
struct RuntimeFolder
{
    QTemporaryDir folder;
    RuntimeFolder() { ::setenv("XDG_RUNTIME_DIR", folder.path().toLocal8Bit().constData(), 1); }
    int listen() const
    {
        return InstanceClient(InstanceClient::socketPath(), {})
            .claim(folder.filePath("none").toStdString())
            .listeningSocket;
    }
};

void handOver(benchmark::State& state)
{
    RuntimeFolder runtime;
    QThread thread;
    thread.start();
    auto* instance = new SingleInstance;
    instance->moveToThread(&thread);
    std::atomic<int> received = 0;
    QMetaObject::invokeMethod(
        instance,
        [instance, &received, socket = runtime.listen()] {
            instance->listen(socket);
            QObject::connect(instance, &SingleInstance::commandReceived, instance,
                             [&received] { ++received; });
        },
        Qt::BlockingQueuedConnection);

    const InstanceClient client(InstanceClient::socketPath(), {});
    for (auto _ : state) {
        const InstanceClient::Result result = client.send(InstanceCommand::cancel);
        if (result.status != 0)
            state.SkipWithError(result.error.c_str());
    }
    state.counters["received"] = received.load();
    QMetaObject::invokeMethod(
        instance, [instance] { delete instance; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

// Starts `parlune --shortcut` on GNOME's schedule for a hold of `held`; gives the instant of each run.
std::vector<SteadyClock::time_point> runAsGnome(Seconds held)
{
    std::vector<SteadyClock::time_point> runs;
    std::vector<pid_t> children;
    const SteadyClock::time_point start = SteadyClock::now();
    const auto spawn = [&] {
        char program[] = PARLUNE_BINARY;
        char option[] = "--shortcut";
        char* arguments[] = {program, option, nullptr};
        pid_t child = 0;
        if (::posix_spawn(&child, program, nullptr, nullptr, arguments, environ) == 0)
            children.push_back(child);
        runs.push_back(SteadyClock::now());
    };
    spawn();
    for (Seconds at{0.5}; at <= held; at += Seconds(0.03)) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<SteadyClock::duration>(at));
        spawn();
    }
    for (const pid_t child : children)
        ::waitpid(child, nullptr, 0);
    return runs;
}

void gnomeHold(benchmark::State& state)
{
    RuntimeFolder runtime;
    SingleInstance instance;
    instance.listen(runtime.listen());
    std::vector<SteadyClock::time_point> presses, releases;
    RepeatedShortcut shortcut(
        SystemClock::instance(), [&presses] { presses.push_back(SteadyClock::now()); },
        [&releases](Clock::Instant) { releases.push_back(SteadyClock::now()); });
    QObject::connect(&instance, &SingleInstance::commandReceived, &instance, [&shortcut] { shortcut.run(); });

    double pressLatency = 0, releaseDelay = 0, cut = 0;
    for (auto _ : state) {
        presses.clear();
        releases.clear();
        std::vector<SteadyClock::time_point> runs;
        std::atomic<bool> released = false;
        std::thread desktop([&runs, &released] {
            runs = runAsGnome(Seconds(1.5));
            released = true;
        });
        QEventLoop loop;
        while (!released || shortcut.held())
            loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
        desktop.join();
        pressLatency += millisecondsBetween(runs.front(), presses.front());
        releaseDelay += millisecondsBetween(runs.back() + std::chrono::milliseconds(15), releases.back());
        cut += double(presses.size() - 1);
    }
    const auto perHold = benchmark::Counter::kAvgIterations;
    state.counters["press_ms"] = benchmark::Counter(pressLatency, perHold);
    state.counters["release_after_keys_up_ms"] = benchmark::Counter(releaseDelay, perHold);
    state.counters["holds_cut"] = cut;
}

} // namespace

BENCHMARK(handOver)->Unit(benchmark::kMicrosecond);
BENCHMARK(gnomeHold)->Unit(benchmark::kMillisecond)->Iterations(10);

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

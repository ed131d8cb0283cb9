// SPDX-License-Identifier: GPL-3.0-or-later
// Release-to-text latency of real dictations on the private desktop: the shortcut (right Control) held
// through the X server while recorded speech plays into the microphone, then released; the time runs
// from the release to the text being in another program's field. Run inside scripts/session:
//
//   scripts/session build/bench/bench_dictation_latency
//
// Each repetition is one dictation of 3 to 10 s of speech; the median and the worst are reported, and
// the program's own log line ("ready … s after the key") is printed beside them on standard error.
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "speech/SpeechEngine.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// Recordings of 3 to 10 s, played in turn.
const QStringList recordings{
    QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0870.wav"),
    QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0880.wav"),
    QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0890.wav"),
    QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0920.wav"),
    QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0930.wav"),
    QStringLiteral("cards/005.wav"),
};

struct Rig
{
    TestField field;
    DesktopServices desktop;
    std::unique_ptr<AppCoordinator> coordinator;
};

Rig& rig()
{
    static Rig* rig = [] {
        writeDictationSettings();
        auto* made = new Rig;
        made->field.isReady();
        made->coordinator = std::make_unique<AppCoordinator>(made->desktop.services(), true);
        (void)QTest::qWaitFor(
            [&] { return made->coordinator->engine().readyFormat(Language::en).has_value(); }, 60000);
        return made;
    }();
    return *rig;
}

void releaseToTextInField(benchmark::State& state)
{
    Rig& r = rig();
    int played = 0;
    for (auto _ : state) {
        const QString path =
            QStringLiteral("/usr/share/pocketsphinx/test/data/") + recordings[played++ % recordings.size()];
        holdKey("Control_R", true);
        if (!QTest::qWaitFor([&] { return r.coordinator->isRecording(); }, 5000)) {
            state.SkipWithError("the shortcut started no dictation");
            break;
        }
        speakIntoMicrophone(path);

        QElapsedTimer sinceRelease;
        holdKey("Control_R", false);
        sinceRelease.start();
        const bool arrived = !r.field.waitForText(20000).isEmpty();
        const double seconds = sinceRelease.nsecsElapsed() / 1e9;
        if (!arrived) {
            state.SkipWithError("no text reached the field");
            break;
        }
        state.SetIterationTime(seconds);
        // Let the clipboard restore and the status settle before the next dictation.
        QTest::qWait(1200);
    }
}

BENCHMARK(releaseToTextInField)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(20)
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

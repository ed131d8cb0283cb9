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
#include "input/GlobalHotkeys.h"
#include "platform/KeyCodes.h"
#include "speech/SpeechEngine.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
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
    Display* display = XOpenDisplay(nullptr);
    SessionChild field{QStringLiteral(PARLUNE_TEST_FIELD), {QStringLiteral("text")}};
    DesktopServices desktop;
    std::unique_ptr<AppCoordinator> coordinator;

    void key(bool down)
    {
        XTestFakeKeyEvent(display, *KeyCodes::x11ForVirtual(62), down, CurrentTime);
        XFlush(display);
    }
};

Rig& rig()
{
    static Rig* rig = [] {
        const QString support = AppPaths::support();
        QDir().mkpath(support);
        QFile settings(support + QStringLiteral("/settings.json"));
        if (settings.open(QIODevice::WriteOnly))
            settings.write(R"({"language":"en","shortcut":{"keyCode":62,"modifiers":0,"isModifierKey":true},)"
                           R"("onboardingDone":true,"soundsEnabled":false})");
        settings.close();
        auto* made = new Rig;
        made->field.waitForLine("ready");
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
        r.key(true);
        if (!QTest::qWaitFor([&] { return r.coordinator->isRecording(); }, 5000)) {
            state.SkipWithError("the shortcut started no dictation");
            break;
        }
        QProcess speech;
        speech.start(QStringLiteral("paplay"),
                     {QStringLiteral("-d"), qEnvironmentVariable("PARLUNE_VOICE_SINK"), path});
        (void)QTest::qWaitFor([&] { return speech.state() == QProcess::NotRunning; }, 30000);
        QTest::qWait(300); // the tail of the sound through the sound server

        QElapsedTimer sinceRelease;
        r.key(false);
        sinceRelease.start();
        const bool arrived = r.field.waitForLine("text ", 20000).has_value();
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

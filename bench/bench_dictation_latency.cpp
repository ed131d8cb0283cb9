// SPDX-License-Identifier: GPL-3.0-or-later
// Release-to-text latency of real dictations on the private desktop, on the program's real services and
// with its real panel: the shortcut held while recorded speech plays into the microphone, then released;
// the time runs from the release to the text being reported by another program's text field.
//
// On X11 the shortcut is right Control pressed through the X server, and the text is pasted. On Wayland
// it is Control+Alt+Space typed on a RemoteDesktop portal keyboard, which KWin turns into the
// GlobalShortcuts portal's Activated and Deactivated, and the text goes into a native Wayland field
// through the accessibility bus. Run it inside the matching session:
//
//   scripts/session build/bench/bench_dictation_latency
//   scripts/session --wayland build/bench/bench_dictation_latency
//
// 20 dictations of 3 to 10 s of speech. Beside the median and the worst, the median of each part: the
// release reaching the program (key; of which sending, the test's own keyboard sending the release), the
// recogniser's last words (recognition), and the text handed to the field until the field reports it
// (delivery); then, from the release, the panel's "N mots insérés" (inserted), which waits for the
// text to be read back where the field shows it. Each dictation's parts on standard error.
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "platform/DisplaySession.h"
#include "speech/SpeechEngine.h"
#include "ui/QmlSetup.h"
#include "ui/RecordingHUD.h"
#include "ui/WindowPlatform.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

// Last: Xlib's macros (None, KeyPress, ...) would clash with Qt's names above.
#include "ShortcutKeys.h"

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void releaseToTextInField(benchmark::State& state)
{
    const bool wayland = displaySession() == DisplaySession::wayland;
    writeDictationSettings();
    TestField field("line", {}, wayland ? QStringLiteral("wayland") : QStringLiteral("xcb"));
    const std::unique_ptr<ShortcutKeys> keys = sessionShortcutKeys({"Control_R"});
    if (!field.isReady() || !keys->isReady()) {
        state.SkipWithError("no desktop: run inside scripts/session, or scripts/session --wayland");
        return;
    }
    DesktopServices desktop;
    AppCoordinatorServices services = desktop.services();
    services.makeHud = [](AppCoordinator& coordinator) {
        return std::make_unique<RecordingHUD>(coordinator);
    };
    AppCoordinator coordinator(std::move(services), true);
    if (!waitUntil(
            [&] { return coordinator.engine().readyFormat(Language::en) && coordinator.shortcutReady(); },
            60000)) {
        state.SkipWithError("English or the shortcut never got ready");
        return;
    }

    // Nanoseconds since the start, when the release reached the coordinator and when the panel said the
    // text was inserted.
    QElapsedTimer clock;
    clock.start();
    qint64 stopped = 0, inserted = 0;
    QObject::connect(&coordinator, &AppCoordinator::isRecordingChanged, [&] {
        if (!coordinator.isRecording())
            stopped = clock.nsecsElapsed();
    });
    QObject::connect(&coordinator, &AppCoordinator::statusChanged, [&] {
        if (coordinator.status().kind() == RecordingStatus::Inserted)
            inserted = clock.nsecsElapsed();
    });

    std::vector<double> total, sending, key, recognition, delivery, insertedAfter;
    int played = 0;
    for (auto _ : state) {
        keys->hold(true);
        if (!waitUntil([&] { return coordinator.isRecording(); }, 5000)) {
            state.SkipWithError("the shortcut started no dictation");
            break;
        }
        speakIntoMicrophone(QStringLiteral("/usr/share/pocketsphinx/test/data/") +
                            recordings[played++ % recordings.size()]);

        stopped = inserted = 0;
        const qint64 released = clock.nsecsElapsed();
        keys->hold(false);
        const qint64 sent = clock.nsecsElapsed();
        const bool arrived = !field.waitForText(20000).isEmpty();
        const qint64 reported = clock.nsecsElapsed();
        waitUntil([&] { return inserted != 0; }, 5000);
        if (!arrived || !stopped || !inserted) {
            state.SkipWithError("no text reached the field");
            break;
        }
        // The program's own measure: from the release it saw to the recogniser's final text.
        const double ready = double(stopped) / 1e6 + coordinator.lastLatency().value_or(0) * 1000;
        total.push_back(double(reported - released) / 1e6);
        sending.push_back(double(sent - released) / 1e6);
        key.push_back(double(stopped - released) / 1e6);
        recognition.push_back(ready - double(stopped) / 1e6);
        delivery.push_back(double(reported) / 1e6 - ready);
        insertedAfter.push_back(double(inserted - released) / 1e6);
        state.SetIterationTime(total.back() / 1000);
        std::fprintf(
            stderr,
            "dictation %d: %.1f ms (key %.1f of which sending %.1f, recognition %.1f, delivery %.1f), "
            "inserted after %.1f ms\n",
            played, total.back(), key.back(), sending.back(), recognition.back(), delivery.back(),
            insertedAfter.back());
        // The panel's confirmation, and the clipboard's restore after a paste, are over by then.
        waitUntil([&] { return coordinator.status() == RecordingStatus::idle(); }, 5000);
    }
    if (total.empty())
        return;
    state.SetLabel(wayland ? "Wayland (portals, accessibility bus)" : "X11 (XTest, paste)");
    state.counters["median_ms"] = median(total);
    state.counters["worst_ms"] = *std::max_element(total.begin(), total.end());
    state.counters["key_ms"] = median(key);
    state.counters["sending_ms"] = median(sending);
    state.counters["recognition_ms"] = median(recognition);
    state.counters["delivery_ms"] = median(delivery);
    state.counters["inserted_ms"] = median(insertedAfter);
}

BENCHMARK(releaseToTextInField)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    // As the program does: its windows (the panel) through Xwayland in a Wayland session.
    WindowPlatform::chooseBeforeApplication();
    QGuiApplication application(argc, argv);
    WindowPlatform::restoreEnvironment();
    chooseQuickRenderer();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

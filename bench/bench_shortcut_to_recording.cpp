// SPDX-License-Identifier: GPL-3.0-or-later
// From the key press to the recording started, through the session's real keyboard backend: on X11
// an XTest key seen by the X11 tap; on Wayland a key typed on a RemoteDesktop portal keyboard, which
// KWin turns into the GlobalShortcuts portal's Activated. The coordinator runs on fakes for everything
// else (microphone, recogniser), so the figure is the shortcut's road alone. Run it inside
// scripts/session, and inside scripts/session --wayland for the Wayland figure.
#include "FakeDesktop.h"
#include "QtBenchmarkMain.h"
#include "platform/DisplaySession.h"
#include "platform/portal/PortalKeyboardTap.h"
#include "platform/x11/X11KeyboardTap.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

// Last: Xlib's macros (None, KeyPress, ...) would clash with Qt's names above.
#include "ShortcutKeys.h"

using namespace parlune;

namespace {

using Clock = std::chrono::steady_clock;

constexpr quint16 space = 49;

template <typename Predicate> bool runEventsUntil(Predicate done)
{
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < limit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

void keyPressToRecording(benchmark::State& state)
{
    const bool wayland = displaySession() == DisplaySession::wayland;
    QTemporaryDir folder;
    FakeDesktop desktop(folder.path());
    AppCoordinatorServices services = desktop.services();
    std::unique_ptr<KeyboardTap> tap;
    if (wayland) {
        auto portalTap = std::make_unique<PortalKeyboardTap>();
        services.desktopShortcut = portalTap.get();
        tap = std::move(portalTap);
    } else {
        tap = std::make_unique<X11KeyboardTap>();
    }
    // Control-Option-Space.
    const std::unique_ptr<ShortcutKeys> keys = sessionShortcutKeys({"Control_L", "Alt_L", "space"});
    if (!keys->isReady()) {
        state.SkipWithError(wayland ? "no RemoteDesktop portal: run inside scripts/session --wayland"
                                    : "no X display: run inside scripts/session");
        return;
    }
    services.keyboardTap = tap.get();
    AppCoordinator coordinator(std::move(services), true);
    coordinator.setShortcut({space, ModifierFlag::control | ModifierFlag::option, false});
    if (!runEventsUntil([&] { return coordinator.shortcutReady(); })) {
        state.SkipWithError("the shortcut was not bound");
        return;
    }
    Clock::time_point startedAt;
    QObject::connect(&coordinator, &AppCoordinator::isRecordingChanged, [&] {
        if (coordinator.isRecording())
            startedAt = Clock::now();
    });

    std::vector<double> samples;
    for (auto _ : state) {
        const auto sentAt = Clock::now();
        keys->hold(true);
        if (!runEventsUntil([&] { return coordinator.isRecording(); })) {
            state.SkipWithError(
                ("the press never started a recording, after " + std::to_string(samples.size())).c_str());
            break;
        }
        const std::chrono::duration<double> elapsed = startedAt - sentAt;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1000.0);
        // The release of a tap leaves it hands-free; the menu's stop ends it.
        keys->hold(false);
        runEventsUntil([&] { return coordinator.handsFree(); });
        coordinator.toggle();
        runEventsUntil([&] { return !coordinator.isRecording(); });
    }
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.SetLabel(wayland ? "Wayland (portals)" : "X11");
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["worst_ms"] = samples.back();
}

} // namespace

BENCHMARK(keyPressToRecording)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

PARLUNE_QT_BENCHMARK_MAIN(QGuiApplication)

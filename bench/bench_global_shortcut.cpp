// SPDX-License-Identifier: GPL-3.0-or-later
// Time from a key sent through XTest to the shortcut's callback on the main thread, through the real
// X11 keyboard tap. Needs an X display: run inside scripts/session.
#include "QtBenchmarkMain.h"
#include "input/GlobalHotkeys.h"
#include "platform/KeyCodes.h"
#include "platform/x11/X11KeyboardTap.h"

#include <QCoreApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

using namespace parlune;

namespace {

using Clock = std::chrono::steady_clock;

constexpr quint16 space = 49, leftCtrl = 59, leftOption = 58, rightCtrl = 62;

void sendKey(Display* display, quint16 virtualKeyCode, bool down)
{
    XTestFakeKeyEvent(display, *KeyCodes::x11ForVirtual(virtualKeyCode), down, CurrentTime);
    XFlush(display);
}

template <typename Predicate> void runEventsUntil(Predicate done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Presses and releases `key` 1000 times; the time of each press is from just before XTest is asked to
// the start of onPress.
void measurePresses(benchmark::State& state, const KeyCombo& combo, quint16 key, std::vector<quint16> held)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no X display: run inside scripts/session");
        return;
    }
    Clock::time_point pressedAt;
    int presses = 0, releases = 0;
    X11KeyboardTap tap;
    GlobalHotkeys hotkeys(
        tap, combo,
        [&] {
            pressedAt = Clock::now();
            ++presses;
        },
        [&] { ++releases; }, {}, {});
    hotkeys.start();
    for (const quint16 modifier : held)
        sendKey(display, modifier, true);

    std::vector<double> samples;
    for (auto _ : state) {
        const auto sentAt = Clock::now();
        const int before = presses;
        sendKey(display, key, true);
        runEventsUntil([&] { return presses > before; });
        const std::chrono::duration<double> elapsed = pressedAt - sentAt;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1000.0);

        const int releasedBefore = releases;
        sendKey(display, key, false);
        runEventsUntil([&] { return releases > releasedBefore; });
    }
    for (const quint16 modifier : held)
        sendKey(display, modifier, false);
    hotkeys.stop();
    XCloseDisplay(display);

    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["p99_ms"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    state.counters["max_ms"] = samples.back();
}

void modifierOnlyShortcut(benchmark::State& state)
{
    measurePresses(state, {rightCtrl, 0, true}, rightCtrl, {});
}

void ordinaryShortcut(benchmark::State& state)
{
    measurePresses(state, {space, ModifierFlag::control | ModifierFlag::option, false}, space,
                   {leftCtrl, leftOption});
}

} // namespace

BENCHMARK(modifierOnlyShortcut)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ordinaryShortcut)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

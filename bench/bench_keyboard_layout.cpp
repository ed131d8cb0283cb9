// SPDX-License-Identifier: GPL-3.0-or-later
// What a shortcut label costs: the layout is asked afresh for every key name.
// Run inside scripts/session for the X server's layout; outside, that case is skipped.
#include "input/KeyCombo.h"
#include "platform/KeyboardLayout.h"

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

void keyNameFromServerLayout(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("no display: run inside scripts/session");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyCombo::keyName(12));
}
BENCHMARK(keyNameFromServerLayout)->Unit(benchmark::kMicrosecond);

// Right Alt held alone asks the layout whether the key is Alt Gr; the other keys held alone ask nothing.
void rightAltLabelFromServerLayout(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("no display: run inside scripts/session");
        return;
    }
    const KeyCombo rightAlt{61, 0, true};
    for (auto _ : state)
        benchmark::DoNotOptimize(rightAlt.displayString());
}
BENCHMARK(rightAltLabelFromServerLayout)->Unit(benchmark::kMicrosecond);

void rightControlLabel(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyCombo::defaultCombo().displayString());
}
BENCHMARK(rightControlLabel)->Unit(benchmark::kMicrosecond);

void keyNameFromEnvironmentLayout(benchmark::State& state)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    qputenv("XKB_DEFAULT_LAYOUT", "fr");
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyCombo::keyName(12));
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}
BENCHMARK(keyNameFromEnvironmentLayout)->Unit(benchmark::kMicrosecond);

void characterInCompiledLayout(benchmark::State& state)
{
    const auto layout = KeyboardLayout::fromName(QStringLiteral("fr"));
    for (auto _ : state)
        benchmark::DoNotOptimize(layout->character(12));
}
BENCHMARK(characterInCompiledLayout)->Unit(benchmark::kMicrosecond);

// What every label would cost if the keymap were compiled each time.
void compileLayoutByName(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyboardLayout::fromName(QStringLiteral("fr")));
}
BENCHMARK(compileLayoutByName)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

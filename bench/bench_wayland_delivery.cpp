// SPDX-License-Identifier: GPL-3.0-or-later
// Text delivery in a Wayland session: a text inserted into a native Wayland field through the
// accessibility bus and read back, and the compositor's clipboard written and read through the
// data-control protocol. Runs in the Wayland session:
//   scripts/session --wayland build/bench/bench_wayland_delivery
#include "QtBenchmarkMain.h"
#include "SessionChild.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "system/TextInjector.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace parlune;

namespace {

// Times `step` once per iteration and reports the median and the slowest, in milliseconds. A step that
// fails stops the benchmark with `failure`.
void measure(benchmark::State& state, const std::function<bool(int)>& step, const char* failure)
{
    std::vector<double> milliseconds;
    int iteration = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const bool done = step(++iteration);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1000);
        milliseconds.push_back(elapsed);
        if (!done) {
            state.SkipWithError(failure);
            break;
        }
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    if (!milliseconds.empty()) {
        state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
        state.counters["max_ms"] = milliseconds.back();
    }
}

// Focus search, the insertion at the caret, the read-back and the caret moved after the text: what a
// delivery on Wayland costs until the text is confirmed in the field.
void insertThroughAccessibilityBus(benchmark::State& state)
{
    TestField field("line", {}, QStringLiteral("wayland"));
    if (!field.isReady()) {
        state.SkipWithError("the native Wayland field did not come up");
        return;
    }
    AtspiFocusedElement focused;
    QElapsedTimer waited;
    waited.start();
    while (focused.insertText(QStringLiteral("prêt ")) != TextInsertion::confirmed &&
           waited.elapsed() < 10000)
        QTest::qWait(50);
    measure(
        state,
        [&](int word) {
            return focused.insertText(QStringLiteral("mot%1 ").arg(word)) == TextInsertion::confirmed;
        },
        "a text was not read back from the field");
}

BENCHMARK(insertThroughAccessibilityBus)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// The dictated text and its marker types put on the clipboard, until the compositor has taken them.
void writeClipboard(benchmark::State& state)
{
    const std::unique_ptr<DataControlPasteboard> pasteboard = DataControlPasteboard::connect();
    if (!pasteboard) {
        state.SkipWithError("no data-control clipboard");
        return;
    }
    measure(
        state,
        [&](int word) {
            const int before = pasteboard->changeCount();
            pasteboard->writeItems({TextInjector::textItem(QStringLiteral("mot%1").arg(word))});
            return pasteboard->changeCount() != before;
        },
        "the clipboard was not written");
}

BENCHMARK(writeClipboard)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// The snapshot taken before a paste: every type of another program's rich content (text in two forms,
// HTML, a picture, an empty marker), read from that program.
void readClipboard(benchmark::State& state)
{
    SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copyfocused", "avant"},
                       TestField::onPlatform(QStringLiteral("wayland")));
    const std::unique_ptr<DataControlPasteboard> pasteboard = DataControlPasteboard::connect();
    if (!owner.waitForLine("ready") || !pasteboard) {
        state.SkipWithError("no rich content on a data-control clipboard");
        return;
    }
    // Once the content has come, every read must give all of its types.
    qsizetype types = 0;
    QElapsedTimer waited;
    waited.start();
    while (types == 0 && waited.elapsed() < 10000) {
        const PasteboardSnapshot snapshot = pasteboard->items();
        const bool arrived =
            snapshot.size() == 1 &&
            std::any_of(snapshot[0].data.begin(), snapshot[0].data.end(),
                        [](const auto& type) { return type.first == QLatin1String("text/html"); });
        if (arrived)
            types = qsizetype(snapshot[0].data.size());
        else
            QTest::qWait(50);
    }
    measure(
        state,
        [&](int) {
            const PasteboardSnapshot snapshot = pasteboard->items();
            return snapshot.size() == 1 && qsizetype(snapshot[0].data.size()) == types;
        },
        "the content was not read whole");
}

BENCHMARK(readClipboard)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QGuiApplication)

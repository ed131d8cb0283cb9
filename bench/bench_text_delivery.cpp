// SPDX-License-Identifier: GPL-3.0-or-later
// Time from pasteAtCursor to the text being in another program's line edit, read back through the
// accessibility bus, what reading the paste back after the keystroke adds, and what the questions asked
// on the bus before each paste cost. Runs on a desktop:
// scripts/session build/bench/bench_text_delivery
#include "QtBenchmarkMain.h"
#include "SessionChild.h"
#include "platform/Clock.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11Workspace.h"
#include "speech/CursorContext.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <benchmark/benchmark.h>

// GLib's headers use "signals" as an identifier; they come after Qt's.
#include <atspi/atspi.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

using namespace parlune;

namespace {

// The focused object of the program with this process id, or null.
AtspiAccessible* focusedObjectOf(qint64 pid)
{
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < applications; ++a) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!application)
            continue;
        if (atspi_accessible_get_process_id(application, nullptr) != guint(pid)) {
            g_object_unref(application);
            continue;
        }
        std::vector<AtspiAccessible*> pending{application};
        while (!pending.empty()) {
            AtspiAccessible* object = pending.back();
            pending.pop_back();
            AtspiStateSet* states = atspi_accessible_get_state_set(object);
            const bool focused = states && atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
            if (states)
                g_object_unref(states);
            if (focused) {
                for (AtspiAccessible* other : pending)
                    g_object_unref(other);
                g_object_unref(desktop);
                return object;
            }
            const int count = atspi_accessible_get_child_count(object, nullptr);
            for (int i = 0; i < count; ++i) {
                if (AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, nullptr))
                    pending.push_back(child);
            }
            g_object_unref(object);
        }
    }
    g_object_unref(desktop);
    return nullptr;
}

// Reads the field's length on a thread of its own. The main thread must stay free: while the field
// fetches the clipboard from us it cannot answer the accessibility bus, and a main thread blocked on
// the bus could not hand it the clipboard.
class FieldReader
{
public:
    explicit FieldReader(qint64 pid)
        : m_thread([this, pid] { run(pid); })
    {}
    ~FieldReader()
    {
        m_stop = true;
        m_thread.join();
    }

    // -1 until the field is found, then its length in characters.
    int length() const { return m_length; }
    bool failed() const { return m_failed; }

private:
    void run(qint64 pid)
    {
        atspi_init();
        AtspiAccessible* entry = nullptr;
        for (int attempt = 0; attempt < 200 && !entry && !m_stop; ++attempt) {
            entry = focusedObjectOf(pid);
            if (!entry)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        AtspiText* text = entry ? atspi_accessible_get_text_iface(entry) : nullptr;
        if (!text) {
            m_failed = true;
            return;
        }
        while (!m_stop) {
            m_length = atspi_text_get_character_count(text, nullptr);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        g_object_unref(text);
        g_object_unref(entry);
    }

    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_failed = false;
    std::atomic<int> m_length = -1;
    std::thread m_thread;
};

void pasteUntilReadBack(benchmark::State& state)
{
    TestField field;
    if (!field.isReady()) {
        state.SkipWithError("the test field did not come up");
        return;
    }
    FieldReader reader(field.processId());
    while (reader.length() < 0 && !reader.failed())
        QThread::msleep(10);
    if (reader.failed()) {
        state.SkipWithError("the field is not on the accessibility bus");
        return;
    }

    ClipboardPasteboard pasteboard(QGuiApplication::clipboard());
    X11KeySynth keys;
    X11Workspace workspace;
    TextInjector injector(pasteboard, keys, workspace, SystemClock::instance());

    std::vector<double> milliseconds;
    int expectedLength = 0;
    int word = 0;
    for (auto _ : state) {
        const QString dictated = QStringLiteral("mot%1 ").arg(++word);
        expectedLength += int(dictated.size());
        QElapsedTimer timer;
        timer.start();
        injector.pasteAtCursor(dictated, true);
        // The event loop must run: the field asks us for the clipboard's content.
        while (reader.length() < expectedLength && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1000);
        milliseconds.push_back(elapsed);
        if (timer.elapsed() >= 5000) {
            state.SkipWithError("a paste never arrived");
            break;
        }
    }

    std::sort(milliseconds.begin(), milliseconds.end());
    if (!milliseconds.empty()) {
        state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
        state.counters["p90_ms"] = milliseconds[milliseconds.size() * 9 / 10];
        state.counters["max_ms"] = milliseconds.back();
    }
    // The last paste's restore still waits: it must run while the clipboard it writes to exists.
    QTest::qWait(int(TextInjector::restoreDelay.count() * 1000) + 200);
}

BENCHMARK(pasteUntilReadBack)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

QCoro::Task<> keepOutcome(QCoro::Task<PasteOutcome> paste, std::optional<PasteOutcome>* outcome)
{
    *outcome = co_await std::move(paste);
}

// What a delivery asks the bus and does, from its focus check to the text in the field, as it was (the
// focus check and the read of the text before the cursor each look for the focused widget; the paste is
// not read back) and as it is (the widget found once serves the delivery's questions; the paste is read
// back after the keystroke), taken in turns so that both meet the same load. The time to the field's own
// report of its new text; as it is, also the time to the paste's outcome.
void deliveryPath(benchmark::State& state)
{
    TestField field;
    AtspiFocusedElement focused, another;
    if (!field.isReady() || !waitUntil([&] { return focused.textBeforeCaret(1).has_value(); }, 10000)) {
        state.SkipWithError("the line edit is not on the accessibility bus");
        return;
    }
    X11Workspace workspace;
    Permissions permissions(focused, workspace, QString());
    ClipboardPasteboard pasteboard(QGuiApplication::clipboard());
    X11KeySynth keys;
    TextInjector was(pasteboard, keys, workspace, SystemClock::instance());
    TextInjector is(pasteboard, keys, workspace, SystemClock::instance(), {.readBack = &focused});

    std::vector<double> arrived[2], known;
    QString expected;
    int word = 0;
    for (auto _ : state) {
        const bool now = word % 2 == 1;
        const QString dictated = QStringLiteral("mot%1 ").arg(++word);
        expected += dictated;
        // Past the time a found widget is kept: each delivery looks for it afresh.
        QThread::msleep(120);
        QElapsedTimer timer;
        timer.start();
        const bool accepts = permissions.focusedElementAcceptsText() == true;
        const bool read = (now ? focused : another).textBeforeCaret(CursorContext::readLength).has_value();
        std::optional<PasteOutcome> outcome;
        keepOutcome((now ? is : was).pasteAtCursor(dictated, true), &outcome);
        if (!accepts || !read || field.waitForText(5000) != expected) {
            state.SkipWithError("the line edit was not seen, or a paste never arrived");
            break;
        }
        arrived[now].push_back(double(timer.nsecsElapsed()) / 1e6);
        state.SetIterationTime(arrived[now].back() / 1000);
        waitUntil([&] { return outcome.has_value(); }, 5000);
        if (now)
            known.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (outcome != (now ? PasteOutcome::readBack : PasteOutcome::sent)) {
            state.SkipWithError("the paste was not read back");
            break;
        }
    }
    const auto percentile = [](std::vector<double> values, int percent) {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0.0 : values[values.size() * percent / 100];
    };
    state.counters["was_median_ms"] = percentile(arrived[0], 50);
    state.counters["was_p90_ms"] = percentile(arrived[0], 90);
    state.counters["is_median_ms"] = percentile(arrived[1], 50);
    state.counters["is_p90_ms"] = percentile(arrived[1], 90);
    state.counters["is_known_median_ms"] = percentile(known, 50);
    QTest::qWait(int(TextInjector::restoreDelay.count() * 1000) + 200);
}

BENCHMARK(deliveryPath)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// The question asked before every paste: does the focused widget take text?
void focusedElementVerdict(benchmark::State& state)
{
    TestField field;
    field.isReady();
    AtspiFocusedElement focused;
    X11Workspace workspace;
    Permissions permissions(focused, workspace, QString());
    for (int attempt = 0; attempt < 100 && permissions.focusedElementAcceptsText() != true; ++attempt)
        QThread::msleep(50);
    for (auto _ : state) {
        // Past the time a found widget is kept: each question looks for it afresh.
        QThread::msleep(120);
        QElapsedTimer timer;
        timer.start();
        const bool accepts = permissions.focusedElementAcceptsText() == true;
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!accepts) {
            state.SkipWithError("the line edit was not seen");
            break;
        }
    }
}

BENCHMARK(focusedElementVerdict)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// Times `ask` once per iteration on a line edit holding text, its cursor at the end: the median and the
// slowest of the runs.
template <typename Ask> void timeOnFilledField(benchmark::State& state, Ask ask)
{
    TestField field("line", QStringLiteral("Il pleut depuis ce matin sur toute la ville. Déjà"));
    if (!field.isReady()) {
        state.SkipWithError("the test field did not come up");
        return;
    }
    AtspiFocusedElement focused;
    for (int attempt = 0; attempt < 100 && !focused.textBeforeCaret(CursorContext::readLength); ++attempt)
        QThread::msleep(50);
    X11Workspace workspace;
    Permissions permissions(focused, workspace, QString());
    std::vector<double> milliseconds;
    for (auto _ : state) {
        // Past the time a found widget is kept: each question looks for it afresh.
        QThread::msleep(120);
        QElapsedTimer timer;
        timer.start();
        const bool answered = ask(focused, permissions);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1000);
        if (!answered) {
            state.SkipWithError("the line edit's text was not read");
            return;
        }
        milliseconds.push_back(elapsed);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["max_ms"] = milliseconds.back();
}

// The characters before the cursor, read on the bus for the preview and just before each paste.
void cursorContextRead(benchmark::State& state)
{
    timeOnFilledField(state, [](AtspiFocusedElement& focused, Permissions&) {
        return focused.textBeforeCaret(CursorContext::readLength) ==
               QStringLiteral("e matin sur toute la ville. Déjà");
    });
}

BENCHMARK(cursorContextRead)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// All a delivery asks the bus before it pastes: does the widget take text, and what is before its cursor.
void focusCheckAndCursorContext(benchmark::State& state)
{
    timeOnFilledField(state, [](AtspiFocusedElement& focused, Permissions& permissions) {
        return permissions.focusedElementAcceptsText() == true &&
               focused.textBeforeCaret(CursorContext::readLength).has_value();
    });
}

BENCHMARK(focusCheckAndCursorContext)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

PARLUNE_QT_BENCHMARK_MAIN(QGuiApplication)

// SPDX-License-Identifier: GPL-3.0-or-later
// Resident memory of the program through many dictations, on the private desktop: the coordinator on the
// desktop's real services (keyboard, microphone, clipboard, accessibility bus) with the real floating
// panel, each dictation started and finished as the panel's stop button does, its text pasted into
// another program's field, then left until the panel has gone back to idle and hidden.
//
//   scripts/session build/bench/bench_memory          # English on pocketsphinx, recorded speech
//   scripts/session build/bench/bench_memory scripted # a recogniser that answers at once, for long runs
//
// Each benchmark reports the memory after the dictations of all those before it: resident (Rss) and its
// anonymous part (the heap, the recogniser's model), in MB.
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "speech/SpeechEngine.h"
#include "ui/QmlSetup.h"
#include "ui/RecordingHUD.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// Chosen by the first argument.
bool scripted = false;

// Answers every dictation with the same final text as soon as it is finished.
class ScriptedAnalyzer final : public Analyzer
{
public:
    QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat) override { co_return {}; }
    QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue>) override
    {
        co_return {};
    }
    QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() override
    {
        m_results->deliver({QStringLiteral("un essai de dictée"), true});
        m_results->end();
        co_return {};
    }
    QCoro::Task<> cancelAndFinishNow() override
    {
        m_results->end();
        co_return;
    }
    std::shared_ptr<RecognitionResults> results() override { return m_results; }

private:
    std::shared_ptr<RecognitionResults> m_results = std::make_shared<RecognitionResults>();
};

class ScriptedRecognizer final : public Recognizer
{
public:
    QCoro::Task<std::optional<QString>> supportedLocale(QString locale) override { co_return locale; }
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber) override
    {
        co_return std::shared_ptr<AssetInstallationRequest>();
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber) override
    {
        co_return AudioFormat{16000, 1};
    }
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber, AnalyzerOptions) override
    {
        return std::make_shared<ScriptedAnalyzer>();
    }
};

struct Memory
{
    double resident = 0;
    double anonymous = 0;
};

Memory memory()
{
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    Memory megabytes;
    if (!rollup.open(QIODevice::ReadOnly))
        return megabytes;
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "Rss:")
            megabytes.resident = fields[1].toDouble() / 1024;
        else if (fields.size() >= 2 && fields[0] == "Anonymous:")
            megabytes.anonymous = fields[1].toDouble() / 1024;
    }
    return megabytes;
}

struct Rig
{
    // A field that tells only of the keys it gets, not of its whole text after each paste: the lines
    // it writes are buffered here, and must not grow with the dictations.
    TestField field{"keys"};
    DesktopServices desktop;
    std::unique_ptr<AppCoordinator> coordinator;
    int dictations = 0;
};

Rig& rig()
{
    static Rig* rig = [] {
        writeDictationSettings();
        auto* made = new Rig;
        made->field.isReady();
        AppCoordinatorServices services = made->desktop.services();
        if (scripted)
            services.recognizer = std::make_shared<ScriptedRecognizer>();
        services.makeHud = [](AppCoordinator& coordinator) {
            return std::make_unique<RecordingHUD>(coordinator);
        };
        made->coordinator = std::make_unique<AppCoordinator>(std::move(services), true);
        (void)QTest::qWaitFor(
            [&] { return made->coordinator->engine().readyFormat(Language::en).has_value(); }, 60000);
        QTest::qWait(2000);
        return made;
    }();
    return *rig;
}

// One dictation: started and finished with the panel's button, delivered, and the panel hidden again.
bool dictate(Rig& r)
{
    AppCoordinator& coordinator = *r.coordinator;
    coordinator.toggle();
    if (!coordinator.isRecording())
        return false;
    if (scripted)
        QTest::qWait(200);
    else
        speakIntoMicrophone(
            QStringLiteral("/usr/share/pocketsphinx/test/data/cards/00%1.wav").arg(1 + r.dictations % 4));
    coordinator.toggle();
    ++r.dictations;
    (void)r.field.waitForLine("-", 0);
    return QTest::qWaitFor(
        [&] {
            return coordinator.status().kind() == RecordingStatus::Idle &&
                   coordinator.history().size() == std::min(r.dictations, int(TranscriptStore::defaultLimit));
        },
        30000);
}

// Dictations up to `state.range(0)` in all, then the memory.
void memoryAfterDictations(benchmark::State& state)
{
    Rig& r = rig();
    for (auto _ : state) {
        while (r.dictations < state.range(0)) {
            if (!dictate(r)) {
                state.SkipWithError("a dictation did not come back to idle");
                return;
            }
        }
    }
    const Memory now = memory();
    state.counters["rss_MB"] = now.resident;
    state.counters["anonymous_MB"] = now.anonymous;
    state.counters["dictations"] = r.dictations;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "scripted") {
        scripted = true;
        std::copy(argv + 2, argv + argc, argv + 1);
        --argc;
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    chooseQuickRenderer();
    benchmark::Initialize(&argc, argv);
    const std::vector<int> stages =
        scripted ? std::vector<int>{0, 100, 1000} : std::vector<int>{0, 1, 10, 100};
    for (const int stage : stages)
        benchmark::RegisterBenchmark("memoryAfterDictations", memoryAfterDictations)
            ->Arg(stage)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

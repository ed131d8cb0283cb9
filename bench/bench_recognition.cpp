// SPDX-License-Identifier: GPL-3.0-or-later
// Recognition speed and cost on Debian's English model and recorded speech:
//   - model load time and resident memory with one language loaded (its one decoder, which the
//     dictations in that language share);
//   - decoding speed on one core, as a real-time factor (decoding time / audio duration);
//   - the latency from finish() to the final text after 5 s and 30 s of speech fed at real-time pace;
//   - the word error rate on the five read sentences of the recordings that come with their transcript.
#include "QtBenchmarkMain.h"
#include "RecordedSpeech.h"
#include "platform/pocketsphinx/PocketsphinxDecoder.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <unistd.h>

using namespace parlune;

namespace {

const QStringList recordings{"librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0930.wav",
                             "goforward.raw",
                             "numbers.raw",
                             "something.raw"};

ModelFiles englishModel()
{
    return *ModelFiles::find(QStringLiteral("/usr/share/pocketsphinx/model/en-us"));
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Kept for the whole run, as the program keeps its model.
std::unique_ptr<PocketsphinxDecoder> firstDecoder;

void BM_ModelLoad(benchmark::State& state)
{
    const double before = residentMegabytes();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto loaded = PocketsphinxDecoder::load(englishModel());
        state.SetIterationTime(secondsSince(start));
        firstDecoder = std::move(loaded.value());
    }
    state.counters["rss_before_MB"] = before;
    state.counters["rss_one_language_MB"] = residentMegabytes();
}

void BM_DecodingRealTimeFactor(benchmark::State& state)
{
    std::vector<std::vector<qint16>> audio;
    double audioSeconds = 0;
    for (const QString& recording : recordings) {
        const std::vector<float> samples = recordedSpeech(recording);
        std::vector<qint16> pcm(samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i)
            pcm[i] = qint16(samples[i] * 32768.0f);
        audioSeconds += double(pcm.size()) / 16000.0;
        audio.push_back(std::move(pcm));
    }
    double decodingSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const std::vector<qint16>& pcm : audio) {
            firstDecoder->startUtterance();
            for (std::size_t at = 0; at < pcm.size(); at += 2048) {
                firstDecoder->process(pcm.data() + at, std::min<std::size_t>(2048, pcm.size() - at));
                benchmark::DoNotOptimize(firstDecoder->hypothesis());
            }
            firstDecoder->endUtterance();
            benchmark::DoNotOptimize(firstDecoder->hypothesis());
        }
        const double elapsed = secondsSince(start);
        decodingSeconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["audio_s"] = audioSeconds;
    state.counters["real_time_factor"] = decodingSeconds / double(state.iterations()) / audioSeconds;
}

// `seconds` of recorded speech, the recordings one after another.
std::vector<AudioBufferPtr> speechOf(double seconds)
{
    std::vector<float> all;
    const std::size_t wanted = std::size_t(seconds * 16000);
    while (all.size() < wanted) {
        for (const QString& recording : recordings) {
            const std::vector<float> samples = recordedSpeech(recording);
            all.insert(all.end(), samples.begin(), samples.end());
        }
    }
    all.resize(wanted);
    return toBuffers(all);
}

void BM_FinishLatency(benchmark::State& state)
{
    static auto recognizer = [] {
        static QTemporaryDir models;
        auto made = std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), models.path());
        SpeechEngine engine(made);
        QCoro::waitFor(engine.prepare(Language::en));
        return made;
    }();
    const std::vector<AudioBufferPtr> buffers = speechOf(double(state.range(0)));
    for (auto _ : state) {
        DictationSession session(*recognizer, Language::en,
                                 [](const QString& preview) { benchmark::DoNotOptimize(preview); });
        // The audio thread: one 2048-frame buffer every 128 ms, while the main thread takes the readings.
        QEventLoop loop;
        std::thread feeder([&] {
            auto next = std::chrono::steady_clock::now();
            for (const AudioBufferPtr& buffer : buffers) {
                next += std::chrono::microseconds(buffer->frameLength() * 1'000'000 / 16'000);
                std::this_thread::sleep_until(next);
                session.input()->push(buffer);
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        feeder.join();

        // The key is released right after the last buffer.
        const auto released = std::chrono::steady_clock::now();
        auto text = QCoro::waitFor(session.finish());
        state.SetIterationTime(secondsSince(released));
        if (!text || text.value().isEmpty())
            state.SkipWithError("no text recognised");
    }
}

// Words to change, insert or drop to turn `heard` into `said`.
int wordEdits(const QStringList& said, const QStringList& heard)
{
    std::vector<int> row(std::size_t(heard.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= said.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= heard.size(); ++j) {
            const int above = row[std::size_t(j)];
            row[std::size_t(j)] = std::min(
                {above + 1, row[std::size_t(j - 1)] + 1, diagonal + (said[i - 1] == heard[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

void BM_WordErrorRate(benchmark::State& state)
{
    static auto recognizer = [] {
        static QTemporaryDir models;
        auto made = std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), models.path());
        SpeechEngine engine(made);
        QCoro::waitFor(engine.prepare(Language::en));
        return made;
    }();
    // "<s> he was not an ill disposed young man </s> (sense_and_sensibility_01_austen_64kb-0880)"
    QFile transcripts(QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/transcription"));
    if (!transcripts.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no transcripts");
        return;
    }
    std::vector<std::pair<QString, QStringList>> sentences;
    for (const QByteArray& line : transcripts.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line);
        const qsizetype open = text.lastIndexOf(u'(');
        if (open < 0)
            continue;
        const QString clip = text.mid(open + 1).chopped(1).trimmed();
        QStringList words = text.left(open).split(u' ', Qt::SkipEmptyParts);
        words.removeAll(QStringLiteral("<s>"));
        words.removeAll(QStringLiteral("</s>"));
        sentences.emplace_back(QStringLiteral("librivox/%1.wav").arg(clip), words);
    }
    int edits = 0, words = 0;
    for (auto _ : state) {
        edits = words = 0;
        for (const auto& [recording, said] : sentences) {
            // A fresh session per sentence, as each dictation is.
            DictationSession session(*recognizer, Language::en);
            for (const AudioBufferPtr& buffer : toBuffers(recordedSpeech(recording)))
                session.input()->push(buffer);
            auto heard = QCoro::waitFor(session.finish());
            edits += wordEdits(said, heard ? heard.value().split(u' ', Qt::SkipEmptyParts) : QStringList());
            words += int(said.size());
        }
    }
    state.counters["sentences"] = double(sentences.size());
    state.counters["words"] = words;
    state.counters["word_error_rate_percent"] = words ? 100.0 * edits / words : 0;
}

} // namespace

BENCHMARK(BM_ModelLoad)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodingRealTimeFactor)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
// The slowest release as well as the median: a user notices the one release in ten that lags.
double slowest(const std::vector<double>& times)
{
    return *std::max_element(times.begin(), times.end());
}
BENCHMARK(BM_FinishLatency)
    ->Arg(5)
    ->Iterations(1)
    ->Repetitions(15)
    ->ComputeStatistics("max", slowest)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FinishLatency)
    ->Arg(30)
    ->Iterations(1)
    ->Repetitions(7)
    ->ComputeStatistics("max", slowest)
    ->ReportAggregatesOnly()
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Last: its own decoder would count in the model load's memory figures.
BENCHMARK(BM_WordErrorRate)->Iterations(1)->Unit(benchmark::kMillisecond);

PARLUNE_QT_BENCHMARK_MAIN(QCoreApplication)

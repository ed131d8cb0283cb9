// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding phrases with Parakeet through ParakeetModel.
//   - The adapter's own cost per phrase: a 3 s phrase on the tests' stand-in model (whose own work is
//     tiny) through ParakeetModel, and the same calls made on the library directly; the difference is
//     the program's overhead around the model.
//   - How decoding scales with threads: a heavier stand-in whose encoder does the matrix work of
//     transformer-like layers, a 3 s phrase decoded with 1 to N threads (N the cores here).
//   - The real model, when PARLUNE_PARAKEET_DIR names its folder: load time and resident memory,
//     real-time factor on recorded speech, and the release-to-text time of a 3 s last phrase (its
//     decoding, which is all the release waits for) with the recommended thread count.
#include "QtBenchmarkMain.h"
#include "RecordedSpeech.h"
#include "platform/sherpa/DecodingThreads.h"
#include "platform/sherpa/ParakeetModel.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <unistd.h>

using namespace parlune;

namespace {

constexpr int rate = ParakeetModel::sampleRate;

std::shared_ptr<const SherpaOnnxLibrary> library()
{
    static const auto loaded = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
    return loaded ? loaded.value() : nullptr;
}

// Three seconds: a tone of each band, with pauses.
std::vector<float> threeSecondPhrase()
{
    std::vector<float> samples(std::size_t(3 * rate), 0.0f);
    const double frequencies[] = {300, 1000, 2500, 5000};
    for (int tone = 0; tone < 4; ++tone) {
        for (int i = 0; i < rate / 2; ++i)
            samples[std::size_t(tone * rate * 3 / 4 + i)] =
                float(0.3 * std::sin(2 * std::numbers::pi * frequencies[tone] * i / rate));
    }
    return samples;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::shared_ptr<ParakeetModel> load(const QString& folder, int threads)
{
    auto model = ParakeetModel::load(library(), folder, threads);
    if (!model)
        qFatal("%s: %s", qPrintable(folder), qPrintable(model.error().description));
    return model.value();
}

void BM_AdapterPhrase(benchmark::State& state)
{
    const auto model = load(QStringLiteral(PARLUNE_PARAKEET_STANDIN), 1);
    const auto phrase = threeSecondPhrase();
    for (auto _ : state)
        benchmark::DoNotOptimize(model->decode(phrase));
}
BENCHMARK(BM_AdapterPhrase)->Unit(benchmark::kMicrosecond);

// The same work without the adapter: stream, waveform, decoding, result, on the library directly.
void BM_LibraryPhrase(benchmark::State& state)
{
    const QDir folder(QStringLiteral(PARLUNE_PARAKEET_STANDIN));
    const QByteArray encoder = QFile::encodeName(folder.filePath("encoder.int8.onnx"));
    const QByteArray decoder = QFile::encodeName(folder.filePath("decoder.int8.onnx"));
    const QByteArray joiner = QFile::encodeName(folder.filePath("joiner.int8.onnx"));
    const QByteArray tokens = QFile::encodeName(folder.filePath("tokens.txt"));
    sherpa::SherpaOnnxOfflineRecognizerConfig config{};
    config.feat_config = {rate, 80};
    config.model_config.transducer = {encoder.constData(), decoder.constData(), joiner.constData()};
    config.model_config.tokens = tokens.constData();
    config.model_config.num_threads = 1;
    config.model_config.model_type = "nemo_transducer";
    config.decoding_method = "greedy_search";
    const auto& l = *library();
    const auto* recognizer = l.createOfflineRecognizer(&config);
    const auto phrase = threeSecondPhrase();
    for (auto _ : state) {
        const auto* stream = l.createOfflineStream(recognizer);
        l.acceptWaveformOffline(stream, rate, phrase.data(), std::int32_t(phrase.size()));
        l.decodeOfflineStream(recognizer, stream);
        const auto* result = l.getOfflineStreamResult(stream);
        benchmark::DoNotOptimize(result->text);
        l.destroyOfflineRecognizerResult(result);
        l.destroyOfflineStream(stream);
    }
    l.destroyOfflineRecognizer(recognizer);
}
BENCHMARK(BM_LibraryPhrase)->Unit(benchmark::kMicrosecond);

void BM_HeavyStandInThreads(benchmark::State& state)
{
    const auto model = load(QStringLiteral(PARLUNE_PARAKEET_HEAVY_STANDIN), int(state.range(0)));
    const auto phrase = threeSecondPhrase();
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(model->decode(phrase));
        wall += secondsSince(start);
    }
    state.counters["rtf"] = wall / double(state.iterations()) / 3.0;
}

// The real model, from PARLUNE_PARAKEET_DIR.
QString realModelFolder()
{
    return qEnvironmentVariable("PARLUNE_PARAKEET_DIR");
}

std::shared_ptr<ParakeetModel> realModel;

void BM_RealModelLoad(benchmark::State& state)
{
    const double before = residentMegabytes();
    for (auto _ : state) {
        realModel.reset();
        const auto start = std::chrono::steady_clock::now();
        realModel = load(realModelFolder(), DecodingThreads::recommendedCount());
        state.SetIterationTime(secondsSince(start));
    }
    state.counters["rss_before_MB"] = before;
    state.counters["rss_loaded_MB"] = residentMegabytes();
    state.counters["threads"] = realModel->threads();
}

void BM_RealModelRealTimeFactor(benchmark::State& state)
{
    std::vector<std::vector<float>> sentences;
    double audioSeconds = 0;
    for (const char* clip : {"0870", "0880", "0890", "0920", "0930"}) {
        sentences.push_back(
            recordedSpeech(QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-%1.wav").arg(clip)));
        audioSeconds += double(sentences.back().size()) / rate;
    }
    double decoding = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& sentence : sentences)
            benchmark::DoNotOptimize(realModel->decode(sentence));
        decoding += secondsSince(start);
        state.SetIterationTime(secondsSince(start));
    }
    state.counters["rtf"] = decoding / double(state.iterations()) / audioSeconds;
    state.counters["rss_MB"] = residentMegabytes();
}

// The release waits for the last phrase only: three seconds of recorded speech.
void BM_RealModelReleaseToText(benchmark::State& state)
{
    auto sentence = recordedSpeech(QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-0880.wav"));
    sentence.resize(std::size_t(3 * rate), 0.0f);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(realModel->decode(sentence));
        state.SetIterationTime(secondsSince(start));
    }
    state.counters["rss_MB"] = residentMegabytes();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!library()) {
        std::fprintf(stderr, "bench_parakeet: no sherpa-onnx library at %s (scripts/setup)\n",
                     PARLUNE_SHERPA_ONNX_LIBRARY);
        return 1;
    }
    for (int threads = 1; threads <= DecodingThreads::availableCores(); ++threads)
        benchmark::RegisterBenchmark("BM_HeavyStandInThreads", BM_HeavyStandInThreads)
            ->Arg(threads)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(5);
    const QString folder = realModelFolder();
    if (!folder.isEmpty() && QFile::exists(QDir(folder).filePath("encoder.int8.onnx"))) {
        benchmark::RegisterBenchmark("BM_RealModelLoad", BM_RealModelLoad)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_RealModelRealTimeFactor", BM_RealModelRealTimeFactor)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_RealModelReleaseToText", BM_RealModelReleaseToText)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    } else {
        std::fprintf(
            stderr,
            "bench_parakeet: real model skipped: PARLUNE_PARAKEET_DIR does not name a folder with the "
            "Parakeet model (encoder.int8.onnx, decoder.int8.onnx, joiner.int8.onnx, tokens.txt)\n");
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    realModel.reset();
    return 0;
}

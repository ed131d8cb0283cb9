// SPDX-License-Identifier: GPL-3.0-or-later
// What the Vosk adapter itself costs, on the fake libvosk of the tests (whose own work is a few string
// copies), so that the numbers are the program's and not the recogniser's:
//   - per 100 ms chunk: conversion to 16-bit samples, the call, reading the partial text's JSON;
//   - at finish: from finish() to the final text, through the decoding thread and the main thread.
#include "FakeVoskModel.h"
#include "platform/vosk/VoskModel.h"
#include "platform/vosk/VoskRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

AudioBufferPtr chunk()
{
    auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 1600);
    buffer->setFrameLength(1600);
    for (quint32 i = 0; i < 1600; ++i)
        buffer->samples()[i] = 0.3f * float((i * 37) % 200) / 200.0f;
    return buffer;
}

// A minute of dictation: a partial text that grows a word per chunk, an utterance every 20 chunks.
QStringList minuteOfSpeech()
{
    QStringList script;
    QString words;
    for (int i = 1; i <= 600; ++i) {
        words += QStringLiteral(" mot%1").arg(i % 20);
        script << (i % 20 == 0 ? QStringLiteral("result") : QStringLiteral("partial")) + words;
        if (i % 20 == 0)
            words.clear();
    }
    return script << QStringLiteral("final la fin");
}

std::shared_ptr<const VoskLibrary> fakeLibrary()
{
    static auto library = VoskLibrary::load(fakeVoskLibraryPath());
    return library ? library.value() : nullptr;
}

void BM_VoskChunk(benchmark::State& state)
{
    static QTemporaryDir folder;
    writeFakeVoskModel(folder.path(), minuteOfSpeech());
    VoskModelSlot slot(fakeLibrary(), folder.path(), QStringLiteral("Français"));
    auto model = slot.get();
    auto stream = model.value()->acquire();
    const AudioBufferPtr buffer = chunk();
    int chunks = 0;
    for (auto _ : state) {
        auto reading = stream.value()->accept(*buffer, true);
        benchmark::DoNotOptimize(reading);
        if (++chunks == 600) {
            stream.value()->reset();
            chunks = 0;
        }
    }
    model.value()->release(std::move(stream.value()));
}
BENCHMARK(BM_VoskChunk)->Unit(benchmark::kMicrosecond);

// The audio is all queued before finish(), as after a release the decoder has at most a chunk or two
// left: what is measured is the hand-over, not the decoding.
void BM_VoskFinish(benchmark::State& state)
{
    static QTemporaryDir models;
    writeFakeVoskModel(models.filePath(QStringLiteral("fr-FR")), minuteOfSpeech());
    static auto recognizer = std::make_shared<VoskRecognizer>(
        fakeLibrary(), ModelCatalogue({ModelSource{QStringLiteral("fr-FR"), {}, 0, {}, {}}}), models.path());
    QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::fr));
    const AudioBufferPtr buffer = chunk();
    for (auto _ : state) {
        state.PauseTiming();
        DictationSession session(*recognizer, Language::fr, [](const QString&) {});
        for (int i = 0; i < state.range(0); ++i)
            session.input()->push(buffer);
        state.ResumeTiming();
        auto text = QCoro::waitFor(session.finish());
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_VoskFinish)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!fakeLibrary())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and loading the settings and a full history. The history is saved after every dictation (the
// main thread encodes it, a thread of its own writes it) and read once at start-up; the settings are
// written on the main thread.
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// A dictation of a few sentences, with the accents, punctuation and slashes real text has.
QString dictation(int index)
{
    return QStringLiteral(
               "Bonjour, je voulais te dire que la réunion de demain est déplacée à 14 h 30, "
               "salle « Éole » ; le compte rendu est sur https://intranet.exemple.fr/équipe/notes. "
               "Peux-tu prévenir Zoé et François ? Merci ! (n° %1)")
        .arg(index);
}

QList<TranscriptEntry> fullHistory()
{
    QList<TranscriptEntry> entries;
    for (int i = 0; i < TranscriptStore::defaultLimit; ++i)
        entries.append({QUuid::createUuid(), Date{786000000.123 - 60.5 * i}, dictation(i)});
    return entries;
}

// A scratch folder in the working folder rather than in /tmp, which may live in memory: on a disk the
// sync before each rename costs what it costs in the user's data folder.
QString scratchTemplate()
{
    return QDir::currentPath() + QLatin1String("/bench-XXXXXX");
}

void encodeHistory(benchmark::State& state)
{
    const QList<TranscriptEntry> entries = fullHistory();
    for (auto _ : state)
        benchmark::DoNotOptimize(TranscriptStore::encode(entries));
    state.counters["bytes"] = double(TranscriptStore::encode(entries).size());
}
BENCHMARK(encodeHistory);

void decodeHistory(benchmark::State& state)
{
    const QByteArray json = TranscriptStore::encode(fullHistory());
    for (auto _ : state)
        benchmark::DoNotOptimize(TranscriptStore::decode(json));
}
BENCHMARK(decodeHistory);

// What follows every dictation, as the main thread sees it: one more entry, the oldest dropped, the list
// encoded and handed to the writing thread.
void addToFullHistory(benchmark::State& state)
{
    QTemporaryDir dir(scratchTemplate());
    const QString path = dir.filePath(QStringLiteral("history.json"));
    TranscriptStore store(path);
    for (const TranscriptEntry& entry : fullHistory())
        store.add(entry.text, entry.date);
    store.waitForSaves();
    int index = 0;
    for (auto _ : state) {
        store.add(dictation(++index), Date::now());
        // The write is not measured, but each addition starts with none pending, as after a dictation.
        state.PauseTiming();
        store.waitForSaves();
        state.ResumeTiming();
    }
}
BENCHMARK(addToFullHistory)->Unit(benchmark::kMicrosecond);

// The same, until the file is on disk: encoded, written to a temporary file, synced and renamed.
void addToFullHistoryOnDisk(benchmark::State& state)
{
    QTemporaryDir dir(scratchTemplate());
    const QString path = dir.filePath(QStringLiteral("history.json"));
    TranscriptStore store(path);
    for (const TranscriptEntry& entry : fullHistory())
        store.add(entry.text, entry.date);
    int index = 0;
    for (auto _ : state) {
        store.add(dictation(++index), Date::now());
        store.waitForSaves();
    }
}
BENCHMARK(addToFullHistoryOnDisk)->Unit(benchmark::kMicrosecond);

// Start-up: reading and decoding the full file.
void loadFullHistory(benchmark::State& state)
{
    QTemporaryDir dir(scratchTemplate());
    const QString path = dir.filePath(QStringLiteral("history.json"));
    {
        TranscriptStore store(path);
        for (const TranscriptEntry& entry : fullHistory())
            store.add(entry.text, entry.date);
    }
    for (auto _ : state) {
        TranscriptStore store(path);
        benchmark::DoNotOptimize(store.entries().size());
    }
}
BENCHMARK(loadFullHistory)->Unit(benchmark::kMicrosecond);

void saveSettings(benchmark::State& state)
{
    QTemporaryDir dir(scratchTemplate());
    const AppSettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    AppSettings settings;
    for (auto _ : state) {
        settings.soundsEnabled = !settings.soundsEnabled;
        store.save(settings);
    }
}
BENCHMARK(saveSettings)->Unit(benchmark::kMicrosecond);

void loadSettings(benchmark::State& state)
{
    QTemporaryDir dir(scratchTemplate());
    const AppSettingsStore store(dir.filePath(QStringLiteral("settings.json")));
    store.save(AppSettings{});
    for (auto _ : state)
        benchmark::DoNotOptimize(store.load());
}
BENCHMARK(loadSettings)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

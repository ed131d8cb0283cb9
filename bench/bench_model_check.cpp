// SPDX-License-Identifier: GPL-3.0-or-later
// What the program pays, at each preparation of a language, to know whether a model may be loaded in
// its own process when the verdict is already kept: the list of the folder's files with their sizes and
// times, the verdict file, the marks of loads that never finished. Without a verdict, the child process
// costs more: `hyperfine` measures `parlune --check-model` (docs/PERFORMANCE.md).
#include "platform/models/ModelVerdicts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// The 16 files of a small Vosk model, in their folders.
void layOutModel(const QString& folder)
{
    for (const char* file :
         {"README", "am/final.mdl", "am/tree", "conf/mfcc.conf", "conf/model.conf", "graph/HCLr.fst",
          "graph/Gr.fst", "graph/disambig_tid.int", "graph/phones/word_boundary.int", "graph/words.txt",
          "ivector/final.dubm", "ivector/final.ie", "ivector/final.mat", "ivector/global_cmvn.stats",
          "ivector/online_cmvn.conf", "ivector/splice.conf"}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(file);
        QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
        QFile part(path);
        part.open(QIODevice::WriteOnly);
        part.write(QByteArray(1024, 'x'));
    }
}

void knownVerdict(benchmark::State& state)
{
    QTemporaryDir dir;
    layOutModel(dir.path());
    ModelVerdicts::recordVerified(dir.path());
    for (auto _ : state) {
        const QByteArray files = ModelVerdicts::fingerprint(dir.path());
        benchmark::DoNotOptimize(!ModelVerdicts::loadWasInterrupted(dir.path()) &&
                                 ModelVerdicts::verdict(dir.path(), files) == ModelVerdicts::Verdict::loads);
    }
}

BENCHMARK(knownVerdict)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

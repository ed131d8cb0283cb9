// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <benchmark/benchmark.h>

// The main() of a benchmark whose code needs a Qt application of type App (its event loop, its platform).
#define PARLUNE_QT_BENCHMARK_MAIN(App)                                                                       \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        App application(argc, argv);                                                                         \
        benchmark::Initialize(&argc, argv);                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                 \
        benchmark::Shutdown();                                                                               \
        return 0;                                                                                            \
    }

// SPDX-License-Identifier: MIT
// Entry point of brimsel-bench; the benchmarks live in the other files here.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();

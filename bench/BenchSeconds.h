#pragma once
#include <cstdlib>

// The test run only checks that each benchmark still runs (LOOM_BENCH_SMOKE set): one short pass
// replaces the measured seconds, since a MinTime given in code overrides --benchmark_min_time.
inline bool BenchSmoke() { return std::getenv("LOOM_BENCH_SMOKE") != nullptr; }
inline double BenchSeconds(double seconds) { return BenchSmoke() ? 0.001 : seconds; }

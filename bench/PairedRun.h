#pragma once
// The loop of the benchmarks that time our code against a reference in every iteration.
#include <benchmark/benchmark.h>

#include "bench/CountingNew.h"

// Each iteration runs prepare(frame) untimed, then ours (timed, its allocations counted), then the
// reference (timed), both on the given clock in seconds. Reports the ratio, both per frame in
// microseconds (the reference under referenceKey) and our allocations per frame.
template <typename Clock, typename Prepare, typename Ours, typename Reference>
void RunPaired(benchmark::State& state, const char* referenceKey, Clock now, Prepare prepare, Ours ours,
               Reference reference)
{
    double oursSeconds = 0.0;
    double referenceSeconds = 0.0;
    long allocations = 0;
    long frames = 0;
    for (auto _ : state)
    {
        prepare(frames);
        const long before = gAllocations.load();
        double start = now();
        ours();
        oursSeconds += now() - start;
        allocations += gAllocations.load() - before;

        start = now();
        reference();
        referenceSeconds += now() - start;
        ++frames;
    }
    const double perFrame = 1.0 / double(frames ? frames : 1);
    state.counters["ratio"] = referenceSeconds > 0.0 ? oursSeconds / referenceSeconds : 0.0;
    state.counters["ours_us"] = oursSeconds * perFrame * 1e6;
    state.counters[referenceKey] = referenceSeconds * perFrame * 1e6;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) * perFrame;
}

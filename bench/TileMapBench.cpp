// 10,000 tile lookups (WorldToTile, then a 2 x 2 IsAreaFree) on a 64 x 64 tile map, against the
// same work on a plain byte grid. Reports our time over the reference's ("ratio", goal <= 1.5)
// and the allocations per pass (goal 0); both run in the same benchmark run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "bench/CountingNew.h"
#include "game/level/TileMap.h"

namespace {
constexpr int kSide = 64;
constexpr int kQueries = 10000;

// The reference: the same conversion and block test on one byte per tile (1 = free).
struct PlainGrid
{
    std::vector<uint8_t> mFree = std::vector<uint8_t>(kSide * kSide, 1);
    Vector3 mOffset{0.0f, 0.0f, 0.0f};
    float mScale = 4.0f;

    void ToTile(const Vector3& p, int& x, int& z) const
    {
        const float fx = (p.x - mOffset.x) / mScale + 0.5f;
        const float fz = (p.z - mOffset.z) / mScale + 0.5f;
        x = !(fx >= 0.0f) ? 0 : fx >= kSide ? kSide : static_cast<int>(fx);
        z = !(fz >= 0.0f) ? 0 : fz >= kSide ? kSide : static_cast<int>(fz);
    }
    bool Free2x2(int cx, int cz) const
    {
        for (int x = cx - 1; x <= cx; ++x)
            for (int z = cz - 1; z <= cz; ++z)
                if (x < 0 || z < 0 || x >= kSide || z >= kSide || !mFree[size_t(z * kSide + x)])
                    return false;
        return true;
    }
};

std::vector<Vector3> Points()
{
    std::vector<Vector3> points;
    uint32_t seed = 12345;
    for (int i = 0; i < kQueries; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const float x = static_cast<float>(seed >> 8 & 0xFFFF) / 65535.0f * (kSide * 4.0f + 8.0f) - 4.0f;
        seed = seed * 1664525u + 1013904223u;
        const float z = static_cast<float>(seed >> 8 & 0xFFFF) / 65535.0f * (kSide * 4.0f + 8.0f) - 4.0f;
        points.emplace_back(x, 0.0f, z);
    }
    return points;
}

void BM_TileMapQueries(benchmark::State& state)
{
    const std::vector<Vector3> points = Points();
    TileMap map;
    map.widthSize = kSide;
    map.depthSize = kSide;
    map.mWorldOffset = Vector3(0.0f, 0.0f, 0.0f);
    map.mWorldTileScale = Vector3(4.0f, 4.0f, 4.0f);
    map.Initialize();
    PlainGrid plain;
    // The same blocked tiles on both.
    for (int i = 0; i < kSide * kSide; i += 7)
    {
        map.GetTile(i % kSide, i / kSide).buildable = false;
        plain.mFree[size_t(i)] = 0;
    }

    double ours = 0.0;
    double reference = 0.0;
    long allocations = 0;
    long mismatches = 0;
    for (auto _ : state)
    {
        int freeOurs = 0;
        const long before = gAllocations.load();
        auto start = std::chrono::steady_clock::now();
        for (const Vector3& p : points)
        {
            const TileIndex t = map.WorldToTile(p, 2, 2);
            freeOurs += map.IsAreaFree(t.first, t.second, 2, 2) ? 1 : 0;
        }
        ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += gAllocations.load() - before;

        int freePlain = 0;
        start = std::chrono::steady_clock::now();
        for (const Vector3& p : points)
        {
            int x = 0;
            int z = 0;
            plain.ToTile(p, x, z);
            freePlain += plain.Free2x2(x, z) ? 1 : 0;
        }
        reference += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        mismatches += freeOurs != freePlain ? 1 : 0;
        benchmark::DoNotOptimize(freeOurs);
        benchmark::DoNotOptimize(freePlain);
    }
    if (mismatches)
        state.SkipWithError("the two grids disagree");
    const double passes = static_cast<double>(state.iterations() ? state.iterations() : 1);
    state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
    state.counters["ours_us"] = ours / passes * 1e6;
    state.counters["plain_us"] = reference / passes * 1e6;
    state.counters["allocs"] = static_cast<double>(allocations) / passes;
}
BENCHMARK(BM_TileMapQueries)->Unit(benchmark::kMicrosecond);
} // namespace

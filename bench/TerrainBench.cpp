// Ground queries of the height map against their plain references, each measured in the same
// run: a height read against a bilinear read of a bare float array, and the ray walk against
// a brute-force march in eighth-tile steps over the same camera rays.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/terrain/HeightMap.h"

namespace {
constexpr int kSide = 257;

struct Ground
{
    HeightMap map;
    std::vector<float> bare;

    Ground()
    {
        map.mAutoBuildTerrain = false;
        map.Initialize();
        bare.resize(size_t(kSide) * kSide);
        for (int z = 0; z < kSide; ++z)
            for (int x = 0; x < kSide; ++x)
                bare[size_t(z) * kSide + x] = map.Tile(x, z).y = 6.0f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 8.0f;
        map.ComputeAllNormals();
        map.RefreshHeightRange();
    }

    float Bare(float x, float z) const
    {
        const int ix = std::min(int(x), kSide - 2), iz = std::min(int(z), kSide - 2);
        const float fx = x - float(ix), fz = z - float(iz);
        const float* r0 = &bare[size_t(iz) * kSide + ix];
        const float* r1 = r0 + kSide;
        return fz * ((1 - fx) * r1[0] + fx * r1[1]) + (1 - fz) * ((1 - fx) * r0[0] + fx * r0[1]);
    }

    // Eighth-tile steps from the origin until the ray is under the ground or below its lowest point.
    bool March(const Vector3& o, const Vector3& d, Vector3& hit) const
    {
        const float horizontal = std::sqrt(d.x * d.x + d.z * d.z);
        const float step = 0.125f / std::max(horizontal, 1e-3f);
        for (float t = 0.0f; o.y + d.y * t >= map.GetMinHeight(); t += step)
        {
            const Vector3 p(o.x + d.x * t, o.y + d.y * t, o.z + d.z * t);
            if (p.x >= 0 && p.z >= 0 && p.x <= kSide - 2 && p.z <= kSide - 2 && p.y <= map.GetTriangleHeight(p.x, p.z))
            {
                hit = p;
                return true;
            }
        }
        return false;
    }
};

Ground& TheGround()
{
    static Ground ground;
    return ground;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_GetHeight(benchmark::State& state)
{
    Ground& g = TheGround();
    std::mt19937 random(3);
    std::uniform_real_distribution<float> across(0.0f, 255.0f);
    std::vector<float> points(8192);
    for (float& p : points)
        p = across(random);
    float sum = 0.0f;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        for (size_t i = 0; i + 1 < points.size(); i += 2)
            sum += g.map.GetHeight(points[i], points[i + 1]);
    const double ours = Seconds(start);
    const auto iterations = state.iterations();
    start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount n = 0; n < iterations; ++n)
        for (size_t i = 0; i + 1 < points.size(); i += 2)
            sum += g.Bare(points[i], points[i + 1]);
    const double reference = Seconds(start);
    benchmark::DoNotOptimize(sum);
    state.counters["ratio_vs_bare_array"] = ours / reference;
}
BENCHMARK(BM_GetHeight);

void BM_IntersectRay(benchmark::State& state)
{
    Ground& g = TheGround();
    // 64 x 64 rays from a camera above the map's corner looking across it.
    std::vector<Vector3> directions;
    const Vector3 eye(-20.0f, 60.0f, -20.0f);
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i)
        {
            Vector3 d(0.5f + (i - 32) / 80.0f, -0.35f + (j - 32) / 120.0f, 0.5f - (i - 32) / 80.0f);
            directions.push_back(d.Normalized());
        }
    int hits = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        for (const Vector3& d : directions)
        {
            Vector3 hit;
            hits += g.map.IntersectRay(eye, d, hit);
        }
    const double ours = Seconds(start);
    const auto iterations = state.iterations();
    int marched = 0;
    start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount n = 0; n < iterations; ++n)
        for (const Vector3& d : directions)
        {
            Vector3 hit;
            marched += g.March(eye, d, hit);
        }
    const double reference = Seconds(start);
    benchmark::DoNotOptimize(hits);
    state.counters["hits"] = double(hits) / double(iterations);
    state.counters["march_hits"] = double(marched) / double(iterations);
    state.counters["speedup_vs_march"] = reference / ours;
}
BENCHMARK(BM_IntersectRay)->Unit(benchmark::kMillisecond);
} // namespace

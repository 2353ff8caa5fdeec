// 10,000 moving objects per frame: move and re-file each, one overlap query per object and
// one view query, against checking every unordered pair once by brute force. The two must find
// the same pairs on several frames. Counters per frame: overlapping pairs, allocations (after
// warm-up), objects seen by the view query; speedup is the brute-force frame time over the
// quadtree frame time, both warm and averaged over several frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <random>
#include <utility>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "LOOM/space/QTree.h"
#include "bench/BenchSeconds.h"
#include "bench/CountingNew.h"

namespace {
// A smoke run checks the same agreement on a tenth of the objects: the pairs grow with the square.
const size_t kObjects = BenchSmoke() ? 1000 : 10000;
constexpr float kWorld = 512.0f;
constexpr float kDt = 1.0f / 60.0f;

struct World
{
    std::vector<Spatial> objects;
    std::vector<Vector3> velocities;

    explicit World(uint32_t seed) : objects(kObjects), velocities(kObjects)
    {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> ground(0.0f, kWorld);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (size_t i = 0; i < kObjects; ++i)
        {
            Spatial& obj = objects[i];
            obj.StorePosition(Vector3(ground(rng), unit(rng) * 10.0f, ground(rng)));
            // Mostly invader-sized, a few large ones (towers, regions).
            obj.GetLocalSphere().radius = unit(rng) < 0.01f ? 10.0f + unit(rng) * 30.0f : 0.5f + unit(rng) * 2.0f;
            if (unit(rng) < 0.2f)
            {
                const float r = obj.GetLocalSphere().radius;
                obj.SetBoundingType(Spatial::kBoundingBox);
                obj.GetLocalBox() = BoundingBox{Vector3(-r, 0, -r), Vector3(r, 2 * r, r)};
            }
            velocities[i] = Vector3((unit(rng) - 0.5f) * 20.0f, 0.0f, (unit(rng) - 0.5f) * 20.0f);
        }
    }

    void Move()
    {
        for (size_t i = 0; i < kObjects; ++i)
        {
            Vector3 p = objects[i].GetPosition() + velocities[i] * kDt;
            // Bounce off the world's edges so every object stays filed.
            if (p.x < 0.0f || p.x >= kWorld)
            {
                velocities[i].x = -velocities[i].x;
                p.x = objects[i].GetPosition().x;
            }
            if (p.z < 0.0f || p.z >= kWorld)
            {
                velocities[i].z = -velocities[i].z;
                p.z = objects[i].GetPosition().z;
            }
            objects[i].StorePosition(p);
        }
    }
};

std::array<Plane, 6> ViewFrustum()
{
    // A game camera above the middle of the map, looking down and ahead.
    Matrix4 world;
    world.FromYawPitchRoll(0.6f, -0.8f, 0.0f);
    world.m[12] = 200.0f;
    world.m[13] = 120.0f;
    world.m[14] = 150.0f;
    Matrix4 view;
    world.Inverse(view);
    const Matrix4 vp = view * Matrix4::PerspectiveFovLH(0.8f, 4.0f / 3.0f, 1.0f, 400.0f);
    // Inward planes from the columns of the view-projection (row vectors, depth 0..1).
    auto combine = [&](int j, float s) {
        const int w = 3;
        return Plane(vp.m[w] + s * vp.m[j], vp.m[4 + w] + s * vp.m[4 + j], vp.m[8 + w] + s * vp.m[8 + j],
                     vp.m[12 + w] + s * vp.m[12 + j]);
    };
    return {combine(0, 1.0f),
            combine(0, -1.0f),
            combine(1, 1.0f),
            combine(1, -1.0f),
            Plane(vp.m[2], vp.m[6], vp.m[10], vp.m[14]),
            combine(2, -1.0f)};
}

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;

size_t TreeFrame(World& world, QTree& tree, std::vector<Spatial*>& out, const std::array<Plane, 6>& frustum,
                 Pairs* pairs = nullptr)
{
    world.Move();
    for (Spatial& obj : world.objects)
        tree.UpdateObject(&obj);
    size_t found = 0;
    for (Spatial& obj : world.objects)
    {
        tree.QueryOverlaps(&obj, out);
        // Each pair is met from both sides and every object meets itself: count a < b once.
        const uint32_t a = static_cast<uint32_t>(&obj - world.objects.data());
        for (Spatial* other : out)
        {
            const uint32_t b = static_cast<uint32_t>(other - world.objects.data());
            if (a < b)
            {
                ++found;
                if (pairs)
                    pairs->emplace_back(a, b);
            }
        }
    }
    for (Spatial& obj : world.objects)
        obj.SetSeen(false);
    tree.MarkVisible(frustum);
    return found;
}

// The reference: every unordered pair once.
size_t BruteFrame(World& world, Pairs* pairs = nullptr)
{
    world.Move();
    size_t found = 0;
    const size_t n = world.objects.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (world.objects[i].Intersects(world.objects[j]))
            {
                ++found;
                if (pairs)
                    pairs->emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(j));
            }
    return found;
}

// Average seconds per frame over frames, after warm-up frames run untimed.
template <typename Frame>
double SecondsPerFrame(int warmUp, int frames, Frame&& frame)
{
    for (int i = 0; i < warmUp; ++i)
        frame();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        frame();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
}

constexpr int kCheckedFrames = 5;
constexpr int kBruteFrames = 3;

void BM_QuadtreeFrame(benchmark::State& state)
{
    World world(7);
    QTree tree;
    tree.Allocate(static_cast<uint32_t>(state.range(0)));
    tree.BuildTree(kWorld);
    std::vector<Spatial*> out;
    const std::array<Plane, 6> frustum = ViewFrustum();

    // The same overlapping pairs as brute force from the same start, over several frames.
    World reference(7);
    for (int frame = 0; frame < kCheckedFrames; ++frame)
    {
        Pairs treePairs, brutePairs;
        TreeFrame(world, tree, out, frustum, &treePairs);
        BruteFrame(reference, &brutePairs);
        std::sort(treePairs.begin(), treePairs.end());
        if (treePairs != brutePairs)
        {
            state.SkipWithError("quadtree and brute force disagree");
            return;
        }
    }
    // Both warm and averaged the same way; the quadtree first warms until its list pool has
    // seen what the motion needs.
    const double bruteSeconds = SecondsPerFrame(1, kBruteFrames, [&] { BruteFrame(reference); });
    const double treeSeconds = SecondsPerFrame(600, 60, [&] { TreeFrame(world, tree, out, frustum); });

    size_t found = 0;
    const long allocationsBefore = gAllocations.load();
    for (auto _ : state)
        found += TreeFrame(world, tree, out, frustum);
    const long allocations = gAllocations.load() - allocationsBefore;

    size_t seen = 0;
    for (const Spatial& obj : world.objects)
        seen += obj.IsSeen() ? 1 : 0;
    const double frames = static_cast<double>(state.iterations());
    state.counters["overlaps"] = static_cast<double>(found) / frames;
    state.counters["seen"] = static_cast<double>(seen);
    state.counters["allocs"] = static_cast<double>(allocations) / frames;
    state.counters["brute_ms"] = bruteSeconds * 1000.0;
    state.counters["tree_ms"] = treeSeconds * 1000.0;
    state.counters["speedup"] = bruteSeconds / treeSeconds;
}
BENCHMARK(BM_QuadtreeFrame)->Arg(5)->Arg(6)->ArgName("depth")->Unit(benchmark::kMillisecond);

void BM_BruteForceFrame(benchmark::State& state)
{
    World world(7);
    BruteFrame(world); // warm, as the quadtree is
    size_t found = 0;
    for (auto _ : state)
        found += BruteFrame(world);
    state.counters["overlaps"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BruteForceFrame)->Unit(benchmark::kMillisecond)->Iterations(kBruteFrames);
} // namespace

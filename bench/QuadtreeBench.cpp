// 10,000 moving objects per frame: move and re-file each, one overlap query per object and
// one view query, against checking every pair by brute force. Counters per frame: overlaps
// found, allocations (after warm-up), objects seen by the view query; speedup is the
// brute-force frame time over the quadtree frame time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "LOOM/space/QTree.h"

namespace {
std::atomic<long> gAllocations{0};

constexpr size_t kObjects = 10000;
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
    return {combine(0, 1.0f), combine(0, -1.0f), combine(1, 1.0f), combine(1, -1.0f),
            Plane(vp.m[2], vp.m[6], vp.m[10], vp.m[14]), combine(2, -1.0f)};
}

size_t TreeFrame(World& world, QTree& tree, std::vector<Spatial*>& out, const std::array<Plane, 6>& frustum)
{
    world.Move();
    for (Spatial& obj : world.objects)
        tree.UpdateObject(&obj);
    size_t found = 0;
    for (Spatial& obj : world.objects)
    {
        tree.QueryOverlaps(&obj, out);
        found += out.size();
    }
    for (Spatial& obj : world.objects)
        obj.SetSeen(false);
    tree.MarkVisible(frustum);
    return found;
}

size_t BruteFrame(World& world)
{
    world.Move();
    size_t found = 0;
    for (const Spatial& a : world.objects)
        for (const Spatial& b : world.objects)
            found += a.Intersects(b) ? 1 : 0;
    return found;
}

void BM_QuadtreeFrame(benchmark::State& state)
{
    World world(7);
    QTree tree;
    tree.Allocate(static_cast<uint32_t>(state.range(0)));
    tree.BuildTree(kWorld);
    std::vector<Spatial*> out;
    const std::array<Plane, 6> frustum = ViewFrustum();

    // The brute-force reference from the same start: same answers, and its time for the ratio.
    World reference(7);
    const auto start = std::chrono::steady_clock::now();
    const size_t bruteFound = BruteFrame(reference);
    const double bruteSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (TreeFrame(world, tree, out, frustum) != bruteFound)
    {
        state.SkipWithError("quadtree and brute force disagree");
        return;
    }
    // Warm up until the list pool has seen what the motion needs.
    for (int frame = 0; frame < 600; ++frame)
        TreeFrame(world, tree, out, frustum);

    size_t found = 0;
    const long allocationsBefore = gAllocations.load();
    const auto loopStart = std::chrono::steady_clock::now();
    for (auto _ : state)
        found += TreeFrame(world, tree, out, frustum);
    const double loopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loopStart).count();
    const long allocations = gAllocations.load() - allocationsBefore;

    size_t seen = 0;
    for (const Spatial& obj : world.objects)
        seen += obj.IsSeen() ? 1 : 0;
    const double frames = static_cast<double>(state.iterations());
    state.counters["overlaps"] = static_cast<double>(found) / frames;
    state.counters["seen"] = static_cast<double>(seen);
    state.counters["allocs"] = static_cast<double>(allocations) / frames;
    state.counters["brute_ms"] = bruteSeconds * 1000.0;
    state.counters["speedup"] = bruteSeconds / (loopSeconds / frames);
}
BENCHMARK(BM_QuadtreeFrame)->Arg(5)->Arg(6)->ArgName("depth")->Unit(benchmark::kMillisecond);

void BM_BruteForceFrame(benchmark::State& state)
{
    World world(7);
    size_t found = 0;
    for (auto _ : state)
        found += BruteFrame(world);
    state.counters["overlaps"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BruteForceFrame)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

// Counts every allocation so the benchmark can show that steady frames make none.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// A full physics step (integration, ground and pair contacts, messages, regions) over many
// bodies on a hilly grid, finding pairs through the quadtree; the brute-force pair search over
// the same scene runs afterwards in the same process for the ratio.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/space/QTree.h"
#include "bench/CountingNew.h"
#include "physics/PhysicsComp.h"
#include "physics/PhysicsLoom.h"
#include "physics/collision/GridGround.h"

namespace {
constexpr float kFrame = 1.0f / 60.0f;

struct Scene
{
    std::unique_ptr<PhysicsLoom> loom{PhysicsLoom::Create()};
    QTree tree;
    CogFactory cogs;
    GridGround ground{257, 257, 1.0f};

    explicit Scene(int bodies)
    {
        tree.Allocate(6);
        tree.BuildTree(256.0f);
        for (uint32_t z = 0; z < 257; ++z)
            for (uint32_t x = 0; x < 257; ++x)
                ground.SetHeight(x, z, 3.0f * std::sin(x * 0.05f) * std::cos(z * 0.04f));
        ground.ComputeNormals();
        Ground::SetCurrent(&ground);
        RegisterPositional(cogs);
        PhysicsLoom::RegisterComponents(cogs);
        auto ball = std::make_shared<Composer>(cogs, "Ball", "");
        for (uint32_t id : {1u, 50u, 51u})
            ball->AddComponent(id, cogs.Types().GetComponentFactory(id));
        cogs.Types().RegisterType("Ball", ball);
        std::mt19937 random(11);
        std::uniform_real_distribution<float> place(8.0f, 248.0f);
        std::uniform_real_distribution<float> height(2.0f, 20.0f);
        std::uniform_real_distribution<float> speed(-8.0f, 8.0f);
        std::uniform_real_distribution<float> size(0.3f, 1.2f);
        for (int i = 0; i < bodies; ++i)
        {
            Cog* cog = cogs.CreateAt("Ball", Vector3(place(random), height(random), place(random)));
            auto* positional = cog->Get<Positional>();
            positional->GetLocalSphere().radius = size(random);
            positional->SetVelocity(Vector3(speed(random), 0.0f, speed(random)));
            positional->UpdateQuadTree();
        }
        // Settle the warm-up: buffers grown, bodies on the ground.
        for (int i = 0; i < 150; ++i)
            loom->Step(kFrame);
    }
    ~Scene()
    {
        cogs.DestroyAll();
        Ground::ClearCurrent(&ground);
    }
};

double SecondsPerFrame(Scene& scene, int frames)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        scene.loom->Step(kFrame);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
}
} // namespace

static void BM_PhysicsStep(benchmark::State& state)
{
    Scene scene(static_cast<int>(state.range(0)));
    scene.loom->SetBroadPhase(PhysicsLoom::BroadPhase::QuadTree);
    const long allocationsBefore = gAllocations.load();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        scene.loom->Step(kFrame);
    const double frames = static_cast<double>(state.iterations());
    const double treeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
    const long allocations = gAllocations.load() - allocationsBefore;

    // The reference: the same scene, every pair tested.
    scene.loom->SetBroadPhase(PhysicsLoom::BroadPhase::BruteForce);
    const double bruteSeconds = SecondsPerFrame(scene, 10);
    state.counters["allocs"] = static_cast<double>(allocations) / frames;
    state.counters["brute_ms"] = bruteSeconds * 1000.0;
    state.counters["speedup"] = bruteSeconds / treeSeconds;
}
BENCHMARK(BM_PhysicsStep)->Arg(1000)->Arg(4000)->ArgName("bodies")->Unit(benchmark::kMillisecond);

// A named call through the engine's real path (Cog::CallFunction: the type's function map, the
// signature check, the component lookup, argument fetch from a pooled buffer, the member call)
// against a direct virtual call of the same member on the same component. The cog type binds
// the names a busy game type does, so the lookup walks a realistic map. Each named benchmark
// times its direct call in the same run and reports the ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "bench/CountingNew.h"
#include "bench/ThreadClock.h"

namespace {
constexpr uint32_t kWallId = 960;

class Damageable : public Comp
{
public:
    virtual void Damage(DamageInfo info) = 0;
    virtual void Aim(float x, float y, float z) = 0;
};

class Wall final : public Damageable
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "BenchWall"; }
    uint32_t GetTypeId() override { return kWallId; }
    void Damage(DamageInfo info) override
    {
        ++mCalls;
        mHp += info.mAmount;
        if (mHp <= 0.0f)
            mFatal = info;
    }
    void Aim(float x, float y, float z) override
    {
        ++mCalls;
        mAim = x + y + z;
    }
    void Other(float x, float y, float z) { mAim -= x + y + z; }
    float mHp = 1e30f;
    float mAim = 0.0f;
    long mCalls = 0;
    DamageInfo mFatal;
};

class WallFactory : public CompFactoryOf<Wall>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        // Names a busy cog type binds, so the lookup walks a realistic tree.
        const char* names[] = {"AnimationCallback",
                               "Activate",
                               "CollideMap",
                               "CollideObj",
                               "Die",
                               "Explode",
                               "Hop",
                               "Launch",
                               "OnFire",
                               "PlaySound3D",
                               "Poison",
                               "Reset",
                               "SetState",
                               "Spawn",
                               "Stun",
                               "Update"};
        for (const char* name : names)
            composer.BindMessage(name, MakeCompFunctor(kWallId, &Wall::Other));
        composer.BindMessage("Damage", MakeCompFunctor(kWallId, &Wall::Damage));
        composer.BindMessage("Aim", MakeCompFunctor(kWallId, &Wall::Aim));
    }
};
WallFactory gWallFactory;

struct Target
{
    CogFactory mCogs;
    Cog* mCog = nullptr;
    Wall* mWall = nullptr;

    Target()
    {
        ParamBuffer::AllocatePool(8);
        mCogs.Types().RegisterComponent(kWallId, &gWallFactory);
        auto type = std::make_shared<Composer>(mCogs, "BenchWall", "Bench");
        type->AddComponent(kWallId, &gWallFactory);
        mCogs.Types().RegisterType("BenchWall", type);
        mCog = mCogs.Instantiate("BenchWall");
        mCog->Initialize();
        mWall = static_cast<Wall*>(mCog->GetComponent(kWallId));
    }
};

// Alternates the named call (a buffer filled, then Cog::CallFunction) with the direct virtual
// call, timing each; reports both per call, the ratio and allocations per named call.
template <typename Fill, typename Direct>
void RunNamed(benchmark::State& state, const char* name, Fill fill, Direct direct)
{
    Target target;
    Damageable* wall = target.mWall;
    benchmark::DoNotOptimize(wall);
    constexpr int kCalls = 1000;
    const std::string function = name;
    double ours = 0.0;
    double reference = 0.0;
    long allocations = 0;
    for (auto _ : state)
    {
        const long before = gAllocations.load();
        double start = ThreadSeconds();
        for (int i = 0; i < kCalls; ++i)
        {
            ParamBuffer params;
            fill(params);
            target.mCog->CallFunction(function, params);
        }
        ours += (ThreadSeconds() - start);
        allocations += gAllocations.load() - before;
        start = ThreadSeconds();
        for (int i = 0; i < kCalls; ++i)
        {
            benchmark::DoNotOptimize(wall);
            direct(*wall);
            benchmark::ClobberMemory();
        }
        reference += (ThreadSeconds() - start);
    }
    const double calls = double(state.iterations() ? state.iterations() : 1) * kCalls;
    // Each side made kCalls calls per iteration.
    if (target.mWall->mCalls != 2 * long(calls))
        state.SkipWithError("the named call did not reach the component");
    state.counters["ns_per_call"] = ours / calls * 1e9;
    state.counters["direct_ns"] = reference / calls * 1e9;
    state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
    state.counters["allocs_per_call"] = double(allocations) / calls;
    benchmark::DoNotOptimize(target.mWall->mHp);
}

void BM_NamedDamage(benchmark::State& state)
{
    RunNamed(
        state, "Damage",
        [](ParamBuffer& params) {
            ParamTraits<DamageInfo>::Push(params, DamageInfo{0, -1.0f, 2});
        },
        [](Damageable& wall) {
            wall.Damage(DamageInfo{0, -1.0f, 2});
        });
}
BENCHMARK(BM_NamedDamage);

void BM_NamedAim(benchmark::State& state)
{
    RunNamed(
        state, "Aim",
        [](ParamBuffer& params) {
            params.PushFloat(1.0f);
            params.PushFloat(2.0f);
            params.PushFloat(3.0f);
        },
        [](Damageable& wall) { wall.Aim(1.0f, 2.0f, 3.0f); });
}
BENCHMARK(BM_NamedAim);
} // namespace

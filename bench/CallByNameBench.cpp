// A named call through the whole path (name lookup, signature check, argument fetch from a
// pooled buffer, member call) against a direct virtual call of the same member.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/ParamBuffer.h"
#include "bench/CountingNew.h"

namespace {
class Damageable
{
public:
    virtual ~Damageable() = default;
    virtual void Damage(DamageInfo info) = 0;
    virtual void Aim(float x, float y, float z) = 0;
};

class Wall final : public Damageable
{
public:
    void Damage(DamageInfo info) override
    {
        mHp += info.mAmount;
        if (mHp <= 0.0f)
            mFatal = info;
    }
    void Aim(float x, float y, float z) override { mAim = x + y + z; }
    float mHp = 1e30f;
    float mAim = 0.0f;
    DamageInfo mFatal;
};

// The function map a cog type keeps: ordered, case-sensitive, looked up without building a string.
using FunctionMap = std::map<std::string, std::unique_ptr<CommandFunctor>, std::less<>>;

FunctionMap MakeMap()
{
    FunctionMap map;
    // Names a busy cog type binds, so the lookup walks a realistic tree.
    const char* names[] = {"AnimationCallback", "Activate", "CollideMap", "CollideObj", "Die", "Explode",
                           "Hop", "Launch", "OnFire", "PlaySound3D", "Poison", "Reset", "SetState",
                           "Spawn", "Stun", "Update"};
    for (const char* name : names)
        map[name] = std::make_unique<MemberFunctor<decltype(&Damageable::Aim)>>(&Damageable::Aim);
    map["Damage"] = std::make_unique<MemberFunctor<decltype(&Damageable::Damage)>>(&Damageable::Damage);
    map["Aim"] = std::make_unique<MemberFunctor<decltype(&Damageable::Aim)>>(&Damageable::Aim);
    return map;
}

bool CallByName(FunctionMap& map, void* target, std::string_view name, ParamBuffer& params)
{
    auto it = map.find(name);
    if (it == map.end() || it->second->Signature() != params.GetSignature())
        return false;
    it->second->Invoke(target, params);
    return true;
}

void BM_DirectVirtualDamage(benchmark::State& state)
{
    Wall wall;
    Damageable* target = &wall;
    benchmark::DoNotOptimize(target);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(target);
        target->Damage(DamageInfo{0, -1.0f, 2});
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(wall.mHp);
}
BENCHMARK(BM_DirectVirtualDamage);

// The full named path: fill a pooled buffer, look the name up, check the signature, call.
template <typename Fill>
void RunNamed(benchmark::State& state, std::string_view name, Fill fill)
{
    ParamBuffer::AllocatePool(8);
    FunctionMap map = MakeMap();
    Wall wall;
    Damageable* target = &wall;
    benchmark::DoNotOptimize(target);
    const long before = gAllocations.load();
    bool ok = true;
    for (auto _ : state)
    {
        ParamBuffer params;
        fill(params);
        ok &= CallByName(map, target, name, params);
    }
    const long allocations = gAllocations.load() - before;
    if (!ok)
        state.SkipWithError("the named call was refused");
    state.counters["allocs_per_call"] =
        benchmark::Counter(double(allocations) / double(state.iterations() ? state.iterations() : 1));
    benchmark::DoNotOptimize(wall.mHp);
    benchmark::DoNotOptimize(wall.mAim);
}

void BM_NamedDamage(benchmark::State& state)
{
    RunNamed(state, "Damage", [](ParamBuffer& params) { ParamTraits<DamageInfo>::Push(params, DamageInfo{0, -1.0f, 2}); });
}
BENCHMARK(BM_NamedDamage);

void BM_DirectVirtualAim(benchmark::State& state)
{
    Wall wall;
    Damageable* target = &wall;
    benchmark::DoNotOptimize(target);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(target);
        target->Aim(1.0f, 2.0f, 3.0f);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(wall.mAim);
}
BENCHMARK(BM_DirectVirtualAim);

void BM_NamedAim(benchmark::State& state)
{
    RunNamed(state, "Aim", [](ParamBuffer& params) {
        params.PushFloat(1.0f);
        params.PushFloat(2.0f);
        params.PushFloat(3.0f);
    });
}
BENCHMARK(BM_NamedAim);
} // namespace

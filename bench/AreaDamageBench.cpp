// 20 continuous explosions over 500 invaders: each frame every explosion damages every invader
// in its region through the "Damage" message, as the game does. The reference walks the same
// contacts and calls the invader component's damage directly. Reports our time over the
// reference's ("ratio", goal <= 3) and the allocations per frame (goal 0).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "LOOM/space/QTree.h"
#include "bench/BenchCogs.h"
#include "bench/BenchLogic.h"
#include "bench/CountingNew.h"
#include "bench/PairedRun.h"
#include "bench/ThreadClock.h"
#include "game/components/Explosives.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "physics/RegionComp.h"

namespace {
constexpr int kInvaders = 500;
constexpr int kBlasts = 20;

void BM_AreaDamage(benchmark::State& state)
{
    QTree tree;
    tree.Init();
    CogFactory& cogs = CogFactory::Instance();
    RegisterRegionComp(cogs);
    std::unique_ptr<LogicLoom> logic = StartLogic(cogs);
    MakeType(cogs, "BenchInvader", {1, Kestrane::kTypeId});
    MakeType(cogs, "BenchBlast", {1, RegionComp::kTypeId, RegionExplosionDamage::kTypeId});

    RandomSeed(9);
    for (int i = 0; i < kInvaders; ++i)
    {
        Cog* cog =
            CreateAt(cogs, "BenchInvader", Vector3(RandomFloat(60.0f, 140.0f), 1.0f, RandomFloat(60.0f, 140.0f)));
        Kestrane* k = cog->Get<Kestrane>();
        k->mCurHP = k->mMaxHP = 1e9f;
    }
    std::vector<RegionExplosionDamage*> blasts;
    std::vector<Spatial*> scratch;
    for (int i = 0; i < kBlasts; ++i)
    {
        Cog* cog = cogs.Allocate("BenchBlast");
        RegionComp* region = cog->Get<RegionComp>();
        region->mRegionType = 0;
        cog->Get<Positional>()->SetPosition(Vector3(100.0f, 1.0f, 100.0f));
        cog->Initialize();
        region->GetLocalSphere().radius = 80.0f;
        region->Refresh(scratch);
        auto* blast = cog->Get<RegionExplosionDamage>();
        blast->ContinuousDamage = true;
        blast->DamageTerrain = false;
        blasts.push_back(blast);
    }
    size_t contacts = 0;
    for (RegionExplosionDamage* blast : blasts)
        contacts += blast->GetOwner()->Get<RegionComp>()->GetContacts().size();

    // The reference: the same contacts, the invader's damage called directly.
    auto direct = [&]() {
        for (RegionExplosionDamage* blast : blasts)
        {
            Cog* owner = blast->GetOwner();
            const DamageInfo hit{static_cast<int32_t>(owner->GetID()), -blast->DamageAmount, 4};
            auto* region = owner->Get<RegionComp>();
            for (uint32_t id : region->GetContacts())
            {
                Cog* contact = cogs.GetCog(id);
                if (Kestrane* k = contact ? contact->Get<Kestrane>() : nullptr)
                    k->Damage(hit);
            }
        }
    };
    for (RegionExplosionDamage* blast : blasts)
        blast->ApplyDamage();
    direct();

    RunPaired(
        state, "direct_us", ThreadSeconds, [](long) {},
        [&] {
            for (RegionExplosionDamage* blast : blasts)
                blast->ApplyDamage();
        },
        direct);
    state.counters["contacts"] = static_cast<double>(contacts);
    cogs.DestroyAll();
    logic.reset();
}
BENCHMARK(BM_AreaDamage)->Unit(benchmark::kMicrosecond);
} // namespace

// Per-frame cog work: updating the active cogs, calling a handler by name, finding a component
// by its class, and the create/destroy cycle of short-lived cogs.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "bench/ThreadClock.h"

namespace {
class Counter : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    static constexpr uint32_t kTypeId = 900;
    std::string GetTypeName() override { return "Counter"; }
    uint32_t GetTypeId() override { return kTypeId; }
    void Tick() { ++mTicks; }
    void Damage(float amount) { mHealth += amount; }
    int mTicks = 0;
    float mHealth = 100.0f;
};

class CounterFactory : public CompFactoryOf<Counter>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(900, &Counter::Damage));
        composer.AddOwnedUpdate(MakeCompFunctor(900, &Counter::Tick));
    }
};

CounterFactory gCounterFactory;

void MakeType(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(900, &gCounterFactory);
    auto type = std::make_shared<Composer>(cogs, "Counter", "Counters");
    type->AddComponent(900, &gCounterFactory);
    cogs.Types().RegisterType("Counter", type);
}

void BM_UpdateAll(benchmark::State& state)
{
    CogFactory cogs;
    MakeType(cogs);
    for (int64_t i = 0; i < state.range(0); ++i)
        cogs.Instantiate("Counter")->Initialize();
    for (auto _ : state)
        cogs.UpdateAll();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UpdateAll)->Arg(100)->Arg(1000);

void BM_CallHandlerByName(benchmark::State& state)
{
    CogFactory cogs;
    MakeType(cogs);
    Cog* cog = cogs.Instantiate("Counter");
    cog->Initialize();
    ParamBuffer params;
    for (auto _ : state)
    {
        params.Clear();
        params.PushFloat(-1.0f);
        cog->CallFunction("Damage", params);
    }
}
BENCHMARK(BM_CallHandlerByName);

// A component that only takes a place in the cog, so the looked-up one is not first.
template <uint32_t Id>
class Filler : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "Filler"; }
    uint32_t GetTypeId() override { return Id; }
};
CompFactoryOf<Filler<901>> gFiller1;
CompFactoryOf<Filler<902>> gFiller2;
CompFactoryOf<Filler<903>> gFiller3;

// The counter of each of 1,000 four-component cogs found by its class, against the same
// counters through pointers held beforehand; reports both per cog and the ratio.
void BM_ComponentAccess(benchmark::State& state)
{
    CogFactory cogs;
    cogs.Types().RegisterComponent(901, &gFiller1);
    cogs.Types().RegisterComponent(902, &gFiller2);
    cogs.Types().RegisterComponent(903, &gFiller3);
    cogs.Types().RegisterComponent(900, &gCounterFactory);
    auto type = std::make_shared<Composer>(cogs, "Walker", "Walkers");
    type->AddComponent(901, &gFiller1);
    type->AddComponent(902, &gFiller2);
    type->AddComponent(903, &gFiller3);
    type->AddComponent(900, &gCounterFactory);
    cogs.Types().RegisterType("Walker", type);
    constexpr int kCogs = 1000;
    std::vector<Cog*> walkers;
    std::vector<Counter*> held;
    for (int i = 0; i < kCogs; ++i)
    {
        walkers.push_back(cogs.Instantiate("Walker"));
        walkers.back()->Initialize();
        held.push_back(walkers.back()->Get<Counter>());
    }
    double ours = 0.0;
    double reference = 0.0;
    for (auto _ : state)
    {
        double start = ThreadSeconds();
        for (Cog* cog : walkers)
        {
            benchmark::DoNotOptimize(cog);
            cog->Get<Counter>()->Tick();
        }
        ours += ThreadSeconds() - start;
        start = ThreadSeconds();
        for (Counter* counter : held)
        {
            benchmark::DoNotOptimize(counter);
            counter->Tick();
        }
        reference += ThreadSeconds() - start;
    }
    const double looks = double(state.iterations() ? state.iterations() : 1) * kCogs;
    if (held.front()->mTicks != 2 * long(state.iterations()))
        state.SkipWithError("the lookup did not reach the counter");
    state.counters["ns_per_cog"] = ours / looks * 1e9;
    state.counters["held_ns"] = reference / looks * 1e9;
    state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
}
BENCHMARK(BM_ComponentAccess);

void BM_CreateAndDestroy(benchmark::State& state)
{
    CogFactory cogs;
    MakeType(cogs);
    for (auto _ : state)
    {
        Cog* cog = cogs.Instantiate("Counter");
        cog->Initialize();
        cog->Destroy();
        cogs.ProcessDestroyList();
    }
}
BENCHMARK(BM_CreateAndDestroy);
} // namespace

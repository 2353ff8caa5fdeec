// Per-frame cog work: updating the active cogs, calling a handler by name, and the
// create/destroy cycle of short-lived cogs.
#include <benchmark/benchmark.h>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/CompFactory.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/serial/Serializer.h"

namespace {
class Counter : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "Counter"; }
    uint32_t GetTypeId() override { return 900; }
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
    cogs.RegisterComponent(900, &gCounterFactory);
    auto type = std::make_shared<Composer>(cogs, "Counter", "Counters");
    type->AddComponent(900, &gCounterFactory);
    cogs.RegisterType("Counter", type);
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

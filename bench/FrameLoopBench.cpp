// The bare frame loop (no looms, no rendering) over 10,000 cogs that each carry a Positional and
// one trivial updating component, against a plain loop over the same number of structs.
#include <benchmark/benchmark.h>

#include <vector>

#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/CompFactory.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"

namespace {
constexpr int kCogs = 10000;
constexpr uint32_t kSpinnerId = 950;

class SpinnerComp : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "Spinner"; }
    uint32_t GetTypeId() override { return kSpinnerId; }
    void Tick() { mAngle += 0.01f; }
    float mAngle = 0.0f;
};

class SpinnerFactory : public CompFactoryOf<SpinnerComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.AddOwnedUpdate(MakeCompFunctor(kSpinnerId, &SpinnerComp::Tick));
    }
};
SpinnerFactory gSpinnerFactory;

void BM_FrameLoop(benchmark::State& state)
{
    EngineConfig::Instance() = EngineConfig();
    CoreEngine engine(nullptr, LoomFactories{});
    engine.Start();
    CogFactory& cogs = CogFactory::Instance();
    cogs.RegisterComponent(kSpinnerId, &gSpinnerFactory);
    auto composer = std::make_shared<Composer>(cogs, "Spinner", "Bench");
    composer->AddComponent(1, cogs.GetComponentFactory(1));
    composer->AddComponent(kSpinnerId, &gSpinnerFactory);
    cogs.RegisterType("Spinner", composer);
    for (int i = 0; i < kCogs; ++i)
        cogs.Create("Spinner");

    for (auto _ : state)
        engine.Frame();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    cogs.DestroyAll();
}
BENCHMARK(BM_FrameLoop)->Unit(benchmark::kMicrosecond);

struct PlainObject
{
    float mPosition[3] = {};
    float mAngle = 0.0f;
};

void BM_PlainLoop(benchmark::State& state)
{
    std::vector<PlainObject> objects(kCogs);
    for (auto _ : state)
    {
        for (PlainObject& object : objects)
            object.mAngle += 0.01f;
        benchmark::DoNotOptimize(objects.data());
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMicrosecond);
} // namespace

// The bare frame loop (no looms, no rendering) over 10,000 cogs that each carry a Positional and
// one trivial updating component, against a plain loop over the same number of structs timed in
// the same run ("ratio", ns_per_cog; aim 10 ns a cog).
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "bench/ThreadClock.h"

namespace {
constexpr int kCogs = 10000;

struct PlainObject
{
    float mPosition[3] = {};
    float mAngle = 0.0f;
};

void PlainPass(std::vector<PlainObject>& objects)
{
    for (PlainObject& object : objects)
        object.mAngle += 0.01f;
    benchmark::DoNotOptimize(objects.data());
    benchmark::ClobberMemory();
}
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
    cogs.Types().RegisterComponent(kSpinnerId, &gSpinnerFactory);
    auto composer = std::make_shared<Composer>(cogs, "Spinner", "Bench");
    composer->AddComponent(1, cogs.Types().GetComponentFactory(1));
    composer->AddComponent(kSpinnerId, &gSpinnerFactory);
    cogs.Types().RegisterType("Spinner", composer);
    for (int i = 0; i < kCogs; ++i)
        cogs.Create("Spinner");

    std::vector<PlainObject> objects(kCogs);
    double ours = 0.0;
    double reference = 0.0;
    for (auto _ : state)
    {
        double start = ThreadSeconds();
        engine.Frame();
        ours += (ThreadSeconds() - start);
        start = ThreadSeconds();
        PlainPass(objects);
        reference += (ThreadSeconds() - start);
    }
    const double frames = double(state.iterations() ? state.iterations() : 1);
    state.counters["ns_per_cog"] = ours / frames / kCogs * 1e9;
    state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
    cogs.DestroyAll();
}
BENCHMARK(BM_FrameLoop)->Unit(benchmark::kMicrosecond);

void BM_PlainLoop(benchmark::State& state)
{
    std::vector<PlainObject> objects(kCogs);
    for (auto _ : state)
        PlainPass(objects);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMicrosecond);
} // namespace

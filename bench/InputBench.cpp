// One input frame: the IO loom's update plus a ControlMap of 32 bindings, 4 of them firing,
// against the same checks written out as direct key-state calls that call the handlers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <string>

#include <SDL.h>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "bench/CountingNew.h"
#include "input/ControlMap.h"
#include "input/IOLoom.h"
#include "input/KeyNames.h"
#include "tests/LOOM/support/TestComp.h"

namespace {

constexpr uint32_t kTargetId = 970;
constexpr int kBindings = 32;
constexpr int kFiring = 4;
const char* const kWhen[] = {"Pressed", "Triggered", "Released"};

class Target : public TestComp<kTargetId, "Target">
{
public:
    void Hit() { ++mHits; }
    long mHits = 0;
};

class TargetFactory : public CompFactoryOf<Target>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Hit", MakeCompFunctor(kTargetId, &Target::Hit));
    }
};
TargetFactory gTargetFactory;

const char* KeyNameAt(int i)
{
    static const char* names[kBindings] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K",
                                           "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V",
                                           "W", "X", "Y", "Z", "1", "2", "3", "4", "5", "6"};
    return names[i];
}

// The first kFiring bindings are held "Pressed" keys; the rest mix every When on idle keys.
const char* WhenAt(int i) { return i < kFiring ? "Pressed" : kWhen[i % 3]; }

std::string WriteControlFile()
{
    std::string path = (std::filesystem::temp_directory_path() / "loom_input_bench_controls.xml").string();
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n<ControlSet>\n"
        << "<list name=\"Bindings\" size=\"" << kBindings << "\" type=\"Binding\">\n";
    for (int i = 0; i < kBindings; ++i)
        out << "<Binding><string name=\"Key\">" << KeyNameAt(i) << "</string><string name=\"When\">" << WhenAt(i)
            << "</string><string name=\"Message\">Hit</string><string name=\"Argument\"></string>"
            << "<string name=\"Command\"></string></Binding>\n";
    out << "</list>\n</ControlSet>\n</Stream>\n";
    return path;
}

// A loom with the firing keys held.
std::unique_ptr<IOLoom> HeldLoom()
{
    std::unique_ptr<IOLoom> loom(IOLoom::Create());
    loom->Init();
    loom->SetScreenSize(800, 600);
    for (int i = 0; i < kFiring; ++i)
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.scancode = static_cast<SDL_Scancode>(FindKeyName(KeyNameAt(i))->mKey);
        loom->HandleEvent(event);
    }
    return loom;
}

std::map<std::string, double>& Times()
{
    static std::map<std::string, double> times;
    return times;
}

void BM_DirectChecks(benchmark::State& state)
{
    std::unique_ptr<IOLoom> loom = HeldLoom();
    Target target;
    int keys[kBindings];
    int when[kBindings];
    for (int i = 0; i < kBindings; ++i)
    {
        keys[i] = FindKeyName(KeyNameAt(i))->mKey;
        when[i] = i < kFiring ? 0 : i % 3;
    }
    for (auto _ : state)
    {
        loom->Update();
        for (int i = 0; i < kBindings; ++i)
        {
            const bool fires = when[i] == 0 ? loom->IsKeyPressed(keys[i])
                : when[i] == 1              ? loom->IsKeyTriggered(keys[i])
                                            : loom->IsKeyReleased(keys[i]);
            if (fires)
                target.Hit();
        }
        benchmark::ClobberMemory();
    }
    if (target.mHits != long(state.iterations()) * kFiring)
        state.SkipWithError("the direct checks fired the wrong number of times");
}
BENCHMARK(BM_DirectChecks);

void BM_ControlMap(benchmark::State& state)
{
    std::unique_ptr<IOLoom> loom = HeldLoom();
    CogFactory cogs;
    RegisterInputComponents(cogs);
    cogs.Types().RegisterComponent(kTargetId, &gTargetFactory);
    auto type = std::make_shared<Composer>(cogs, "Player", "Input");
    type->AddComponent(kTargetId, &gTargetFactory);
    type->AddComponent(ControlMap::kTypeId, cogs.Types().GetComponentFactory(ControlMap::kTypeId));
    cogs.Types().RegisterType("Player", type);
    Cog* cog = cogs.Instantiate("Player");
    cog->Get<ControlMap>()->SetControlFile(WriteControlFile());
    cog->Initialize();
    Target& target = *static_cast<Target*>(cog->GetComponent(kTargetId));

    const long before = gAllocations.load();
    for (auto _ : state)
    {
        loom->Update();
        cog->Update();
        benchmark::ClobberMemory();
    }
    const long allocations = gAllocations.load() - before;
    state.counters["allocs_per_frame"] =
        benchmark::Counter(double(allocations) / double(state.iterations() ? state.iterations() : 1));
    if (target.mHits != long(state.iterations()) * kFiring)
        state.SkipWithError("the ControlMap fired the wrong number of times");
}
BENCHMARK(BM_ControlMap);

// Prints the usual table, then our frame against the reference.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            Times()[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto ours = Times().find("BM_ControlMap");
        const auto reference = Times().find("BM_DirectChecks");
        if (ours != Times().end() && reference != Times().end() && reference->second > 0.0)
            std::printf("ControlMap frame / direct checks: %.2f\n", ours->second / reference->second);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

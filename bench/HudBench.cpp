// The HUD's frame with 1,000 invaders, 200 traps and 300 walls on the mini-map, against a plain
// loop that copies the same positions into map coordinates. Reports our time over the
// reference's ("ratio", goal <= 3) and the allocations per frame after the first (goal 0).
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
#include "game/invaders/Kestrane.h"
#include "game/level/Wall.h"
#include "game/logic/DataController.h"
#include "game/logic/HeadlessScene.h"
#include "game/logic/LogicLoom.h"
#include "game/player/HUDComp.h"
#include "game/traps/TrapData.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/widgets/Widgets.h"

namespace {
constexpr float kSide = 256.0f;

class ExtentSeam : public HeadlessScene
{
public:
    bool GetMapExtent(float& width, float& depth) override
    {
        width = depth = kSide;
        return true;
    }
};

void Scatter(CogFactory& cogs, const std::string& type, int count)
{
    for (int i = 0; i < count; ++i)
        CreateAt(cogs, type, Vector3(RandomFloat(0.0f, kSide), 1.0f, RandomFloat(0.0f, kSide)));
}

template <typename T>
std::unique_ptr<Widget> Make(const char* type, const char* name)
{
    std::unique_ptr<Widget> widget = CreateWidget(type);
    widget->SetName(name);
    return widget;
}

void BM_HudFrame(benchmark::State& state)
{
    QTree tree;
    tree.Init();
    ExtentSeam seam;
    SetSceneSeam(&seam);
    RegisterGuiWidgetTypes();
    CogFactory& cogs = CogFactory::Instance();
    cogs.Types().RegisterComponent(WidgetComp::kTypeId, WidgetComp::Factory());
    std::unique_ptr<LogicLoom> logic = StartLogic(cogs);
    logic->Init();
    DataController& data = *logic->mDataController;
    data.mGameState = StateInLevel;
    MakeType(cogs, "BenchInvader", {1, Kestrane::kTypeId});
    MakeType(cogs, "BenchTrap", {1, TrapData::kTypeId});
    MakeType(cogs, "BenchWall", {1, Wall::kTypeId});
    MakeType(cogs, "BenchHud", {WidgetComp::kTypeId, HUDComp::kTypeId});
    RandomSeed(11);
    Scatter(cogs, "BenchInvader", 1000);
    Scatter(cogs, "BenchTrap", 200);
    Scatter(cogs, "BenchWall", 300);

    Cog* hudCog = cogs.Allocate("BenchHud");
    hudCog->Initialize();
    auto root = Make<Widget>("Widget", "Root");
    root->AddChild(Make<MapImageBox>("MapImageBox", "MiniMapImageBox"));
    root->AddChild(Make<HealthBar>("HealthBar", "TowerHealth"));
    for (const char* name : {"CreditsNum", "KillsNum", "TimeNum"})
        root->AddChild(Make<TextBox>("TextBox", name));
    root->AddChild(Make<ToolBar>("ToolBar", "TrapDropToolBar"));
    hudCog->Get<WidgetComp>()->SetRoot(std::move(root));
    HUDComp& hud = *hudCog->Get<HUDComp>();

    // The reference: the same lists, each position copied into map coordinates.
    std::vector<float> copied;
    copied.reserve(2 * (data.mInvaders.size() + data.mTraps.size() + data.mWalls.size()));
    auto plain = [&]() {
        copied.clear();
        auto add = [&](const Positional* p) {
            if (!p)
                return;
            copied.push_back(p->GetPosition().x / kSide);
            copied.push_back(p->GetPosition().z / kSide);
        };
        for (Comp* c : data.mInvaders)
            add(c->GetOwnerPositional());
        for (Comp* c : data.mTraps)
            add(c->GetOwnerPositional());
        for (Wall* w : data.mWalls)
            add(w->GetOwnerPositional());
        benchmark::DoNotOptimize(copied.data());
    };
    hud.Update();
    plain();

    auto steadySeconds = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
    RunPaired(
        state, "plain_us", steadySeconds, [](long) {}, [&] { hud.Update(); }, plain);
    const auto* map = static_cast<MapImageBox*>(hudCog->Get<WidgetComp>()->Find("MiniMapImageBox"));
    state.counters["icons"] = static_cast<double>(map ? map->Icons().size() : 0);
    cogs.DestroyAll();
    logic.reset();
    SetSceneSeam(nullptr);
}
BENCHMARK(BM_HudFrame)->Unit(benchmark::kMicrosecond);
} // namespace

// The first level's field with a crowd of grunts at the spikes, frame by frame at 1024x768 on
// the GL device: the whole engine with every loom runs on a copy of data/, with the level built
// and the traps firing. Two crowds: 24 grunts (a stress crowd, far more than the level sends)
// and 5, the most level 1 has alive at once (its waves bring one grunt every six seconds). The
// reference is the empty frame (clear and present) on the same device in the same run; both end
// each frame when the GPU has finished it. Each crowd reports frames per second of both and the
// ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "bench/BenchSeconds.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "graphics/GraphicsLoom.h"

#include "BenchGame.h"

namespace fs = std::filesystem;

namespace {

// The stress crowd, and the most grunts level 1 has alive at once.
constexpr int kStressCrowd = 24;
constexpr int kLevelCrowd = 5;

struct Game
{
    fs::path mDir;
    PlatformWindow* mWindow = nullptr;
    std::string mError;
    double mEmptyMs = 0.0;
    std::vector<uint32_t> mCrowd;
};

// A private copy of the data folder with a start script that only sets the scene.
bool PrepareData(Game& g)
{
    if (!bench_game::UseDataCopy(LOOM_DATA_FOLDER, "game_frame_bench", g.mDir, g.mError))
        return false;
    if (!bench_game::WriteFile(g.mDir / "Scripts" / "Bench.lua",
                               "function GUpdate() if LevelUpdate then LevelUpdate() end end\n"))
        return false;
    // The camera looks down at the spikes behind the gap from the tower's side.
    std::FILE* in = std::fopen((g.mDir / "Cogs" / "Camera.xml").string().c_str(), "rb");
    if (!in)
        return false;
    std::string camera;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        camera.append(buffer, n);
    std::fclose(in);
    auto replace = [&camera](const std::string& from, const std::string& to) {
        const size_t at = camera.find(from);
        if (at != std::string::npos)
            camera.replace(at, from.size(), to);
    };
    replace("<real name=\"x\">256</real>", "<real name=\"x\">258</real>");
    replace("<real name=\"z\">400</real>", "<real name=\"z\">420</real>");
    replace("<real name=\"x\">0</real>\n\t\t\t\t<real name=\"y\">0</real>\n\t\t\t\t<real "
            "name=\"z\">0</real>\n\t\t\t\t<real name=\"w\">1</real>",
            "<real name=\"x\">0.3007</real>\n\t\t\t\t<real name=\"y\">0</real>\n\t\t\t\t<real "
            "name=\"z\">0</real>\n\t\t\t\t<real name=\"w\">0.9537</real>");
    return bench_game::WriteFile(g.mDir / "Cogs" / "BenchCamera.xml", camera);
}

Game& Get()
{
    static Game* game = [] {
        auto* g = new Game();
        if (!PrepareData(*g))
            return g;
        if (!bench_game::StartEngine("Scripts\\Bench.lua", kBenchWidth, kBenchHeight, g->mWindow, g->mError))
            return g;
        Console& console = Console::Instance();
        console.ExecuteLine("Create LevelGround");
        console.ExecuteLine("LogicCreateLevel Scripts\\Levels\\L1.lua");
        console.ExecuteLine("Create Cogs\\BenchCamera.xml");
        return g;
    }();
    return *game;
}

void BM_EmptyFrame(benchmark::State& state)
{
    Game& g = Get();
    g.mEmptyMs = bench_game::TimeEmptyFrame(state, g.mError);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

// Replaces the crowd: count grunts in front of the spikes behind the gap in the wall line, then
// frames until they have landed and the traps fire.
void SetCrowd(Game& g, int count)
{
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : g.mCrowd)
        if (Cog* cog = cogs.GetCog(id))
            cog->Destroy();
    g.mCrowd.clear();
    for (int i = 0; i < count; ++i)
    {
        const float x = 250.0f + 4.0f * float(i % 6), z = 330.0f + 4.0f * float(i / 6);
        if (Cog* cog = cogs.CreateAt("grunt", Vector3(x, 2.0f, z)))
            g.mCrowd.push_back(cog->GetID());
    }
    for (int i = 0; i < 120; ++i)
        gCoreEngine->Frame();
}

// Argument: the crowd's size.
void BM_CrowdFrame(benchmark::State& state)
{
    Game& g = Get();
    if (!g.mError.empty() || !gCoreEngine)
        return state.SkipWithError(g.mError.c_str());
    SetCrowd(g, int(state.range(0)));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        gCoreEngine->Frame();
        FinishFrame();
    }
    const double gameMs = MsPerIteration(state, start);
    int alive = 0;
    for (uint32_t id : g.mCrowd)
        alive += CogFactory::Instance().GetCog(id) != nullptr;
    state.counters["crowd_alive"] = double(alive);
    state.counters["level_invaders"] = double(LogicLoom::Instance()->mDataController->mLiveInvaders);
    state.counters["fps"] = gameMs > 0.0 ? 1000.0 / gameMs : 0.0;
    state.counters["empty_fps"] = g.mEmptyMs > 0.0 ? 1000.0 / g.mEmptyMs : 0.0;
    state.counters["ratio_game_to_empty"] = g.mEmptyMs > 0.0 ? gameMs / g.mEmptyMs : 0.0;
}
BENCHMARK(BM_CrowdFrame)
    ->Arg(kStressCrowd)
    ->Arg(kLevelCrowd)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(3.0));

} // namespace

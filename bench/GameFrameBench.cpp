// The game's busiest moment of the first level, frame by frame at 1024x768 on the GL device: the
// whole engine with every loom runs on a copy of data/, with the level built, the largest wave
// alive at once around the spikes and the traps firing. The reference is the empty frame (clear
// and present) on the same device in the same run; the last benchmark reports frames per second
// of both and the ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "audio/AudioLoom.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/player/PlayerBinding.h"
#include "graphics/GraphicsLoom.h"
#include "input/IOLoom.h"
#include "network/NetworkLoom.h"
#include "physics/PhysicsLoom.h"
#include "platform/PlatformWindow.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// The largest wave of the first level, all out at once, and then some: the benchmark's crowd.
constexpr int kInvaders = 24;

struct Game
{
    fs::path mDir;
    PlatformWindow* mWindow = nullptr;
    std::string mError;
    double mEmptyMs = 0.0, mGameMs = 0.0;
};

// A private copy of the data folder with a start script that only sets the scene.
bool PrepareData(Game& g)
{
    g.mDir = fs::temp_directory_path() / ("game_frame_bench_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(g.mDir, ec);
    fs::copy(LOOM_DATA_FOLDER, g.mDir, fs::copy_options::recursive, ec);
    if (ec)
    {
        g.mError = "cannot copy the data folder: " + ec.message();
        return false;
    }
    std::FILE* script = std::fopen((g.mDir / "Scripts" / "Bench.lua").string().c_str(), "w");
    if (!script)
        return false;
    std::fputs("function GUpdate() if LevelUpdate then LevelUpdate() end end\n", script);
    std::fclose(script);
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
    replace("<real name=\"x\">0</real>\n\t\t\t\t<real name=\"y\">0</real>\n\t\t\t\t<real name=\"z\">0</real>\n\t\t\t\t<real name=\"w\">1</real>",
            "<real name=\"x\">0.3007</real>\n\t\t\t\t<real name=\"y\">0</real>\n\t\t\t\t<real name=\"z\">0</real>\n\t\t\t\t<real name=\"w\">0.9537</real>");
    std::FILE* out = std::fopen((g.mDir / "Cogs" / "BenchCamera.xml").string().c_str(), "wb");
    if (!out)
        return false;
    std::fwrite(camera.data(), 1, camera.size(), out);
    std::fclose(out);
    fs::current_path(g.mDir);
    static fs::path sCopy = g.mDir;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(sCopy, ignored);
    });
    return true;
}

Game& Get()
{
    static Game* game = [] {
        auto* g = new Game();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        if (!PrepareData(*g))
            return g;
        g->mWindow = PlatformWindow::Create();
        if (!g->mWindow || !PlatformWindow::GetHandle())
        {
            g->mError = "no window";
            return g;
        }
        SetDataPathFromCwd();
        LoomFactories looms;
        looms.mAudio = []() -> Loom* { return AudioLoom::Create(); };
        looms.mIO = []() -> Loom* { return IOLoom::Create(); };
        looms.mNetwork = []() -> Loom* { return NetworkLoom::Create(); };
        looms.mPhysics = []() -> Loom* { return PhysicsLoom::Create(); };
        looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
        static PlayerBinding player;
        SetPlayerSide(&player);
        looms.mLogic = []() -> Loom* { return LogicLoom::Create(); };
        gCoreEngine = new CoreEngine(g->mWindow, looms);
        LoadEngineConfig("config.xml");
        EngineConfig::Instance().mStartupScript = "Scripts\\Bench.lua";
        gCoreEngine->Start();
        GraphicsLoom* graphics = GraphicsLoom::Instance();
        if (!graphics || !graphics->GetDevice())
        {
            g->mError = "no graphics device";
            return g;
        }
        graphics->SetResolution(kWidth, kHeight);
        Console& console = Console::Instance();
        console.ExecuteLine("Create LevelGround");
        console.ExecuteLine("LogicCreateLevel Scripts\\Levels\\L1.lua");
        console.ExecuteLine("Create Cogs\\BenchCamera.xml");
        // The crowd stands in front of the spikes behind the gap in the wall line.
        for (int i = 0; i < kInvaders; ++i)
        {
            const float x = 250.0f + 4.0f * float(i % 6), z = 330.0f + 4.0f * float(i / 6);
            console.ExecuteLine("CreateAt grunt v " + std::to_string(x) + " 2 " + std::to_string(z));
        }
        // Let them land and the traps start firing.
        for (int i = 0; i < 120; ++i)
            gCoreEngine->Frame();
        return g;
    }();
    return *game;
}

double MsPerIteration(const benchmark::State& state, std::chrono::steady_clock::time_point start)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return ms / double(state.iterations() ? state.iterations() : 1);
}

void BM_EmptyFrame(benchmark::State& state)
{
    Game& g = Get();
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    if (!g.mError.empty() || !graphics || !graphics->GetDevice())
        return state.SkipWithError(g.mError.c_str());
    GraphicsDevice& device = *graphics->GetDevice();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        device.Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
        device.Present();
    }
    g.mEmptyMs = MsPerIteration(state, start);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_BusiestGameFrame(benchmark::State& state)
{
    Game& g = Get();
    if (!g.mError.empty() || !gCoreEngine)
        return state.SkipWithError(g.mError.c_str());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        gCoreEngine->Frame();
    g.mGameMs = MsPerIteration(state, start);
    state.counters["invaders"] = double(LogicLoom::Instance()->mDataController->mLiveInvaders);
    state.counters["fps"] = g.mGameMs > 0.0 ? 1000.0 / g.mGameMs : 0.0;
    state.counters["empty_fps"] = g.mEmptyMs > 0.0 ? 1000.0 / g.mEmptyMs : 0.0;
    state.counters["ratio_game_to_empty"] = g.mEmptyMs > 0.0 ? g.mGameMs / g.mEmptyMs : 0.0;
}
BENCHMARK(BM_BusiestGameFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

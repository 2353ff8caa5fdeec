// The first level as the player meets it, frame by frame at 1024x768 on the GL device: the whole
// engine with every loom runs the game's own start script on a copy of data/, the level is
// started as the menu's button starts it (its camera, HUD and waves), the goal window is closed
// and the waves are let out until the most invaders are alive at once. In the same run it times
// the empty frame (clear and present) and the same level with one pass at a time switched off
// (the terrain, models, shadows, particles, effects, HUD displays), and the last benchmark
// reports the level's frame against the empty frame and the frame without the terrain. The level's picture is saved as
// "level_frame_bench.bmp" in the temporary folder to check that it is the game's.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "LOOM/base/Clocks.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "bench/BenchSeconds.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/scenery/Terrain.h"

#include "BenchGame.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// Game time let pass per set-up frame, so the waves come out in a few hundred frames.
constexpr uint64_t kSetupStepMicros = 100000;
// The last wave of the first level comes out at 32 s; the crowd is largest a little after.
constexpr int kMaxSetupFrames = 500;

// The steady clock moved on by hand while the level is being set up; later it runs as the
// steady clock does.
class BenchClock : public ClockSource
{
public:
    uint64_t Counter() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + mOffset;
    }
    uint64_t Frequency() override { return 1000000; }
    uint64_t mOffset = 0;
};

struct Level
{
    fs::path mDir;
    PlatformWindow* mWindow = nullptr;
    std::string mError;
    BenchClock mClock;
    int mMostAlive = 0;
    double mEmptyMs = 0.0, mLevelMs = 0.0, mNoTerrainMs = 0.0;
};

// A private copy of the data folder whose start script is the game's own, with a few steps the
// player would take: the level chosen from the menu and its goal window closed.
bool PrepareData(Level& level)
{
    if (!bench_game::UseDataCopy(LOOM_DATA_FOLDER, "level_frame_bench", level.mDir, level.mError))
        return false;
    const std::string script = "dofile(\"Scripts/Game.lua\")\n"
                               "BenchFrame = 0\n"
                               "local GameUpdate = GUpdate\n"
                               "function GUpdate()\n"
                               "    BenchFrame = BenchFrame + 1\n"
                               "    if GameUpdate then GameUpdate() end\n"
                               "    if BenchFrame == 6 then OpenLevelChoice() end\n"
                               "    if BenchFrame == 10 then StartLevelOne() end\n"
                               "    if BenchFrame == 20 then HUD.HideLevelVictoryWindow() end\n"
                               "end\n";
    if (!bench_game::WriteFile(level.mDir / "Scripts" / "Bench.lua", script))
    {
        level.mError = "cannot write the start script";
        return false;
    }
    return true;
}

// The pointer in the middle of the window, as a person's would be: on an edge the camera scrolls.
void CentrePointer()
{
    SDL_Window* window = SDL_GetMouseFocus() ? SDL_GetMouseFocus() : SDL_GetKeyboardFocus();
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window ? SDL_GetWindowID(window) : 0;
    event.motion.x = kWidth / 2;
    event.motion.y = kHeight / 2;
    SDL_PushEvent(&event);
}

void SaveCapture(Level& level)
{
    std::error_code ec;
    fs::remove(level.mDir / "screenshot0.bmp", ec);
    Console::Instance().ExecuteLine("ScreenCap");
    const fs::path kept = fs::temp_directory_path() / "level_frame_bench.bmp";
    fs::copy_file(level.mDir / "screenshot0.bmp", kept, fs::copy_options::overwrite_existing, ec);
    std::fprintf(stderr, "%s %s\n", ec ? "LevelFrameBench: no capture:" : "LevelFrameBench: capture in",
                 ec ? ec.message().c_str() : kept.string().c_str());
}

Level& Get()
{
    static Level* level = [] {
        auto* l = new Level();
        if (!PrepareData(*l))
            return l;
        SetClockSource(&l->mClock);
        if (!bench_game::StartEngine("Scripts\\Bench.lua", kWidth, kHeight, l->mWindow, l->mError))
            return l;
        CentrePointer();
        // Out until the crowd thins again after its largest, or the frames run out.
        const int32_t& alive = LogicLoom::Instance()->mDataController->mLiveInvaders;
        // A smoke run needs the level playing, not its largest crowd.
        const int setupFrames = BenchSmoke() ? 30 : kMaxSetupFrames;
        for (int frame = 0; frame < setupFrames && !(l->mMostAlive >= 3 && alive < l->mMostAlive); ++frame)
        {
            l->mClock.mOffset += kSetupStepMicros;
            gCoreEngine->Frame();
            l->mMostAlive = std::max(l->mMostAlive, int(alive));
        }
        gCoreEngine->Frame();
        SaveCapture(*l);
        return l;
    }();
    return *level;
}

void BM_EmptyFrame(benchmark::State& state)
{
    Level& l = Get();
    l.mEmptyMs = bench_game::TimeEmptyFrame(state, l.mError);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

// One pass switched off at a time: what each costs is the level's frame less this one.
struct PassSwitch
{
    const char* mName;
    bool GraphicsLoom::Toggles::*mToggle;
};
constexpr PassSwitch kPasses[] = {
    {"terrain", &GraphicsLoom::Toggles::mTerrain}, {"objects", &GraphicsLoom::Toggles::mObjects},
    {"shadows", &GraphicsLoom::Toggles::mShadows}, {"particles", &GraphicsLoom::Toggles::mParticles},
    {"effects", &GraphicsLoom::Toggles::mEffects}, {"hud_displays", &GraphicsLoom::Toggles::mHudDisplays},
};

void BM_LevelFrameWithout(benchmark::State& state)
{
    Level& l = Get();
    if (!l.mError.empty() || !gCoreEngine)
        return state.SkipWithError(l.mError.c_str());
    const PassSwitch& pass = kPasses[state.range(0)];
    state.SetLabel(pass.mName);
    bool& on = GraphicsLoom::Instance()->GetToggles().*pass.mToggle;
    on = false;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        gCoreEngine->Frame();
    const double ms = MsPerIteration(state, start);
    on = true;
    if (pass.mToggle == &GraphicsLoom::Toggles::mTerrain)
        l.mNoTerrainMs = ms;
}
BENCHMARK(BM_LevelFrameWithout)
    ->DenseRange(0, int(std::size(kPasses)) - 1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(1.0));

void BM_LevelFrame(benchmark::State& state)
{
    Level& l = Get();
    if (!l.mError.empty() || !gCoreEngine)
        return state.SkipWithError(l.mError.c_str());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        gCoreEngine->Frame();
    l.mLevelMs = MsPerIteration(state, start);
    state.counters["invaders"] = double(LogicLoom::Instance()->mDataController->mLiveInvaders);
    state.counters["most_alive"] = double(l.mMostAlive);
    state.counters["fps"] = l.mLevelMs > 0.0 ? 1000.0 / l.mLevelMs : 0.0;
    if (const Terrain* terrain = GraphicsLoom::Instance()->GetScene()->mTerrain)
    {
        state.counters["patches_drawn"] = double(terrain->GetPatchesDrawn());
        state.counters["terrain_triangles"] = double(terrain->GetTrianglesDrawn());
        state.counters["ground_mb"] = double(terrain->GetGroundBytes()) / double(1 << 20);
    }
    state.counters["empty_ms"] = l.mEmptyMs;
    state.counters["terrain_off_ms"] = l.mNoTerrainMs;
    state.counters["ratio_to_empty"] = l.mEmptyMs > 0.0 ? l.mLevelMs / l.mEmptyMs : 0.0;
    state.counters["ratio_to_terrain_off"] = l.mNoTerrainMs > 0.0 ? l.mLevelMs / l.mNoTerrainMs : 0.0;
}
BENCHMARK(BM_LevelFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(3.0));

} // namespace

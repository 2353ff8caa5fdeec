// Each level's busiest frame as the player meets it, at 1024x768 on the GL device: the whole engine
// with every loom runs the game's own start script on a copy of data/, the level is started as
// the menu's button starts it (its camera, HUD and waves), the goal window is closed and the waves
// are let out until the most invaders are alive at once. The frame is timed there, first, since
// each benchmark lets the level play on towards its end. In the same run it times the empty frame
// (clear and present), which the level's frame is set against (every frame on both sides ends when
// the GPU has finished it), and then the level with one pass
// at a time switched off (the terrain, models, shadows, particles, effects, HUD displays), each
// set against the level's whole frame. The next level starts after a soft restart, as the game's
// own way back to the menu does. Each level's picture is saved as "level_frame_bench_<level>.bmp"
// in the temporary folder to check that it is the game's.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// Game time let pass per set-up frame, so the waves come out in a few hundred frames.
constexpr uint64_t kSetupStepMicros = 100000;
constexpr int kLevels = 2;
// Set-up frames at most for each level: past the largest crowd of its waves.
constexpr int kMaxSetupFrames[kLevels] = {500, 1600};

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
    int mMostAlive = 0;
    double mLevelMs = 0.0;
};

struct Session
{
    fs::path mDir;
    PlatformWindow* mWindow = nullptr;
    std::string mError;
    BenchClock mClock;
    bool mStarted = false;
    // The level being played, 1-based; 0 before the first.
    int mCurrent = 0;
    double mEmptyMs = 0.0;
    Level mLevels[kLevels];
};

// The level the start script is to play.
bool WriteLevelChoice(Session& session, int level)
{
    if (bench_game::WriteFile(session.mDir / "Scripts" / "BenchLevel.lua",
                              "BenchLevel = " + std::to_string(level) + "\n"))
        return true;
    session.mError = "cannot write the level choice";
    return false;
}

// A private copy of the data folder whose start script is the game's own, with a few steps the
// player would take: the level chosen from the menu and its goal window closed.
bool PrepareData(Session& session)
{
    if (!bench_game::UseDataCopy(LOOM_DATA_FOLDER, "level_frame_bench", session.mDir, session.mError))
        return false;
    const std::string script = "dofile(\"Scripts/Game.lua\")\n"
                               "dofile(\"Scripts/BenchLevel.lua\")\n"
                               "BenchFrame = 0\n"
                               "local GameUpdate = GUpdate\n"
                               "function GUpdate()\n"
                               "    BenchFrame = BenchFrame + 1\n"
                               "    if GameUpdate then GameUpdate() end\n"
                               "    if BenchFrame == 6 then OpenLevelChoice() end\n"
                               "    if BenchFrame == 10 then StartLevel(BenchLevel) end\n"
                               "    if BenchFrame == 20 then HUD.HideLevelVictoryWindow() end\n"
                               "end\n";
    if (!bench_game::WriteFile(session.mDir / "Scripts" / "Bench.lua", script))
    {
        session.mError = "cannot write the start script";
        return false;
    }
    return WriteLevelChoice(session, 1);
}

// The pointer in the middle of the window, as a person's would be: on an edge the camera scrolls.
void CentrePointer()
{
    SDL_Window* window = SDL_GetMouseFocus() ? SDL_GetMouseFocus() : SDL_GetKeyboardFocus();
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window ? SDL_GetWindowID(window) : 0;
    event.motion.x = kBenchWidth / 2;
    event.motion.y = kBenchHeight / 2;
    SDL_PushEvent(&event);
}

void SaveCapture(Session& session, int level)
{
    std::error_code ec;
    fs::remove(session.mDir / "screenshot0.bmp", ec);
    Console::Instance().ExecuteLine("ScreenCap");
    const fs::path kept = fs::temp_directory_path() / ("level_frame_bench_" + std::to_string(level) + ".bmp");
    fs::copy_file(session.mDir / "screenshot0.bmp", kept, fs::copy_options::overwrite_existing, ec);
    std::fprintf(stderr, "%s %s\n", ec ? "LevelFrameBench: no capture:" : "LevelFrameBench: capture in",
                 ec ? ec.message().c_str() : kept.string().c_str());
}

Session& GetSession()
{
    static Session* session = [] {
        auto* s = new Session();
        if (PrepareData(*s))
            SetClockSource(&s->mClock);
        return s;
    }();
    return *session;
}

// The engine playing the given level (1-based) at its busiest; null, with the session's error
// set, when it cannot.
Level* Enter(int level)
{
    Session& s = GetSession();
    if (!s.mError.empty())
        return nullptr;
    Level& l = s.mLevels[level - 1];
    if (s.mCurrent == level)
        return &l;
    if (!WriteLevelChoice(s, level))
        return nullptr;
    if (!s.mStarted)
    {
        s.mStarted = true;
        if (!bench_game::StartEngine("Scripts\\Bench.lua", kBenchWidth, kBenchHeight, s.mWindow, s.mError))
            return nullptr;
    }
    else
        Console::Instance().ExecuteLine("SoftRestart");
    s.mCurrent = level;
    CentrePointer();
    // Out until the crowd thins again after its largest, or the frames run out.
    const int32_t& alive = LogicLoom::Instance()->mDataController->mLiveInvaders;
    // A smoke run needs the level playing, not its largest crowd.
    const int setupFrames = BenchSmoke() ? 30 : kMaxSetupFrames[level - 1];
    l.mMostAlive = 0;
    for (int frame = 0; frame < setupFrames && !(l.mMostAlive >= 3 && alive < l.mMostAlive); ++frame)
    {
        s.mClock.mOffset += kSetupStepMicros;
        gCoreEngine->Frame();
        l.mMostAlive = std::max(l.mMostAlive, int(alive));
    }
    gCoreEngine->Frame();
    SaveCapture(s, level);
    return &l;
}

void BM_EmptyFrame(benchmark::State& state)
{
    Session& s = GetSession();
    Enter(1);
    s.mEmptyMs = bench_game::TimeEmptyFrame(state, s.mError);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

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

// Arguments: the level, the pass.
void BM_LevelFrameWithout(benchmark::State& state)
{
    Level* l = Enter(int(state.range(0)));
    if (!l || !gCoreEngine)
        return state.SkipWithError(GetSession().mError.c_str());
    const PassSwitch& pass = kPasses[state.range(1)];
    state.SetLabel(pass.mName);
    bool& on = GraphicsLoom::Instance()->GetToggles().*pass.mToggle;
    on = false;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        gCoreEngine->Frame();
        FinishFrame();
    }
    const double ms = MsPerIteration(state, start);
    on = true;
    // The level's whole frame, timed just before, against this one.
    state.counters["level_ms"] = l->mLevelMs;
    state.counters["level_to_this"] = ms > 0.0 ? l->mLevelMs / ms : 0.0;
}

// Argument: the level.
void BM_LevelFrame(benchmark::State& state)
{
    Level* l = Enter(int(state.range(0)));
    if (!l || !gCoreEngine)
        return state.SkipWithError(GetSession().mError.c_str());
    const Terrain* terrain = GraphicsLoom::Instance()->GetScene()->mTerrain;
    const uint64_t bakes = terrain ? terrain->GetGroundBakes() : 0;
    const DeviceCounters before = GraphicsLoom::Instance()->GetDevice()->Counters();
    const double cpuBefore = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        gCoreEngine->Frame();
        FinishFrame();
    }
    l->mLevelMs = MsPerIteration(state, start);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    // What the device was asked for a frame.
    const DeviceCounters& after = GraphicsLoom::Instance()->GetDevice()->Counters();
    const double frames = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["draws"] = double(after.mDraws - before.mDraws) / frames;
    state.counters["triangles"] = double(after.mPrimitives - before.mPrimitives) / frames;
    state.counters["clears"] = double(after.mClears - before.mClears) / frames;
    state.counters["texture_binds"] = double(after.mTextureBinds - before.mTextureBinds) / frames;
    const double emptyMs = GetSession().mEmptyMs;
    state.counters["invaders"] = double(LogicLoom::Instance()->mDataController->mLiveInvaders);
    state.counters["most_alive"] = double(l->mMostAlive);
    // The work over every thread, the renderer's own too: steadier than the wall clock on a busy machine.
    state.counters["all_threads_cpu_ms"] = cpuMs / frames;
    state.counters["fps"] = l->mLevelMs > 0.0 ? 1000.0 / l->mLevelMs : 0.0;
    if (terrain)
    {
        state.counters["ground_bakes"] = double(terrain->GetGroundBakes() - bakes) / frames;
        state.counters["patches_drawn"] = double(terrain->GetPatchesDrawn());
        state.counters["terrain_triangles"] = double(terrain->GetTrianglesDrawn());
        state.counters["ground_mb"] = double(terrain->GetGroundBytes()) / double(1 << 20);
    }
    state.counters["empty_ms"] = emptyMs;
    state.counters["ratio_to_empty"] = emptyMs > 0.0 ? l->mLevelMs / emptyMs : 0.0;
}

// Level by level, so each is set up once: its whole frame first, at its busiest, then its passes
// off one at a time (each lets the level play on, towards its end).
const bool kRegistered = [] {
    for (int level = 1; level <= kLevels; ++level)
    {
        benchmark::RegisterBenchmark("BM_LevelFrame", BM_LevelFrame)
            ->ArgName("level")
            ->Arg(level)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(BenchSeconds(3.0));
        auto* without = benchmark::RegisterBenchmark("BM_LevelFrameWithout", BM_LevelFrameWithout);
        without->ArgNames({"level", "pass"})->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));
        for (int pass = 0; pass < int(std::size(kPasses)); ++pass)
            without->Args({level, pass});
    }
    return true;
}();

} // namespace

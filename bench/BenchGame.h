#pragma once
// What the whole-game frame benchmarks share: a private copy of the data folder, the engine
// started with every loom as the program's entry starts it, and the empty frame they are
// measured against.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "bench/BenchDevice.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/SceneSeam.h"
#include "game/looms/GameLooms.h"
#include "game/player/PlayerBinding.h"
#include "game/player/SceneBinding.h"
#include "graphics/GraphicsLoom.h"
#include "gui/GuiInstall.h"
#include "platform/PlatformWindow.h"

namespace bench_game {

inline bool WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// Copies the data folder into a temporary folder of this process, works there and removes it at exit, so
// the benchmark may write its own start script without touching the shipped data.
inline bool UseDataCopy(const char* dataFolder, const std::string& name, std::filesystem::path& dir, std::string& error)
{
    namespace fs = std::filesystem;
    dir = fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::copy(dataFolder, dir, fs::copy_options::recursive, ec);
    if (ec)
    {
        error = "cannot copy the data folder: " + ec.message();
        return false;
    }
    fs::current_path(dir);
    static fs::path sCopy;
    sCopy = dir;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(sCopy, ignored);
    });
    return true;
}

// Starts the engine on a new window with every loom, the GUI and the game's scene calls, as the
// program's entry does, running the given start script at the given resolution. False, with the
// reason, when there is no window or no graphics device.
inline bool StartEngine(const char* startScript, int width, int height, PlatformWindow*& window, std::string& error)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    // At the frame's size: the offscreen driver's window keeps the size it was made with.
    window = PlatformWindow::Create(width, height);
    if (!window || !PlatformWindow::GetHandle())
    {
        error = "no window";
        return false;
    }
    SetDataPathFromCwd();
    InstallGui();
    static SceneBinding sScene;
    SetSceneSeam(&sScene);
    static PlayerBinding sPlayer;
    SetPlayerSide(&sPlayer);
    static std::unique_ptr<CoreEngine> sEngine;
    sEngine = std::make_unique<CoreEngine>(window, GameLooms());
    gCoreEngine = sEngine.get();
    LoadEngineConfig("config.xml");
    EngineConfig::Instance().mStartupScript = startScript;
    gCoreEngine->Start();
    // Shut down before the statics the engine's cogs point into (the GUI's layers) are gone.
    std::atexit([] {
        sEngine.reset();
        gCoreEngine = nullptr;
        SetPlayerSide(nullptr);
        SetSceneSeam(nullptr);
    });
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    if (!graphics || !graphics->GetDevice() || !LogicLoom::Instance())
    {
        error = "no graphics device";
        return false;
    }
    graphics->Display().SetResolution(width, height);
    return true;
}

// The reference: clear and present on the same device. Milliseconds a frame; skipped with the
// set-up's error when there is one.
inline double TimeEmptyFrame(benchmark::State& state, const std::string& error)
{
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    if (!error.empty() || !graphics || !graphics->GetDevice())
    {
        state.SkipWithError(error.empty() ? "no graphics device" : error.c_str());
        return 0.0;
    }
    return RunEmptyFrames(state, *graphics->GetDevice());
}

} // namespace bench_game

#pragma once
// What the drawing benchmarks share: a GL device on a hidden offscreen window, and the time of a run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "bench/support/FinishFrame.h"
#include "graphics/device/GraphicsDevice.h"

// The frame size every drawing benchmark measures at.
constexpr int kBenchWidth = 1024;
constexpr int kBenchHeight = 768;

// A hidden window of this size with a GL device on it, without the platform layer; null and `error`
// set when the device cannot start.
inline std::unique_ptr<GraphicsDevice> OpenBenchDevice(int width, int height, SDL_Window*& window, std::string& error)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SDL_Init(SDL_INIT_VIDEO);
    // As the program's window: depth and stencil, so the device draws straight into it.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window = SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    DeviceDesc desc{width, height, true, false, 0};
    return GraphicsDevice::CreateGl(window, desc, error);
}

inline double MsPerIteration(const benchmark::State& state, std::chrono::steady_clock::time_point start)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return ms / double(state.iterations() ? state.iterations() : 1);
}

// Clears, presents and waits for the GPU to finish until the run ends: the frame every drawing
// benchmark compares against, whose frames end the same way. Milliseconds per frame.
inline double RunEmptyFrames(benchmark::State& state, GraphicsDevice& device)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        device.Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
        device.Present();
        FinishFrame();
    }
    return MsPerIteration(state, start);
}

// Opens the device of a drawing benchmark's set-up (mWindow, mDevice, mError) and reads data from
// dataFolder; false, the reason in mError, without a device.
template <typename Setup>
bool OpenBenchSetup(Setup& s, int width, int height, const std::string& dataFolder)
{
    s.mDevice = OpenBenchDevice(width, height, s.mWindow, s.mError);
    if (!s.mDevice)
        return false;
    SetDataPath(dataFolder);
    return true;
}

// The empty-frame reference of such a set-up, kept in its mEmptyMs; skipped without a device.
template <typename Setup>
bool RunEmptyReference(benchmark::State& state, Setup& s)
{
    if (!s.mDevice)
    {
        state.SkipWithError(s.mError.c_str());
        return false;
    }
    s.mEmptyMs = RunEmptyFrames(state, *s.mDevice);
    return true;
}

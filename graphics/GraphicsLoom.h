#pragma once
#include <memory>
#include <string>

#include "LOOM/base/Clocks.h"
#include "LOOM/engine/Loom.h"

struct SDL_Window;
class GraphicsDevice;

// The graphics subsystem: an OpenGL 3.3 core context in the main window, cleared and presented
// every frame, and the loading screen. Without a window or a context it stays inert: the engine
// runs on, nothing is drawn.
class GraphicsLoom : public Loom
{
public:
    static GraphicsLoom* Create();
    static GraphicsLoom* Instance();

    ~GraphicsLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override;
    std::string GetName() override;
    std::string GetTypeName() override;

    // Back-buffer size in pixels; 0 without a window.
    int GetScreenWidth() const { return mWidth; }
    int GetScreenHeight() const { return mHeight; }

    // Draws and presents the loading screen once; until DoneLoading, Update draws only that.
    void RenderLoading();
    // Ends the loading screen and logs how long loading took.
    void DoneLoading();
    bool IsLoading() const { return mLoading; }

    bool HasContext() const { return mDevice != nullptr; }
    GraphicsDevice* GetDevice() const { return mDevice.get(); }

private:
    GraphicsLoom() = default;
    void ClearAndPresent();

    SDL_Window* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    int mWidth = 0;
    int mHeight = 0;
    bool mLoading = false;
    PreciseTimer mLoadingTimer;
};

#pragma once
#include <memory>
#include <string>

#include "LOOM/base/Clocks.h"
#include "LOOM/engine/Loom.h"
#include "LOOM/math/Ray.h"

struct SDL_Window;
class Camera;
class GraphicsDevice;
class ModelStoreSet;

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

    // The camera the frame is drawn from; clears the old one's flag and sets the new one's.
    void SetActiveCamera(Camera* camera);
    Camera* GetActiveCamera() const { return mActiveCamera; }
    // The world ray through a back-buffer pixel, from the active camera.
    Ray ScreenToWorldRay(int32_t x, int32_t y) const;

    bool HasContext() const { return mDevice != nullptr; }
    GraphicsDevice* GetDevice() const { return mDevice.get(); }

private:
    GraphicsLoom() = default;
    void ClearAndPresent();
    // The active camera's per-frame step: aspect, matrices, device transforms, culling.
    void UpdateCamera();

    SDL_Window* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    // Meshes, skeletons, animation sets and distance maps; made after the device, gone before it.
    std::unique_ptr<ModelStoreSet> mModelStores;
    int mWidth = 0;
    int mHeight = 0;
    bool mLoading = false;
    PreciseTimer mLoadingTimer;
    Camera* mActiveCamera = nullptr;
};

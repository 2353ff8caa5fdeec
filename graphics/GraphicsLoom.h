#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "LOOM/engine/Loom.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Plane.h"
#include "LOOM/math/Ray.h"
#include "graphics/AssetStores.h"
#include "graphics/DebugLines.h"
#include "graphics/DisplayControl.h"
#include "graphics/GraphicsScene.h"
#include "graphics/GraphicsSettings.h"
#include "graphics/GuiSeam.h"
#include "graphics/LoadingScreen.h"
#include "graphics/SceneryParts.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/resource/Material.h"
#include "graphics/resource/Texture.h"

struct SDL_Window;
class Renderable;
class CompFactory;
class DeferredRenderer;
class GraphicsCommands;
class LibraryShaders;
class PostProcessor;
class RenderQueue;
// Built by later work; the loom holds them and checks them for null.
class Camera;
class ParticleComp;
class Effect;
class Terrain;
class Sun;
class Water;
class SkyDome;

// One of the graphics component types the loom registers, in registration order; the
// factory is filled in by the work that builds the component.
struct GraphicsComponentType
{
    uint32_t mTypeId;
    const char* mTypeName;
    CompFactory* mFactory;
};

// The graphics subsystem: reads Graphics.xml, makes the device on the main window, owns the
// shader library and the asset stores, keeps the scene lists and draws each frame. Without a
// window or a context it stays inert: the engine runs on, nothing is drawn.
class GraphicsLoom : public Loom
{
public:
    static GraphicsLoom* Create();
    static GraphicsLoom* Instance();
    // How the GUI is made at Init; null gives the stand-in that reads the input loom.
    static void SetGuiMaker(GuiSeam::Maker maker);
    // The twelve component types in registration order.
    static GraphicsComponentType* ComponentTypes(size_t& count);

    ~GraphicsLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override;
    std::string GetName() override;
    std::string GetTypeName() override;

    // Back-buffer size in pixels; 0 without a device.
    int GetScreenWidth() const { return mScene ? mScene->mPresent.mWidth : 0; }
    int GetScreenHeight() const { return mScene ? mScene->mPresent.mHeight : 0; }

    Camera* GetActiveCamera() const { return mCamera; }
    // Clears the previous camera's active flag and sets the new one's; null for none.
    void SetActiveCamera(Camera* camera);
    // Sky, the water's reflection and the terrain, culled by the camera's six inward planes.
    void RenderScenery(std::span<const Plane, 6> frustum);
    void ApplyFillMode();
    // Pick ray through a back-buffer pixel and the pixel of a world point, from the device's
    // view and projection transforms.
    Ray ScreenToWorldRay(float x, float y);
    Vector3 WorldToScreen(const Vector3& point);
    void SetEffectGlobals();
    // Every device object of the loom's parts goes before a reset and comes back after it.
    void OnDeviceLost();
    void OnDeviceReset();
    // Draws and presents the loading screen once; until it is done, Update draws only that.
    void RenderLoading();

    // The loom's parts. The scene lists and the device are null between Shutdown and Init;
    // registering in the scene lists does nothing then.
    GraphicsScene* GetScene() const { return mScene.get(); }
    GraphicsDevice* GetDevice() const { return mDevice.get(); }
    AssetStores& Stores() { return mAssets; }
    DisplayControl& Display() { return mDisplay; }
    LoadingScreen& Loading() { return mLoading; }
    DebugLines& Lines() { return mDebugLines; }
    SceneryParts& Scenery() { return mScenery; }
    ShaderControl& GetShaderControl() { return mShaders; }
    GuiSeam* GetGui() const { return mGui.get(); }
    const GraphicsSettings& GetSettings() const { return mSettings; }
    RenderQueue* GetRenderQueue() const { return mQueue.get(); }
    PostProcessor* GetPostProcessor() const { return mPost.get(); }
    DeferredRenderer* GetDeferred() const { return mDeferred.get(); }
    GraphicsCommands* GetCommands() const { return mCommands.get(); }

    // The console's switches, reset at Init but for the LOD limit scripts set.
    struct Toggles
    {
        bool mShowStats = false;
        bool mWireframe = false;
        bool mBounding = false;
        bool mShadows = true;
        bool mObjects = true;
        bool mTerrain = true;
        bool mParticles = true;
        bool mAnimations = true;
        bool mVSync = true;
        bool mEffects = true;
        bool mHudDisplays = true;
        bool mDeferred = false;
        // Skinned models farther than this from the camera draw their low-detail faces.
        float mLodLimit = 50.0f;
    };
    Toggles& GetToggles() { return mToggles; }

    struct Counters
    {
        uint32_t mTriangles = 0;
        uint32_t mParticles = 0;
        uint32_t mShadowTriangles = 0;
        uint32_t mModelsDrawn = 0;
    };
    Counters& GetCounters() { return mCounters; }

private:
    GraphicsLoom();
    // Init's steps: Graphics.xml and the back-buffer wanted, the device on the main window,
    // the console's switches, what needs the device, and the render parts above it.
    void ReadSettings();
    void CreateDevice();
    void ResetSwitches();
    void SetUpDevice();
    void MakeRenderParts();
    void RenderScene();
    void RenderDeferred();
    void ClearFrame(bool keepColour = false);
    // The ground covers every pixel of this frame's view (solid, not wireframe).
    bool GroundFillsView() const;
    bool PresentFrame();
    void HandScreenToInput();
    void StopOnFailure(const std::string& text);
    Terrain* GetTerrain() const { return mScene ? mScene->mTerrain : nullptr; }
    // The console overlay and statistics, after the GUI.
    void RenderStats();
    // The active camera's step: aspect, matrices, device transforms, culling.
    void UpdateCamera();

    Toggles mToggles;
    Counters mCounters;
    std::unique_ptr<GuiSeam> mGui;
    Camera* mCamera = nullptr;
    ShaderControl mShaders;
    float mFrameTime = 0.0f;
    AssetStores mAssets;
    std::unique_ptr<GraphicsDevice> mDevice;
    DisplayControl mDisplay{*this};
    LoadingScreen mLoading;
    DebugLines mDebugLines;
    std::unique_ptr<GraphicsScene> mScene;
    SceneryParts mScenery;
    GraphicsSettings mSettings;
    SDL_Window* mWindow = nullptr;
    std::unique_ptr<RenderQueue> mQueue;
    std::unique_ptr<LibraryShaders> mQueueShaders;
    std::unique_ptr<PostProcessor> mPost;
    std::unique_ptr<GraphicsCommands> mCommands;
    std::unique_ptr<DeferredRenderer> mDeferred;
    bool mCommandsRegistered = false;
};

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
#include "graphics/QuadBatcher.h"
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
    TextureFormat GetTextureFormat() const { return mScene ? mScene->mTextureFormat : TextureFormat::RGBA8; }
    bool IsFullscreen() const { return mScene && !mScene->mPresent.mWindowed; }
    Terrain* GetTerrain() const { return mScene ? mScene->mTerrain : nullptr; }
    void SetTerrain(Terrain* terrain)
    {
        if (mScene)
            mScene->mTerrain = terrain;
    }
    void GetDisplaySettings(DisplaySettings& out) const { mDisplay.GetDisplaySettings(out); }
    void ChangeSettings(const DisplaySettings& settings) { mDisplay.ChangeSettings(settings); }

    // Registration in the scene lists; nothing happens between Shutdown and Init.
    void AddModel(Renderable* model);
    void RemoveModel(Renderable* model);
    void AddParticleComp(ParticleComp* comp);
    void RemoveParticleComp(ParticleComp* comp);
    void AddEffect(Effect* effect);
    void RemoveEffect(Effect* effect);
    Camera* GetActiveCamera() const { return mCamera; }
    Sun* GetSun() const { return mSun.get(); }
    Water* GetWater() const { return mWater.get(); }
    SkyDome* GetSky() const { return mSky.get(); }
    // Sky, the water's reflection and the terrain, culled by the camera's six inward planes.
    void RenderScenery(std::span<const Plane, 6> frustum);
    // Clears the previous camera's active flag and sets the new one's; null for none.
    void SetActiveCamera(Camera* camera);

    void SetVertexDeclaration(uint32_t index);
    VertexLayout* GetVertexDeclaration(uint32_t index) const { return mAssets.GetDeclaration(index); }
    void SetRenderTarget(GpuTexture* target);
    void RestoreRenderTarget();
    void ApplyFillMode();
    // Pick ray through a back-buffer pixel and the pixel of a world point, from the device's
    // view and projection transforms.
    Ray ScreenToWorldRay(float x, float y);
    Vector3 WorldToScreen(const Vector3& point);
    void AddLine(const Vector3& from, const Vector3& to) { mDebugLines.Add(from, to); }
    void SetEffectGlobals();

    // Every device object of the loom's parts goes before a reset and comes back after it.
    void OnDeviceLost();
    void OnDeviceReset();
    // Device loss and display settings.
    void ResetDevice() { mDisplay.ResetDevice(); }
    void SetFullScreen(bool fullscreen) { mDisplay.SetFullScreen(fullscreen); }
    void Fullscreen() { mDisplay.Fullscreen(); }
    void SetVSync(bool vsync) { mDisplay.SetVSync(vsync); }
    void VSync() { mDisplay.VSync(); }
    void SetResolution(uint32_t width, uint32_t height) { mDisplay.SetResolution(width, height); }
    bool IsDeviceLost() const { return mDisplay.IsLost(); }

    // Draws and presents the loading screen once; until DoneLoading, Update draws only that.
    void RenderLoading();
    // Ends the loading screen and logs how long loading took.
    void DoneLoading() { mLoading.Done(); }
    bool IsLoading() const { return mLoading.IsUp(); }

    bool HasContext() const { return mDevice != nullptr; }
    GraphicsDevice* GetDevice() const { return mDevice.get(); }
    ShaderControl& GetShaderControl() { return mShaders; }
    TextureStore& GetTextures() { return mAssets.Textures(); }
    AssetManager<Material>& GetMaterials() { return mAssets.Materials(); }
    // The path curves; kept from construction to destruction, not emptied at Shutdown.
    AssetManager<Path>& GetPaths() { return mAssets.Paths(); }
    GraphicsScene* GetScene() const { return mScene.get(); }
    GuiSeam* GetGui() const { return mGui.get(); }
    // The 2-D quads of the GUI and the console overlay; null without a device.
    QuadBatcher* GetQuadBatcher() const { return mQuads.get(); }
    const GraphicsSettings& GetSettings() const { return mSettings; }

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
    };
    Toggles& GetToggles() { return mToggles; }
    float GetLodLimit() const { return mLodLimit; }
    void SetLodLimit(float limit) { mLodLimit = limit; }
    // The console overlay and statistics, after the GUI.
    void RenderStats();
    RenderQueue* GetRenderQueue() const { return mQueue.get(); }
    PostProcessor* GetPostProcessor() const { return mPost.get(); }
    GraphicsCommands* GetCommands() const { return mCommands.get(); }
    // Deferred shading on or off (the geometry into three buffers, one lighting pass).
    void DoDeferred(bool on);
    DeferredRenderer* GetDeferred() const { return mDeferred.get(); }
    bool SupportsPixelShader20() const { return mPixelShader20; }
    bool SupportsTwoSidedStencil() const { return mTwoSidedStencil; }

    struct Counters
    {
        uint32_t mTriangles = 0;
        uint32_t mParticles = 0;
        uint32_t mShadowTriangles = 0;
        uint32_t mModelsDrawn = 0;
    };
    Counters& GetCounters() { return mCounters; }
    float GetFrameTime() const { return mFrameTime; }
    const std::vector<Vector3>& GetDebugLines() const { return mDebugLines.Lines(); }

private:
    GraphicsLoom();
    void RenderScene();
    void RenderDeferred();
    void ClearFrame();
    bool PresentFrame();
    void HandScreenToInput();
    void StopOnFailure(const std::string& text);
    // The active camera's step: aspect, matrices, device transforms, culling.
    void UpdateCamera();

    Toggles mToggles;
    float mLodLimit = 50.0f;
    bool mPixelShader20 = true;
    bool mTwoSidedStencil = true;
    Counters mCounters;
    std::unique_ptr<GuiSeam> mGui;
    Camera* mCamera = nullptr;
    ShaderControl mShaders;
    float mFrameTime = 0.0f;
    AssetStores mAssets;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<QuadBatcher> mQuads;
    GpuTexture* mSavedTarget = nullptr;
    DisplayControl mDisplay{*this};
    LoadingScreen mLoading;
    DebugLines mDebugLines;
    std::unique_ptr<GraphicsScene> mScene;
    std::unique_ptr<Sun> mSun;
    std::unique_ptr<Water> mWater;
    std::unique_ptr<SkyDome> mSky;
    GraphicsSettings mSettings;
    SDL_Window* mWindow = nullptr;
    std::unique_ptr<RenderQueue> mQueue;
    std::unique_ptr<LibraryShaders> mQueueShaders;
    std::unique_ptr<PostProcessor> mPost;
    std::unique_ptr<GraphicsCommands> mCommands;
    std::unique_ptr<DeferredRenderer> mDeferred;
    bool mCommandsRegistered = false;
};

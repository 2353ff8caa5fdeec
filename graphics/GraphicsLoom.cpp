#include "graphics/GraphicsLoom.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/space/QTree.h"
#include "graphics/Picker.h"
#include "graphics/camera/Camera.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/FontList.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/render/DeferredRenderer.h"
#include "graphics/render/LibraryShaders.h"
#include "graphics/render/PostProcessor.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/scene/SceneFrame.h"
#include "graphics/scenery/SceneryCommands.h"
#include "graphics/scenery/SkyDome.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/scenery/Water.h"
#include "graphics/sky/Light.h"
#include "graphics/sky/Sun.h"
#include "graphics/terrain/HeightMap.h"
#include "input/IOLoom.h"
#include "platform/Dialogs.h"
#include "platform/ImageDecode.h"
#include "platform/PlatformWindow.h"

namespace {

GraphicsLoom* sInstance = nullptr;
GuiSeam::Maker sGuiMaker = nullptr;

constexpr uint32_t kClearColor = 0xFF808080;
constexpr uint32_t kClearStencil = 128;

GraphicsComponentType sComponentTypes[] = {
    {8, "Terrain", TerrainFactory()},
    {10, "Light", LightFactory()},
    {3, "ParticleComp", nullptr},
    {4, "Model", nullptr},
    {5, "Camera", CameraFactory()},
    {11, "WidgetComp", nullptr},
    {6, "SkinModel", nullptr},
    {2, "PathController", nullptr},
    {7, "HeightMap", HeightMapFactory()},
    {9, "Sprite", nullptr},
    {12, "Effect", nullptr},
    {14, "HudDisplay", nullptr},
};

struct ClipPoint
{
    float x = 0.0f;
    float y = 0.0f;
};

// The GUI mouse in clip space, for scripts; (0, 0) without a GUI.
ClipPoint ScriptMouse()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GuiSeam* gui = loom ? loom->GetGui() : nullptr;
    ClipPoint clip;
    if (gui)
        gui->ScreenToClip(gui->GetMouseX(), gui->GetMouseY(), clip.x, clip.y);
    return clip;
}

float ScriptMouseX() { return ScriptMouse().x; }
float ScriptMouseY() { return ScriptMouse().y * 0.75f; }

GameClock* GetGameClock() { return gCoreEngine ? &gCoreEngine->GetGameClock() : nullptr; }

} // namespace

GraphicsLoom* GraphicsLoom::Create()
{
    sInstance = new (std::nothrow) GraphicsLoom();
    return sInstance;
}

GraphicsLoom* GraphicsLoom::Instance() { return sInstance; }

GraphicsLoom::GraphicsLoom() = default;

void GraphicsLoom::SetGuiMaker(GuiSeam::Maker maker) { sGuiMaker = maker; }

GraphicsComponentType* GraphicsLoom::ComponentTypes(size_t& count)
{
    count = std::size(sComponentTypes);
    return sComponentTypes;
}

GraphicsLoom::~GraphicsLoom()
{
    Shutdown();
    // Those commands call this object.
    for (const char* name : {"Fullscreen", "SetFullScreen", "VSync", "SetVSync", "SetResolution"})
        if (mCommandsRegistered)
            Console::Instance().RemoveCommand(name);
    if (sInstance == this)
        sInstance = nullptr;
}

void GraphicsLoom::Init()
{
    if (mScene || mDevice)
        Shutdown();

    mScene = std::make_unique<GraphicsScene>();
    mGui = sGuiMaker ? sGuiMaker() : nullptr;
    if (!mGui)
        mGui = std::make_unique<InputGuiStandIn>();

    ReadSettings();
    CreateDevice();
    mAssets.SetFolders();
    ResetSwitches();
    if (mDevice)
        SetUpDevice();
    else
        mGui->Init(nullptr, GetScreenWidth(), GetScreenHeight());
    mAssets.MakeModelStores();
    if (mDevice)
        mScenery.Make();
    MakeRenderParts();
    HandScreenToInput();
}

void GraphicsLoom::ReadSettings()
{
    mWindow = PlatformWindow::GetHandle();
    int windowWidth = 0, windowHeight = 0;
    if (mWindow)
        SDL_GetWindowSize(mWindow, &windowWidth, &windowHeight);
    mSettings = GraphicsSettings::Load("Graphics.xml", uint32_t(windowWidth), uint32_t(windowHeight));
    SetMaxImageBytes(uint64_t(mSettings.mMaxTextureMegabytes) << 20);

    DeviceDesc& present = mScene->mPresent;
    present.mWidth = int32_t(mSettings.mResolutionWidth);
    present.mHeight = int32_t(mSettings.mResolutionHeight);
    present.mWindowed = !mSettings.mFullscreen;
    present.mVSync = mSettings.mVSync;
    present.mSamples = int32_t(mSettings.Samples());
}

void GraphicsLoom::CreateDevice()
{
    DeviceDesc& present = mScene->mPresent;
    if (!mWindow)
    {
        Console::Instance().Log("GraphicsLoom: no main window, nothing will be drawn", LogError);
        present.mWidth = present.mHeight = 0;
        return;
    }
    std::string error;
    mDevice = GraphicsDevice::CreateGl(mWindow, present, error);
    if (!mDevice)
    {
        Console::Instance().Log("GraphicsLoom: " + error + ", nothing will be drawn", LogError);
        present.mWidth = present.mHeight = 0;
    }
}

void GraphicsLoom::ResetSwitches()
{
    // Scripts set the LOD limit; a restart keeps it.
    const float lodLimit = mToggles.mLodLimit;
    mToggles = Toggles{};
    mToggles.mLodLimit = lodLimit;
    mToggles.mShowStats = mSettings.mShowFPS;
    mToggles.mVSync = mSettings.mVSync;
    mDisplay.Clear();
    mLoading.Reset();
    mScene->mConsolePosition = -240.0f;
}

void GraphicsLoom::SetUpDevice()
{
    const DeviceCaps& caps = mDevice->GetCaps();
    mScene->mTextureFormat = TextureFormat::RGBA8;
    if (mSettings.mCompressTextures)
    {
        if (caps.mCompressedTextures)
            mScene->mTextureFormat = TextureFormat::DXT5;
        else if (mSettings.mStopOnFailure)
            return StopOnFailure("Device Does not Support Compressed Textures");
    }
    ResourceContext::Set(mDevice.get(), &mAssets.Textures(), mScene->mTextureFormat == TextureFormat::DXT5);
    if (!mSettings.mConsoleBackground.empty())
        mScene->mConsoleBackground.SetFile(mSettings.mConsoleBackground);
    mShaders.Frame() = FrameMatrices{};
    mShaders.Load(*mDevice, caps.mPixelShader20);
    mGui->Init(mDevice.get(), GetScreenWidth(), GetScreenHeight());
    mAssets.CreateDeclarations(*mDevice);
}

void GraphicsLoom::MakeRenderParts()
{
    if (!mCommands)
        mCommands = std::make_unique<GraphicsCommands>(*this);
    if (!mPost)
        mPost = std::make_unique<PostProcessor>();
    mDeferred = std::make_unique<DeferredRenderer>();
    mQueueShaders = std::make_unique<LibraryShaders>(mShaders, &mAssets.Textures());
    mQueue = std::make_unique<RenderQueue>();
    mQueue->Init(mDevice.get(), mQueueShaders.get());
    mPost->SetDevice(mDevice.get(), &mShaders);
    mCommands->Init(mDevice.get(), Console::Instance().GetConfigFolder() + "GuiConfig.xml");
    SceneFrame::CreateDeviceObjects(*this);
    ParticleFrame::CreateDeviceObjects(*this);
}

void GraphicsLoom::StopOnFailure(const std::string& text)
{
    Console::Instance().Log(text, LogError);
    ShowMessageBox("Graphics", text);
    if (gCoreEngine)
        gCoreEngine->ShutdownLooms();
    std::exit(1);
}

void GraphicsLoom::Shutdown()
{
    // Every device object goes before the device and its context.
    if (mCommands)
        mCommands->Shutdown();
    if (mPost)
        mPost->SetDevice(nullptr, nullptr);
    SceneFrame::ReleaseDeviceObjects();
    ParticleFrame::ReleaseDeviceObjects();
    mQueue.reset();
    mQueueShaders.reset();
    mDeferred.reset();
    if (mGui)
        mGui->Shutdown();
    if (mScene)
        mScene->mConsoleBackground.Reset();
    mScenery.Release();
    mAssets.ReleaseStores();
    mShaders.Clear();
    mAssets.ReleaseDeclarations();
    if (ResourceContext::Device() == mDevice.get() && mDevice)
        ResourceContext::Set(nullptr, nullptr, false);
    mDevice.reset();
    ParticleFrame::Shutdown();
    mGui.reset();
    mScene.reset();
    mCamera = nullptr;
    mWindow = nullptr;
    mDisplay.Clear();
    mLoading.Reset();
}

void GraphicsLoom::RegisterTypes()
{
    Console& console = Console::Instance();
    console.AddCommand("GetMouseX", MakeFunctionCommand(&ScriptMouseX));
    console.AddCommand("GetMouseY", MakeFunctionCommand(&ScriptMouseY));
    console.RegisterCommand("Fullscreen", MakeConsoleCommand(&mDisplay, &DisplayControl::Fullscreen),
                            "Toggles full screen");
    console.RegisterCommand("SetFullScreen", MakeConsoleCommand(&mDisplay, &DisplayControl::SetFullScreen),
                            "Sets full screen on or off");
    console.RegisterCommand("VSync", MakeConsoleCommand(&mDisplay, &DisplayControl::VSync), "Toggles vertical sync");
    console.RegisterCommand("SetVSync", MakeConsoleCommand(&mDisplay, &DisplayControl::SetVSync), "Sets vertical sync");
    console.RegisterCommand("SetResolution", mDisplay.MakeResolutionCommand(),
                            "Sets the back-buffer size (width, height in pixels)");
    InstallSceneFactories();
    ParticleFrame::InstallFactories();
    RegisterSceneFunctions(CogFactory::Instance());
    RegisterSceneryCommands();
    mCommandsRegistered = true;
    for (const GraphicsComponentType& type : sComponentTypes)
        if (type.mFactory)
            CogFactory::Instance().Types().RegisterComponent(type.mTypeId, type.mFactory);
}

void GraphicsLoom::Update()
{
    if (mLoading.IsUp())
    {
        RenderLoading();
        return;
    }
    GameClock* clock = GetGameClock();
    mFrameTime = clock ? float(clock->GetDt()) : 0.0f;
    mCounters = Counters{};
    if (!mDevice)
        return;
    if (mDisplay.IsLost())
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        mDisplay.ResetDevice();
        return;
    }
    if (mGui)
        mGui->Update();
    UpdateCamera();
    if (mQueue)
        mQueue->Reset();
    if (Sun* sun = mScenery.GetSun())
        sun->Update(mFrameTime);
    if (mCamera)
    {
        SceneFrame::UpdateComponents(*this, mFrameTime);
        ParticleFrame::UpdateComponents(*this, mFrameTime);
    }
    SetEffectGlobals();
    if (mToggles.mDeferred && mDeferred && mDeferred->IsEnabled())
        RenderDeferred();
    else
        RenderScene();
}

void GraphicsLoom::ClearFrame(bool keepColour)
{
    mDevice->Clear((keepColour ? 0u : ClearTarget) | ClearZBuffer | ClearStencil, kClearColor, 1.0f, kClearStencil);
}

bool GraphicsLoom::GroundFillsView() const
{
    Terrain* terrain = GetTerrain();
    if (!terrain || !mToggles.mTerrain || mToggles.mWireframe)
        return false;
    return terrain->FillsView(mDevice->Bound().Transform(TransformKind::View) *
                              mDevice->Bound().Transform(TransformKind::Projection));
}

bool GraphicsLoom::PresentFrame()
{
    if (mDevice->Present())
        return true;
    mDisplay.MarkLost();
    return false;
}

void GraphicsLoom::RenderScene()
{
    if (mPost)
        mPost->BeginFrame();
    // Ground that fills the view writes every pixel the opaque models leave: clearing the colour
    // first would only cost a software renderer a full-screen fill.
    const bool groundFills = mCamera && GroundFillsView();
    ClearFrame(groundFills);
    if (mCamera)
    {
        ApplyFillMode();
        // The opaque models before the ground: what they hide of it then fails the depth test
        // before it is shaded. The blended ones go over the ground.
        if (mQueue && mToggles.mObjects)
            mQueue->Flush(mFrameTime, 0, RenderQueue::Part::Opaque);
        RenderScenery(mCamera->GetFrustumPlanes());
        if (mQueue && mToggles.mObjects)
            mQueue->Flush(mFrameTime, 0, RenderQueue::Part::Blended);
        if (mToggles.mShadows)
        {
            if (mQueue)
                mQueue->RenderShadows();
        }
        if (Water* water = mScenery.GetWater(); water && water->IsActive())
            water->Render(*this);
        if (mToggles.mBounding)
            SceneFrame::RenderBounds(*this);
        if (mToggles.mShadows && mPost)
            mPost->RenderShadow();
        if (mToggles.mHudDisplays)
            SceneFrame::RenderHudDisplays(*this);
        if (mToggles.mEffects)
            ParticleFrame::RenderEffects(*this, mFrameTime);
        if (mToggles.mParticles)
            ParticleFrame::RenderParticles(*this);
        ParticleFrame::RenderBeams(*this);
        mDebugLines.Render(*mDevice, mAssets.GetDeclaration(3));
    }
    if (mPost)
        mPost->EndFrame();
    if (mGui)
        mGui->Render();
    RenderStats();
    PresentFrame();
}

void GraphicsLoom::RenderDeferred()
{
    GameClock* clock = GetGameClock();
    static const std::vector<Light*> kNoLights;
    const Sun* sun = mScenery.GetSun();
    mDeferred->Render(*mDevice, *mQueue, *mPost, mShaders, sun ? sun->mLights : kNoLights, mFrameTime,
                      clock ? float(clock->GetTime()) : 0.0f, GetScreenWidth(), GetScreenHeight());
    mPost->EndFrame();
    RenderStats();
    PresentFrame();
}

void GraphicsLoom::SetActiveCamera(Camera* camera)
{
    if (mCamera)
        mCamera->SetActiveFlag(false);
    mCamera = camera;
    if (mCamera)
        mCamera->SetActiveFlag(true);
}

void GraphicsLoom::UpdateCamera()
{
    if (!mCamera)
        return;
    const int width = GetScreenWidth();
    const int height = GetScreenHeight();
    if (width > 0 && height > 0)
        mCamera->SetAspectRatio(float(width), float(height));
    mCamera->UpdateFromOwner();
    if (mDevice)
    {
        mDevice->SetTransform(TransformKind::View, mCamera->GetView());
        mDevice->SetTransform(TransformKind::Projection, mCamera->GetProjection());
    }
    if (QTree* tree = QTree::Instance())
        tree->MarkVisible(mCamera->GetFrustumPlanes());
}

void GraphicsLoom::RenderStats()
{
    if (!mCommands || !mDevice || !mScene)
        return;
    FrameStats stats;
    float dt = 0.0f;
    if (gCoreEngine)
    {
        dt = float(gCoreEngine->GetCoreTimer().GetDt());
        stats.mCogs = gCoreEngine->GetCogCount();
        stats.mRunTimeMs = gCoreEngine->GetCoreTimer().GetMs();
        stats.mFrameRate = gCoreEngine->GetFrameRate();
        stats.mGraphicsTime = gCoreEngine->GetGraphicsTime();
        stats.mPhysicsTime = gCoreEngine->GetPhysicsTime();
        stats.mLogicTime = gCoreEngine->GetOtherLoomsTime();
        stats.mFrameTime = gCoreEngine->GetFrameTime();
        stats.mPaused = gCoreEngine->IsPausedByPlayer();
    }
    stats.mTriangles = mCounters.mTriangles;
    stats.mParticles = mCounters.mParticles;
    if (const Terrain* terrain = GetTerrain())
    {
        stats.mHasTerrain = true;
        stats.mPatches = terrain->GetPatchesDrawn();
    }
    mCommands->RenderStats(dt, mLoading.IsUp(), stats);
}

void GraphicsLoom::Unload() {}

std::string GraphicsLoom::GetName() { return "Graphics Loom"; }

std::string GraphicsLoom::GetTypeName() { return "Graphics"; }

void GraphicsLoom::RenderLoading()
{
    mLoading.Begin();
    if (!mDevice || mDisplay.IsLost())
        return;
    ClearFrame();
    RenderStats();
    PresentFrame();
}

void GraphicsLoom::ApplyFillMode()
{
    if (mDevice)
        mDevice->States().mFill = mToggles.mWireframe ? FillMode::Wireframe : FillMode::Solid;
}

Ray GraphicsLoom::ScreenToWorldRay(float x, float y)
{
    if (!mDevice)
        return Ray();
    return Picker(*mDevice, mCamera, GetScreenWidth(), GetScreenHeight()).ScreenToWorldRay(x, y);
}

Vector3 GraphicsLoom::WorldToScreen(const Vector3& point)
{
    if (!mDevice)
        return Vector3();
    return Picker(*mDevice, mCamera, GetScreenWidth(), GetScreenHeight()).WorldToScreen(point);
}

void GraphicsLoom::SetEffectGlobals()
{
    if (!mDevice)
        return;
    FrameMatrices& frame = mShaders.Frame();
    frame.mView = mDevice->Bound().Transform(TransformKind::View);
    frame.mProjection = mDevice->Bound().Transform(TransformKind::Projection);
    frame.mView.Multiply(frame.mProjection, frame.mViewProjection);
    Shader* basic = mShaders.GetShader("Basic");
    if (!basic)
        return;
    basic->SetMatrix(Shader::View, frame.mView);
    basic->SetMatrix(Shader::Projection, frame.mProjection);
    basic->SetMatrixByName("ViewProjection", frame.mViewProjection);
    GameClock* clock = GetGameClock();
    const float time = clock ? float(clock->GetTime()) : 0.0f;
    FxEffect& effect = basic->GetEffect();
    effect.SetFloat(effect.GetParameterByName("Time"), time);
    if (mCamera)
    {
        effect.SetMatrix(effect.GetParameterByName("ViewInverse"), mCamera->GetViewInverse());
        const Vector3 eye = mCamera->GetPosition();
        const float eyePosition[4] = {eye.x, eye.y, eye.z, 1.0f};
        effect.SetVector(effect.GetParameterByName("WorldEyePosition"), eyePosition);
    }
    if (Sun* sun = mScenery.GetSun())
        sun->SetLightParameters(effect, frame.mView);
}

void GraphicsLoom::HandScreenToInput()
{
    // The pointer stays absolute in a full screen too: the window fills the screen and the
    // frame is stretched over it, so the pointer's place maps onto the frame as in a window.
    // Relative motion would leave the drawn pointer behind wherever the pointer is placed
    // rather than pushed (tablets, remote desktops, pointer warps); that mode is the input
    // settings' choice alone.
    if (IOLoom* io = IOLoom::Instance())
        io->SetScreenSize(GetScreenWidth(), GetScreenHeight());
}

void GraphicsLoom::OnDeviceLost()
{
    Console::Instance().Log("Graphics Device Lost", LogInit);
    mAssets.ReleaseDeclarations();
    if (Terrain* terrain = GetTerrain())
        terrain->OnDeviceLost();
    mScenery.OnDeviceLost();
    mShaders.OnLostDevice();
    SceneFrame::ReleaseDeviceObjects();
    ParticleFrame::ReleaseDeviceObjects();
    if (mPost)
        mPost->OnLostDevice();
    if (mDeferred)
        mDeferred->OnLostDevice();
    if (mCommands)
        mCommands->Fonts().InvalidateDeviceObjects();
    if (mGui)
        mGui->OnDeviceLost();
}

void GraphicsLoom::OnDeviceReset()
{
    Console::Instance().Log("Graphics Device Reset", LogInit);
    if (mDevice)
        mAssets.CreateDeclarations(*mDevice);
    mShaders.OnResetDevice();
    if (mPost)
        mPost->OnResetDevice();
    if (mDeferred)
        mDeferred->OnResetDevice(mDevice.get());
    if (mCommands)
        mCommands->Fonts().RestoreDeviceObjects();
    SceneFrame::CreateDeviceObjects(*this);
    ParticleFrame::CreateDeviceObjects(*this);
    if (mGui)
        mGui->OnDeviceReset(GetScreenWidth(), GetScreenHeight());
    mScenery.OnDeviceReset();
    if (Terrain* terrain = GetTerrain())
        terrain->OnDeviceReset();
    HandScreenToInput();
}

void GraphicsLoom::RenderScenery(std::span<const Plane, 6> frustum)
{
    if (!mDevice)
        return;
    Terrain* terrain = GetTerrain();
    Water* water = mScenery.GetWater();
    SkyDome* sky = mScenery.GetSky();
    if (water && water->IsActive())
    {
        water->BeginReflection(*this);
        if (sky)
            sky->Render(*this, mScenery.GetSun());
        if (terrain)
        {
            // The mirrored camera sees its own frustum; culling against the real one would
            // drop what only the mirror shows.
            const Matrix4 mirrored =
                mDevice->Bound().Transform(TransformKind::View) * mDevice->Bound().Transform(TransformKind::Projection);
            terrain->RenderClipped(Terrain::FrustumPlanes(mirrored), Plane(0.0f, 1.0f, 0.0f, -Water::kGridHeight),
                                   1.0f);
        }
        water->EndReflection(*this);
    }
    if (terrain && mToggles.mTerrain)
    {
        terrain->Render(frustum, mFrameTime);
        mCounters.mTriangles += terrain->GetTrianglesDrawn();
    }
    // The sky lies on the far plane: after the ground, only the pixels it leaves are shaded, and
    // none at all when the ground fills the view (its depth test alone costs a full screen).
    if (sky && !GroundFillsView())
        sky->Render(*this, mScenery.GetSun());
}

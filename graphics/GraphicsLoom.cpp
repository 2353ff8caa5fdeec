#include "graphics/GraphicsLoom.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/space/QTree.h"
#include "graphics/Renderable.h"
#include "graphics/camera/Camera.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/device/ImageDecode.h"
#include "graphics/font/FontList.h"
#include "graphics/model/ModelStoreSet.h"
#include "graphics/model/ModelStores.h"
#include "graphics/render/DeferredRenderer.h"
#include "graphics/render/LibraryShaders.h"
#include "graphics/render/PostProcessor.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/scene/Path.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/particles/ParticleFrame.h"
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
#include "platform/PlatformWindow.h"

namespace {

GraphicsLoom* sInstance = nullptr;
GuiSeam::Maker sGuiMaker = nullptr;

constexpr uint32_t kClearColor = 0xFF808080;
constexpr uint32_t kClearStencil = 128;
constexpr uint32_t kDebugLineColor = 0xFF3232FF;
// Samples a settings change asks for when multisampling is on.
constexpr int32_t kChangeSamples = 2;

GraphicsComponentType sComponentTypes[] = {
    {8, "Terrain", TerrainFactory()},   {10, "Light", LightFactory()},   {3, "ParticleComp", nullptr},   {4, "Model", nullptr},
    {5, "Camera", CameraFactory()},    {11, "WidgetComp", nullptr}, {6, "SkinModel", nullptr},   {2, "PathController", nullptr},
    {7, "HeightMap", HeightMapFactory()}, {9, "Sprite", nullptr},   {12, "Effect", nullptr},        {14, "HudDisplay", nullptr},
};

using E = VertexElement;
using T = VertexType;
using S = VertexSemantic;
const std::vector<VertexElement> kDeclarations[8] = {
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}, {24, T::Float2, S::TexCoord, 0},
     {32, T::Float3, S::Tangent, 0}, {44, T::Float3, S::Binormal, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}, {24, T::Float2, S::TexCoord, 0},
     {32, T::Float4, S::BlendWeight, 0}, {48, T::UByte4, S::BlendIndices, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Color, S::Color, 0}, {16, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}, {24, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}, {24, T::Float4, S::BlendWeight, 0},
     {40, T::UByte4, S::BlendIndices, 0}},
};

// The GUI mouse in clip space, for scripts.
float ScriptMouseX()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GuiSeam* gui = loom ? loom->GetGui() : nullptr;
    if (!gui)
        return 0.0f;
    float x = 0.0f, y = 0.0f;
    gui->ScreenToClip(gui->GetMouseX(), gui->GetMouseY(), x, y);
    return x;
}

float ScriptMouseY()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GuiSeam* gui = loom ? loom->GetGui() : nullptr;
    if (!gui)
        return 0.0f;
    float x = 0.0f, y = 0.0f;
    gui->ScreenToClip(gui->GetMouseX(), gui->GetMouseY(), x, y);
    return y * 0.75f;
}

GameClock* GetGameClock() { return gCoreEngine ? &gCoreEngine->GetGameClock() : nullptr; }

template <typename P>
void EraseFirst(std::vector<P*>& list, P* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}

} // namespace

GraphicsLoom* GraphicsLoom::Create()
{
    sInstance = new (std::nothrow) GraphicsLoom();
    return sInstance;
}

GraphicsLoom* GraphicsLoom::Instance() { return sInstance; }

GraphicsLoom::GraphicsLoom() : mPaths(std::make_unique<AssetManager<Path>>()) {}

AssetManager<Path>& GraphicsLoom::GetPaths() { return *mPaths; }

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

    if (!mWindow)
    {
        Console::Instance().Log("GraphicsLoom: no main window, nothing will be drawn", LogError);
        present.mWidth = present.mHeight = 0;
    }
    else
    {
        std::string error;
        mDevice = GraphicsDevice::CreateGl(mWindow, present, error);
        if (!mDevice)
        {
            Console::Instance().Log("GraphicsLoom: " + error + ", nothing will be drawn", LogError);
            present.mWidth = present.mHeight = 0;
        }
    }

    mTextures.SetFolder("Textures");
    mMaterials.SetFolder("Materials");
    mPaths->SetFolder("Paths");

    mToggles = Toggles{};
    mToggles.mShowStats = mSettings.mShowFPS;
    mToggles.mVSync = mSettings.mVSync;
    mDeviceLost = false;
    mScene->mConsolePosition = -240.0f;
    mLoadingTimer.Reset();

    if (mDevice)
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
        mPixelShader20 = caps.mPixelShader20;
        mTwoSidedStencil = caps.mTwoSidedStencil;
        ResourceContext::Set(mDevice.get(), &mTextures, mScene->mTextureFormat == TextureFormat::DXT5);
        if (!mSettings.mConsoleBackground.empty())
            mScene->mConsoleBackground.SetFile(mSettings.mConsoleBackground);
        mQuads = std::make_unique<QuadBatcher>(*mDevice);
        mShaders.Frame() = FrameMatrices{};
        mShaders.Load(*mDevice, mPixelShader20);
        mGui->Init(mDevice.get(), present.mWidth, present.mHeight);
        CreateVertexDeclarations();
    }
    else
    {
        mGui->Init(nullptr, present.mWidth, present.mHeight);
    }
    mModelStores = std::make_unique<ModelStoreSet>(mVertexDeclarations);
    if (mDevice)
    {
        // The water and the sky hold meshes from the stores.
        mWater = std::make_unique<Water>();
        mSky = std::make_unique<SkyDome>();
        mSun = std::make_unique<Sun>();
        mWater->Init();
        mWater->OnResetDevice();
        mSun->Init();
        mSky->Init();
    }
    if (!mCommands)
        mCommands = std::make_unique<GraphicsCommands>(*this);
    if (!mPost)
        mPost = std::make_unique<PostProcessor>();
    mDeferred = std::make_unique<DeferredRenderer>();
    mQueueShaders = std::make_unique<LibraryShaders>(mShaders, &mTextures);
    mQueue = std::make_unique<RenderQueue>();
    mQueue->Init(mDevice.get(), mQueueShaders.get());
    mPost->SetDevice(mDevice.get(), &mShaders);
    mCommands->Init(mDevice.get(), Console::Instance().GetConfigFolder() + "GuiConfig.xml");
    SceneFrame::CreateDeviceObjects(*this);
    ParticleFrame::CreateDeviceObjects(*this);
    HandScreenToInput();
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
    if (mSky)
        mSky->Release();
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
        mScene->mConsoleBackground.Release();
    mWater.reset();
    mSky.reset();
    mSun.reset();
    mModelStores.reset();
    mMaterials.ReleaseAll();
    mTextures.ReleaseAll();
    mShaders.Clear();
    mVertexDeclarations.clear();
    mQuads.reset();
    mSavedTarget = nullptr;
    if (ResourceContext::Device() == mDevice.get() && mDevice)
        ResourceContext::Set(nullptr, nullptr, false);
    mDevice.reset();
    ParticleFrame::Shutdown();
    mGui.reset();
    mScene.reset();
    mCamera = nullptr;
    mWindow = nullptr;
    mDeviceLost = false;
    mToggles.mLoading = false;
}

void GraphicsLoom::RegisterTypes()
{
    Console& console = Console::Instance();
    console.AddCommand("GetMouseX", MakeFunctionCommand(&ScriptMouseX));
    console.AddCommand("GetMouseY", MakeFunctionCommand(&ScriptMouseY));
    console.RegisterCommand("Fullscreen", MakeConsoleCommand(this, &GraphicsLoom::Fullscreen), "Toggles full screen");
    console.RegisterCommand("SetFullScreen", MakeConsoleCommand(this, &GraphicsLoom::SetFullScreen),
                            "Sets full screen on or off");
    console.RegisterCommand("VSync", MakeConsoleCommand(this, &GraphicsLoom::VSync), "Toggles vertical sync");
    console.RegisterCommand("SetVSync", MakeConsoleCommand(this, &GraphicsLoom::SetVSync), "Sets vertical sync");
    console.RegisterCommand("SetResolution", MakeConsoleCommand(this, &GraphicsLoom::SetResolution),
                            "Sets the back-buffer size");
    InstallSceneFactories();
    ParticleFrame::InstallFactories();
    RegisterSceneFunctions(CogFactory::Instance());
    RegisterSceneryCommands();
    mCommandsRegistered = true;
    for (const GraphicsComponentType& type : sComponentTypes)
        if (type.mFactory)
            CogFactory::Instance().RegisterComponent(type.mTypeId, type.mFactory);
}

void GraphicsLoom::Update()
{
    if (mToggles.mLoading)
    {
        RenderLoading();
        return;
    }
    GameClock* clock = GetGameClock();
    mFrameTime = clock ? float(clock->GetDt()) : 0.0f;
    mCounters = Counters{};
    if (!mDevice)
        return;
    if (mDeviceLost)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ResetDevice();
        return;
    }
    if (mGui)
        mGui->Update();
    UpdateCamera();
    if (mQueue)
        mQueue->Reset();
    if (mSun)
        mSun->Update(mFrameTime);
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

void GraphicsLoom::ClearFrame()
{
    mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, kClearColor, 1.0f, kClearStencil);
}

bool GraphicsLoom::PresentFrame()
{
    if (mDevice->Present())
        return true;
    mDeviceLost = true;
    if (GameClock* clock = GetGameClock())
        clock->SetPaused(true);
    return false;
}

void GraphicsLoom::RenderScene()
{
    if (mPost)
        mPost->BeginFrame();
    ClearFrame();
    if (mCamera)
    {
        ApplyFillMode();
        RenderScenery(mCamera->GetFrustumPlanes());
        if (mQueue && mToggles.mObjects)
            mQueue->Flush(mFrameTime, 0);
        if (mToggles.mShadows)
        {
            if (mQueue)
                mQueue->RenderShadows();
        }
        if (mWater && mWater->IsActive())
            mWater->Render(*this);
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
        // Debug lines are drawn now.
        if (!mDebugLines.empty())
        {
            GraphicsDevice::ColorVertex line[2];
            SetVertexDeclaration(3);
            mDevice->UseBuiltin(GraphicsDevice::Builtin::Lines);
            mDevice->SetTransform(TransformKind::World, Matrix4::Identity());
            for (size_t i = 0; i + 1 < mDebugLines.size(); i += 2)
            {
                line[0] = {mDebugLines[i].x, mDebugLines[i].y, mDebugLines[i].z, kDebugLineColor};
                line[1] = {mDebugLines[i + 1].x, mDebugLines[i + 1].y, mDebugLines[i + 1].z, kDebugLineColor};
                mDevice->DrawUser(PrimitiveType::LineStrip, 1, line, sizeof(line[0]));
            }
        }
    }
    if (mPost)
        mPost->EndFrame();
    if (mGui)
        mGui->Render();
    RenderStats();
    PresentFrame();
}

void GraphicsLoom::DoDeferred(bool on)
{
    if (!mDeferred)
        return;
    mDeferred->Enable(mDevice.get(), on);
    mToggles.mDeferred = on && mDeferred->IsEnabled();
}

void GraphicsLoom::RenderDeferred()
{
    GameClock* clock = GetGameClock();
    static const std::vector<Light*> kNoLights;
    mDeferred->Render(*mDevice, *mQueue, *mPost, mShaders, mSun ? mSun->mLights : kNoLights, mFrameTime,
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
    mCommands->RenderStats(dt, mToggles.mLoading, stats);
}

void GraphicsLoom::Unload() {}

std::string GraphicsLoom::GetName() { return "Graphics Loom"; }

std::string GraphicsLoom::GetTypeName() { return "Graphics"; }

void GraphicsLoom::RenderLoading()
{
    if (!mToggles.mLoading)
    {
        mToggles.mLoading = true;
        mLoadingTimer.Reset();
    }
    if (!mDevice || mDeviceLost)
        return;
    ClearFrame();
    RenderStats();
    PresentFrame();
}

void GraphicsLoom::DoneLoading()
{
    mToggles.mLoading = false;
    Console::Instance().ShowConsole(false);
    // The core timer's interval covers the loading steps; a second tick keeps it out of the
    // next frame's time.
    PreciseTimer& timer = gCoreEngine ? gCoreEngine->GetCoreTimer() : mLoadingTimer;
    timer.Tick();
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.3f", timer.GetDt());
    Console::Instance().Log(std::string("Loading Time: ") + seconds + " secs", LogLoading);
    timer.Tick();
}

void GraphicsLoom::GetDisplaySettings(DisplaySettings& out) const
{
    if (!mScene)
        return;
    out.mScreenWidth = mScene->mPresent.mWidth;
    out.mScreenHeight = mScene->mPresent.mHeight;
    out.mVsync = mScene->mPresent.mVSync;
    out.mFullscreen = !mScene->mPresent.mWindowed;
    out.mAntiAliasing = mScene->mPresent.mSamples > 1;
    out.mShadows = mToggles.mShadows;
}

void GraphicsLoom::AddModel(Renderable* model) { mScene ? mScene->mModels.push_back(model) : void(); }
void GraphicsLoom::RemoveModel(Renderable* model) { mScene ? EraseFirst(mScene->mModels, model) : void(); }
void GraphicsLoom::AddParticleComp(ParticleComp* comp) { mScene ? mScene->mParticleComps.push_back(comp) : void(); }
void GraphicsLoom::RemoveParticleComp(ParticleComp* comp) { mScene ? EraseFirst(mScene->mParticleComps, comp) : void(); }
void GraphicsLoom::AddEffect(Effect* effect) { mScene ? mScene->mEffects.push_back(effect) : void(); }
void GraphicsLoom::RemoveEffect(Effect* effect) { mScene ? EraseFirst(mScene->mEffects, effect) : void(); }

void GraphicsLoom::CreateVertexDeclarations()
{
    mVertexDeclarations.clear();
    for (const auto& elements : kDeclarations)
        mVertexDeclarations.push_back(mDevice->CreateVertexLayout(elements));
    // Meshes draw with these: after a reset they must not keep the old ones.
    if (mModelStores)
        for (size_t i = 0; i < std::size(ModelStores::sLayouts); ++i)
            ModelStores::sLayouts[i] = i < mVertexDeclarations.size() ? mVertexDeclarations[i].get() : nullptr;
}

void GraphicsLoom::SetVertexDeclaration(uint32_t index)
{
    if (mDevice && index < mVertexDeclarations.size())
        mDevice->SetVertexLayout(mVertexDeclarations[index].get());
}

void GraphicsLoom::SetRenderTarget(GpuTexture* target)
{
    if (!mDevice)
        return;
    mSavedTarget = mDevice->GetRenderTarget(0);
    if (!mDevice->SetRenderTarget(0, target) &&
        AssertFailedString("SUCCEEDED(hr)", "GraphicsLoom", __LINE__, "Failed to Set Render Target Level"))
        DebugBreakIfAttached();
}

void GraphicsLoom::RestoreRenderTarget()
{
    if (!mDevice)
        return;
    mDevice->SetRenderTarget(0, mSavedTarget);
    mSavedTarget = nullptr;
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
    // The active camera's matrices: the device's transforms end a frame as the last pass left them.
    const Matrix4& projection = mCamera ? mCamera->GetProjection() : mDevice->GetTransform(TransformKind::Projection);
    const float px = (2.0f * x / float(GetScreenWidth()) - 1.0f) / projection.m[0];
    const float py = -(2.0f * y / float(GetScreenHeight()) - 1.0f) / projection.m[5];
    Matrix4 m;
    if (mCamera)
        m = mCamera->GetViewInverse();
    else
        mDevice->GetTransform(TransformKind::View).Inverse(m);
    return Ray(Vector3(m.m[12], m.m[13], m.m[14]),
               Vector3(px * m.m[0] + py * m.m[4] + m.m[8], px * m.m[1] + py * m.m[5] + m.m[9],
                       px * m.m[2] + py * m.m[6] + m.m[10]));
}

Vector3 GraphicsLoom::WorldToScreen(const Vector3& point)
{
    if (!mDevice)
        return Vector3();
    const Matrix4& view = mCamera ? mCamera->GetView() : mDevice->GetTransform(TransformKind::View);
    const Matrix4& projection = mCamera ? mCamera->GetProjection() : mDevice->GetTransform(TransformKind::Projection);
    Matrix4 viewProjection;
    view.Multiply(projection, viewProjection);
    const Vector3 p = viewProjection.TransformCoord(point);
    return Vector3((p.x + 1.0f) / 2.0f * float(GetScreenWidth()), (1.0f - p.y) / 2.0f * float(GetScreenHeight()), p.z);
}

void GraphicsLoom::AddLine(const Vector3& from, const Vector3& to)
{
    mDebugLines.push_back(from);
    mDebugLines.push_back(to);
}

void GraphicsLoom::SetEffectGlobals()
{
    if (!mDevice)
        return;
    FrameMatrices& frame = mShaders.Frame();
    frame.mView = mDevice->GetTransform(TransformKind::View);
    frame.mProjection = mDevice->GetTransform(TransformKind::Projection);
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
    if (mSun)
        mSun->SetLightParameters(effect, frame.mView);
}

void GraphicsLoom::HandScreenToInput()
{
    if (IOLoom* io = IOLoom::Instance())
    {
        io->SetScreenSize(GetScreenWidth(), GetScreenHeight());
        if (mDevice)
            io->SetRelativeMouse(IsFullscreen());
    }
}

void GraphicsLoom::OnDeviceLost()
{
    Console::Instance().Log("Graphics Device Lost", LogInit);
    mVertexDeclarations.clear();
    if (mModelStores)
        for (VertexLayout*& layout : ModelStores::sLayouts)
            layout = nullptr;
    if (Terrain* terrain = GetTerrain())
        terrain->OnDeviceLost();
    if (mWater)
        mWater->OnLostDevice();
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
        CreateVertexDeclarations();
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
    if (mWater)
        mWater->OnResetDevice();
    if (Terrain* terrain = GetTerrain())
        terrain->OnDeviceReset();
    HandScreenToInput();
}

void GraphicsLoom::RenderScenery(std::span<const Plane, 6> frustum)
{
    if (!mDevice)
        return;
    Terrain* terrain = GetTerrain();
    if (mSky)
        mSky->Render(*this, mSun.get());
    if (mWater && mWater->IsActive())
    {
        mWater->BeginReflection(*this);
        if (mSky)
            mSky->Render(*this, mSun.get());
        if (terrain)
        {
            // The mirrored camera sees its own frustum; culling against the real one would
            // drop what only the mirror shows.
            const Matrix4 mirrored = mDevice->GetTransform(TransformKind::View) *
                                     mDevice->GetTransform(TransformKind::Projection);
            terrain->RenderClipped(Terrain::FrustumPlanes(mirrored), Plane(0.0f, 1.0f, 0.0f, -Water::kGridHeight), 1.0f);
        }
        mWater->EndReflection(*this);
    }
    if (terrain && mToggles.mTerrain)
    {
        terrain->Render(frustum, mFrameTime);
        mCounters.mTriangles += terrain->GetTrianglesDrawn();
    }
}

void GraphicsLoom::ResetDevice()
{
    if (!mDevice || mDevice->TestCooperativeLevel() != CooperativeLevel::NotReset)
        return;
    OnDeviceLost();
    mDevice->Reset(mScene->mPresent);
    OnDeviceReset();
    mDeviceLost = false;
}

void GraphicsLoom::ResetWith(const DeviceDesc& previous, const char* failText)
{
    OnDeviceLost();
    if (!mDevice->Reset(mScene->mPresent))
    {
        Console::Instance().Log(failText, LogGeneral);
        mScene->mPresent = previous;
        mToggles.mVSync = previous.mVSync;
        if (!mDevice->Reset(mScene->mPresent) &&
            AssertFailedString("SUCCEEDED(hr)", "GraphicsLoom", __LINE__, "Device Failure"))
            DebugBreakIfAttached();
    }
    OnDeviceReset();
}

void GraphicsLoom::SetFullScreen(bool fullscreen)
{
    if (!mDevice)
        return;
    const DeviceDesc previous = mScene->mPresent;
    mScene->mPresent.mWindowed = !fullscreen;
    ResetWith(previous, "Setting Change Failed");
}

void GraphicsLoom::Fullscreen()
{
    if (mScene)
        SetFullScreen(mScene->mPresent.mWindowed);
}

void GraphicsLoom::SetVSync(bool vsync)
{
    if (!mDevice)
        return;
    const DeviceDesc previous = mScene->mPresent;
    mScene->mPresent.mVSync = vsync;
    mToggles.mVSync = vsync;
    ResetWith(previous, "Setting Change Failed");
}

void GraphicsLoom::VSync()
{
    if (mScene)
        SetVSync(!mScene->mPresent.mVSync);
}

void GraphicsLoom::SetResolution(uint32_t width, uint32_t height)
{
    if (!mDevice)
        return;
    const DeviceDesc previous = mScene->mPresent;
    mScene->mPresent.mWidth = int32_t(std::min<uint32_t>(width, INT32_MAX));
    mScene->mPresent.mHeight = int32_t(std::min<uint32_t>(height, INT32_MAX));
    ResetWith(previous, "Resolution Change Failed");
    if (mScene->mPresent.mWindowed && gPlatformWindow)
        gPlatformWindow->ResizeAndCenter(mScene->mPresent.mWidth, mScene->mPresent.mHeight);
}

void GraphicsLoom::ChangeSettings(const DisplaySettings& settings)
{
    if (!mDevice)
        return;
    const DeviceDesc previous = mScene->mPresent;
    DeviceDesc& present = mScene->mPresent;
    present.mWidth = settings.mScreenWidth;
    present.mHeight = settings.mScreenHeight;
    present.mWindowed = !settings.mFullscreen;
    present.mVSync = settings.mVsync;
    present.mSamples = settings.mAntiAliasing ? kChangeSamples : 0;
    mToggles.mShadows = settings.mShadows;
    mToggles.mVSync = settings.mVsync;
    ResetWith(previous, "Setting Change Failed");
    if (present.mWindowed && gPlatformWindow)
        gPlatformWindow->ResizeAndCenter(present.mWidth, present.mHeight);
}

#include "graphics/GraphicsLoom.h"

#include <SDL.h>

#include <cstdio>
#include <new>

#include "LOOM/console/Console.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/space/QTree.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/model/ModelStoreSet.h"
#include "input/IOLoom.h"
#include "platform/PlatformWindow.h"

namespace {

GraphicsLoom* sInstance = nullptr;

constexpr uint32_t kClearColor = 0xFF808080;
constexpr uint32_t kClearStencil = 128;

} // namespace

GraphicsLoom* GraphicsLoom::Create()
{
    sInstance = new (std::nothrow) GraphicsLoom();
    return sInstance;
}

GraphicsLoom* GraphicsLoom::Instance()
{
    return sInstance;
}

GraphicsLoom::~GraphicsLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void GraphicsLoom::Init()
{
    if (mWindow || mDevice)
        Shutdown();
    mLoading = false;
    mLoadingTimer.Reset();

    mWindow = PlatformWindow::GetHandle();
    if (!mWindow)
    {
        Console::Instance().Log("GraphicsLoom: no main window, nothing will be drawn", LogError);
        mModelStores = std::make_unique<ModelStoreSet>(nullptr);
        return;
    }
    SDL_GetWindowSize(mWindow, &mWidth, &mHeight);

    DeviceDesc desc;
    desc.mWidth = mWidth;
    desc.mHeight = mHeight;
    std::string error;
    mDevice = GraphicsDevice::CreateGl(mWindow, desc, error);
    if (!mDevice)
    {
        Console::Instance().Log("GraphicsLoom: " + error + ", nothing will be drawn", LogError);
        mWidth = mHeight = 0;
        SDL_GetWindowSize(mWindow, &mWidth, &mHeight);
    }

    mModelStores = std::make_unique<ModelStoreSet>(mDevice.get());
    if (IOLoom* io = IOLoom::Instance())
        io->SetScreenSize(mWidth, mHeight);
}

void GraphicsLoom::Shutdown()
{
    mModelStores.reset();
    mDevice.reset();
    mWindow = nullptr;
    mWidth = 0;
    mHeight = 0;
    mLoading = false;
}

void GraphicsLoom::RegisterTypes()
{
    RegisterCamera(CogFactory::Instance());
}

void GraphicsLoom::SetActiveCamera(Camera* camera)
{
    if (mActiveCamera)
        mActiveCamera->SetActiveFlag(false);
    mActiveCamera = camera;
    if (mActiveCamera)
        mActiveCamera->SetActiveFlag(true);
}

void GraphicsLoom::UpdateCamera()
{
    if (!mActiveCamera)
        return;
    if (mWidth > 0 && mHeight > 0)
        mActiveCamera->SetAspectRatio(static_cast<float>(mWidth), static_cast<float>(mHeight));
    mActiveCamera->UpdateFromOwner();
    if (mDevice)
    {
        mDevice->SetTransform(TransformKind::View, mActiveCamera->GetView());
        mDevice->SetTransform(TransformKind::Projection, mActiveCamera->GetProjection());
    }
    if (QTree* tree = QTree::Instance())
        tree->MarkVisible(mActiveCamera->GetFrustumPlanes());
}

Ray GraphicsLoom::ScreenToWorldRay(int32_t x, int32_t y) const
{
    if (!mActiveCamera)
        return Ray();
    return mActiveCamera->ScreenRay(x, y, mWidth, mHeight);
}

void GraphicsLoom::Update()
{
    UpdateCamera();
    ClearAndPresent();
}

void GraphicsLoom::Unload()
{
}

std::string GraphicsLoom::GetName()
{
    return "Graphics Loom";
}

std::string GraphicsLoom::GetTypeName()
{
    return "Graphics";
}

void GraphicsLoom::RenderLoading()
{
    if (!mLoading)
    {
        mLoading = true;
        mLoadingTimer.Reset();
    }
    ClearAndPresent();
}

void GraphicsLoom::DoneLoading()
{
    mLoading = false;
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.3f", mLoadingTimer.TickAndGetElapsed());
    Console::Instance().Log(std::string("Loading Time: ") + seconds + " secs", LogLoading);
    mLoadingTimer.Reset();
}

void GraphicsLoom::ClearAndPresent()
{
    if (!mDevice)
        return;
    mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, kClearColor, 1.0f, kClearStencil);
    mDevice->Present();
}

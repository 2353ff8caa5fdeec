#include "graphics/GraphicsLoom.h"

#include <SDL.h>

#include <cstdio>
#include <new>

#include "LOOM/console/Console.h"
#include "graphics/device/GraphicsDevice.h"
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

    if (IOLoom* io = IOLoom::Instance())
        io->SetScreenSize(mWidth, mHeight);
}

void GraphicsLoom::Shutdown()
{
    mDevice.reset();
    mWindow = nullptr;
    mWidth = 0;
    mHeight = 0;
    mLoading = false;
}

void GraphicsLoom::RegisterTypes()
{
}

void GraphicsLoom::Update()
{
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

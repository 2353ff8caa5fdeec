#include "graphics/GraphicsLoom.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <new>

#include "LOOM/console/Console.h"
#include "input/IOLoom.h"
#include "platform/PlatformWindow.h"

namespace {

GraphicsLoom* sInstance = nullptr;

constexpr int kGlMajor = 3;
constexpr int kGlMinor = 3;
// The frame's background, 0xFF808080.
constexpr float kClearGrey = 128.0f / 255.0f;
constexpr int kClearStencil = 128;

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
    if (mWindow || mContext)
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

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kGlMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kGlMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GLContext context = SDL_GL_CreateContext(mWindow);
    if (!context)
    {
        Console::Instance().Log(std::string("GraphicsLoom: no OpenGL 3.3 context, nothing will be drawn: ") +
                                    SDL_GetError(),
                                LogError);
    }
    else if (epoxy_gl_version() < kGlMajor * 10 + kGlMinor)
    {
        Console::Instance().Log("GraphicsLoom: OpenGL " + std::to_string(epoxy_gl_version() / 10) + "." +
                                    std::to_string(epoxy_gl_version() % 10) +
                                    " is older than 3.3, nothing will be drawn",
                                LogError);
        SDL_GL_DeleteContext(context);
    }
    else
    {
        mContext = context;
        SDL_GL_GetDrawableSize(mWindow, &mWidth, &mHeight);
        glViewport(0, 0, mWidth, mHeight);
    }

    if (IOLoom* io = IOLoom::Instance())
        io->SetScreenSize(mWidth, mHeight);
}

void GraphicsLoom::Shutdown()
{
    if (mContext)
    {
        if (SDL_GL_GetCurrentContext() == mContext)
            SDL_GL_MakeCurrent(mWindow, nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(mContext));
        mContext = nullptr;
    }
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
    if (!mContext)
        return;
    SDL_GL_MakeCurrent(mWindow, static_cast<SDL_GLContext>(mContext));
    // A clear touches only what the masks let through.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(kClearGrey, kClearGrey, kClearGrey, 1.0f);
    glClearDepth(1.0);
    glClearStencil(kClearStencil);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    SDL_GL_SwapWindow(mWindow);
}

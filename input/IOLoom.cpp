#include "input/IOLoom.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "LOOM/console/Console.h"
#include "input/KeyNames.h"
#include "platform/PlatformWindow.h"

namespace {

IOLoom* sInstance = nullptr;

int ButtonIndex(uint8_t sdlButton)
{
    switch (sdlButton)
    {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
    }
}

} // namespace

IOLoom* IOLoom::Create()
{
    sInstance = new (std::nothrow) IOLoom();
    return sInstance;
}

IOLoom* IOLoom::Instance()
{
    return sInstance;
}

IOLoom::~IOLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void IOLoom::Init()
{
    ResetState();
    // Start where the pointer is, if SDL knows.
    SDL_GetMouseState(&mSeenX, &mSeenY);
    PlatformWindow::SetInputObserver(&IOLoom::ObserveEvent, this);
    mActive = true;
}

void IOLoom::Shutdown()
{
    if (mActive)
        PlatformWindow::SetInputObserver(nullptr, nullptr);
    mActive = false;
    ResetState();
}

void IOLoom::RegisterTypes()
{
}

void IOLoom::Update()
{
    mPrevMouseX = mMouseX;
    mPrevMouseY = mMouseY;
    mMouseX = std::clamp(mSeenX, 0, std::max(mScreenWidth, 0));
    mMouseY = std::clamp(mSeenY, 0, std::max(mScreenHeight, 0));
    mWheel = mWheelSeen;
    mWheelSeen = 0;

    for (int i = 0; i < kMouseButtons; ++i)
    {
        mButtonTriggered[i] = mButtonWentDown[i];
        mButtonReleased[i] = mButtonWentUp[i];
        mButtonPressed[i] = mButtonWentDown[i] || mButtonHeld[i];
        mButtonWentDown[i] = false;
        mButtonWentUp[i] = false;
    }
    for (int i = 0; i < kKeyCount; ++i)
    {
        mKeyTriggered[i] = mKeyWentDown[i];
        mKeyPressed[i] = mKeyWentDown[i] || mKeyHeld[i];
        mKeyWentDown[i] = false;
    }
}

void IOLoom::Unload()
{
}

std::string IOLoom::GetName()
{
    return "IO Loom";
}

std::string IOLoom::GetTypeName()
{
    return "IOLoom";
}

bool IOLoom::MousePressed(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtonPressed[button];
}

bool IOLoom::MouseTriggered(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtonTriggered[button];
}

bool IOLoom::MouseReleased(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtonReleased[button];
}

bool IOLoom::IsKeyPressed(int key) const
{
    return key >= 0 && key < kKeyCount && mKeyPressed[key];
}

bool IOLoom::IsKeyTriggered(int key) const
{
    return key >= 0 && key < kKeyCount && mKeyTriggered[key];
}

bool IOLoom::IsKeyPressedChar(char c) const
{
    return IsKeyPressed(KeyOfChar(c));
}

bool IOLoom::IsKeyPressedByName(const std::string& name) const
{
    const KeyName* key = LookUpKey(name);
    return key && (IsKeyPressed(key->mKey) || IsKeyPressed(key->mOtherKey));
}

bool IOLoom::IsKeyTriggeredByName(const std::string& name) const
{
    const KeyName* key = LookUpKey(name);
    return key && (IsKeyTriggered(key->mKey) || IsKeyTriggered(key->mOtherKey));
}

const KeyName* IOLoom::LookUpKey(const std::string& name) const
{
    const KeyName* key = FindKeyName(name);
    if (key)
        return key;
    // Asked for every frame by the same caller: say it once.
    if (std::find(mReportedNames.begin(), mReportedNames.end(), name) == mReportedNames.end())
    {
        mReportedNames.push_back(name);
        Console::Instance().Log("IOLoom: unknown key name \"" + name + "\"", LogError);
    }
    return nullptr;
}

void IOLoom::SetScreenSize(int width, int height)
{
    mScreenWidth = std::max(width, 0);
    mScreenHeight = std::max(height, 0);
}

void IOLoom::SetRelativeMouse(bool relative)
{
    if (SDL_SetRelativeMouseMode(relative ? SDL_TRUE : SDL_FALSE) != 0)
        Console::Instance().Log(std::string("IOLoom: relative mouse mode unavailable: ") + SDL_GetError(),
                                LogError);
}

void IOLoom::HandleEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    {
        const int key = event.key.keysym.scancode;
        if (key < 0 || key >= kKeyCount)
            break;
        if (event.type == SDL_KEYDOWN)
        {
            // Auto-repeat is the same press going on.
            if (!mKeyHeld[key] && event.key.repeat == 0)
                mKeyWentDown[key] = true;
            mKeyHeld[key] = true;
        }
        else
        {
            mKeyHeld[key] = false;
        }
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
        const int button = ButtonIndex(event.button.button);
        mSeenX = event.button.x;
        mSeenY = event.button.y;
        if (button < 0)
            break;
        if (event.type == SDL_MOUSEBUTTONDOWN)
        {
            if (!mButtonHeld[button])
                mButtonWentDown[button] = true;
            mButtonHeld[button] = true;
        }
        else
        {
            if (mButtonHeld[button])
                mButtonWentUp[button] = true;
            mButtonHeld[button] = false;
        }
        break;
    }
    case SDL_MOUSEMOTION:
        mSeenX = event.motion.x;
        mSeenY = event.motion.y;
        break;
    case SDL_MOUSEWHEEL:
    {
        const float turn = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.preciseY
                                                                            : event.wheel.preciseY;
        mWheelSeen += static_cast<int>(std::lround(turn * kWheelNotch));
        break;
    }
    default:
        break;
    }
}

void IOLoom::ObserveEvent(const SDL_Event& event, void* userdata)
{
    IOLoom* loom = static_cast<IOLoom*>(userdata);
    if (loom->mActive)
        loom->HandleEvent(event);
}

void IOLoom::ResetState()
{
    mButtonHeld.fill(false);
    mButtonWentDown.fill(false);
    mButtonWentUp.fill(false);
    mKeyHeld.fill(false);
    mKeyWentDown.fill(false);
    mButtonPressed.fill(false);
    mButtonTriggered.fill(false);
    mButtonReleased.fill(false);
    mKeyPressed.fill(false);
    mKeyTriggered.fill(false);
    mWheelSeen = 0;
    mWheel = 0;
    mSeenX = mSeenY = 0;
    mMouseX = mMouseY = 0;
    mPrevMouseX = mPrevMouseY = 0;
}

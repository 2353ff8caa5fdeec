#include "input/IOLoom.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "input/ControlMap.h"
#include "input/ControlSet.h"
#include "input/IOConfig.h"
#include "input/KeyNames.h"
#include "input/TextStream.h"
#include "platform/PlatformWindow.h"

namespace {

IOLoom* sInstance = nullptr;

int ButtonIndex(uint8_t sdlButton)
{
    switch (sdlButton)
    {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    default:
        return -1;
    }
}

} // namespace

void IOLoom::ButtonState::Track(bool down, bool fresh)
{
    if (down && fresh && !mHeld)
        mWentDown = true;
    if (!down && mHeld)
        mWentUp = true;
    mHeld = down;
}

void IOLoom::ButtonState::Settle(bool blocked)
{
    mTriggered = mWentDown && !blocked;
    mReleased = mWentUp;
    mPressed = (mWentDown || mHeld) && !blocked;
    mWentDown = false;
    mWentUp = false;
}

IOLoom* IOLoom::Create()
{
    sInstance = new (std::nothrow) IOLoom();
    return sInstance;
}

IOLoom* IOLoom::Instance() { return sInstance; }

IOLoom::IOLoom()
{
    mTextSeen.reserve(kTextQueueLimit);
    mText.reserve(kTextQueueLimit);
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
    SDL_Window* focus = SDL_GetMouseFocus();
    mSeenWindow = focus ? SDL_GetWindowID(focus) : 0;
    const IOConfig config = LoadIOConfig(Console::Instance().GetConfigFolder() + "IOConfig.xml");
    mSensitivity = config.mMouseSensitivity;
    if (config.mRelativeMouse)
        SetRelativeMouse(true);
    PlatformWindow::SetInputObserver(&IOLoom::ObserveEvent, this);
    mActive = true;
}

void IOLoom::Shutdown()
{
    if (mActive)
        PlatformWindow::SetInputObserver(nullptr, nullptr);
    mActive = false;
    ResetState();
    // A hard restart reads the binding files again.
    ForgetControlSets();
}

void IOLoom::RegisterTypes() { RegisterInputComponents(CogFactory::Instance()); }

void IOLoom::Update()
{
    mPrevMouseX = mMouseX;
    mPrevMouseY = mMouseY;
    ScreenPointer(mMouseX, mMouseY);
    mWheel = mWheelSeen;
    mWheelSeen = 0;

    for (ButtonState& button : mButtons)
        button.Settle(false);
    // Keys typed into the console are its own: the game sees none of them, even those the
    // window passed on before the console had taken the key that opened its input line.
    const bool console = Console::Instance().TakesKeys();
    for (ButtonState& key : mKeys)
        key.Settle(console);
    // Both strings keep their capacity, so this never allocates.
    mText.swap(mTextSeen);
    mTextSeen.clear();
    if (console)
        mText.clear();
}

void IOLoom::Unload() {}

std::string IOLoom::GetName() { return "IO Loom"; }

std::string IOLoom::GetTypeName() { return "IOLoom"; }

bool IOLoom::MousePressed(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtons[button].mPressed;
}

bool IOLoom::MouseTriggered(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtons[button].mTriggered;
}

bool IOLoom::MouseReleased(int button) const
{
    return button >= 0 && button < kMouseButtons && mButtons[button].mReleased;
}

int IOLoom::GetMouseButtonState(int button) const
{
    if (MouseTriggered(button))
        return 1;
    if (MousePressed(button))
        return 2;
    if (MouseReleased(button))
        return 3;
    return 0;
}

bool IOLoom::IsKeyReleased(int key) const { return key >= 0 && key < kKeyCount && mKeys[key].mReleased; }

bool IOLoom::IsKeyPressed(int key) const { return key >= 0 && key < kKeyCount && mKeys[key].mPressed; }

bool IOLoom::IsKeyTriggered(int key) const { return key >= 0 && key < kKeyCount && mKeys[key].mTriggered; }

uint64_t IOLoom::KeyPressOrder(int key) const { return key >= 0 && key < kKeyCount ? mPressOrder[key] : 0; }

bool IOLoom::IsKeyPressedChar(char c) const { return IsKeyPressed(KeyOfChar(c)); }

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

void IOLoom::SetMouseSensitivity(float sensitivity)
{
    if (std::isfinite(sensitivity) && sensitivity > 0.0f)
        mSensitivity = sensitivity;
}

bool IOLoom::MainWindowSize(uint32_t windowId, int& width, int& height) const
{
    // Only the main window shows the frame; a position in any other is taken as it is.
    SDL_Window* window = PlatformWindow::GetHandle();
    if (!window || windowId == 0 || windowId != SDL_GetWindowID(window))
        return false;
    width = height = 0;
    SDL_GetWindowSize(window, &width, &height);
    return true;
}

void IOLoom::WindowScale(uint32_t windowId, double& scaleX, double& scaleY) const
{
    scaleX = scaleY = 1.0;
    int width = 0, height = 0;
    if (!MainWindowSize(windowId, width, height))
        return;
    if (width > 0 && mScreenWidth > 0)
        scaleX = static_cast<double>(mScreenWidth) / width;
    if (height > 0 && mScreenHeight > 0)
        scaleY = static_cast<double>(mScreenHeight) / height;
}

void IOLoom::ScreenPointer(int& x, int& y) const
{
    int width = 0, height = 0;
    const bool inMain = MainWindowSize(mSeenWindow, width, height);
    // The window's first and last pixels are the frame's, whatever the stretch, so the
    // outermost row and column of the window are the frame's outermost too.
    const auto place = [inMain](int seen, int window, int size) {
        double at = seen;
        if (inMain && window > 1 && size > 0)
            at = std::round(seen * static_cast<double>(size - 1) / (window - 1));
        return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(std::max(size, 0))));
    };
    x = place(mSeenX, width, mScreenWidth);
    y = place(mSeenY, height, mScreenHeight);
}

void IOLoom::SetRelativeMouse(bool relative)
{
    if (relative && !mRelative)
    {
        int x = 0, y = 0;
        ScreenPointer(x, y);
        mCursorX = static_cast<float>(x);
        mCursorY = static_cast<float>(y);
        mSeenX = x;
        mSeenY = y;
        mSeenWindow = 0;
    }
    else if (!relative && mRelative)
    {
        // What was seen is our cursor, in screen pixels, until the pointer moves in a window.
        mSeenWindow = 0;
    }
    // Our cursor follows the motion whether or not SDL can capture the pointer.
    mRelative = relative;
    if (SDL_SetRelativeMouseMode(relative ? SDL_TRUE : SDL_FALSE) != 0)
        Console::Instance().Log(std::string("IOLoom: relative mouse mode unavailable: ") + SDL_GetError(), LogError);
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
        if (event.type == SDL_KEYDOWN && Console::Instance().TakesKeys())
            break;
        if (event.type == SDL_KEYDOWN)
        {
            // Editing keys repeat while held, as typing does.
            char edit = 0;
            if (key == SDL_SCANCODE_BACKSPACE)
                edit = kTextBackspace;
            else if (key == SDL_SCANCODE_RETURN || key == SDL_SCANCODE_KP_ENTER)
                edit = kTextEnter;
            else if (key == SDL_SCANCODE_ESCAPE)
                edit = kTextEscape;
            if (edit && mTextSeen.size() < kTextQueueLimit)
                mTextSeen.push_back(edit);
        }
        // Auto-repeat is the same press going on.
        mKeys[key].Track(event.type == SDL_KEYDOWN, event.key.repeat == 0);
        if (event.type == SDL_KEYDOWN && event.key.repeat == 0)
            mPressOrder[key] = ++mPresses;
        break;
    }
    case SDL_TEXTINPUT:
        if (!Console::Instance().TakesKeys())
            QueueText(event.text.text, strnlen(event.text.text, sizeof(event.text.text)));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
        const int button = ButtonIndex(event.button.button);
        if (!mRelative)
        {
            mSeenX = event.button.x;
            mSeenY = event.button.y;
            mSeenWindow = event.button.windowID;
        }
        if (button >= 0)
            mButtons[button].Track(event.type == SDL_MOUSEBUTTONDOWN, true);
        break;
    }
    case SDL_MOUSEMOTION:
        if (mRelative)
        {
            // A full screen stretches the frame too: a sweep across the window is one across the screen.
            double scaleX = 1.0, scaleY = 1.0;
            WindowScale(event.motion.windowID, scaleX, scaleY);
            mCursorX = std::clamp(mCursorX + static_cast<float>(event.motion.xrel * scaleX) * mSensitivity, 0.0f,
                                  static_cast<float>(mScreenWidth));
            mCursorY = std::clamp(mCursorY + static_cast<float>(event.motion.yrel * scaleY) * mSensitivity, 0.0f,
                                  static_cast<float>(mScreenHeight));
            mSeenX = static_cast<int>(std::lround(mCursorX));
            mSeenY = static_cast<int>(std::lround(mCursorY));
        }
        else
        {
            mSeenX = event.motion.x;
            mSeenY = event.motion.y;
            mSeenWindow = event.motion.windowID;
        }
        break;
    case SDL_MOUSEWHEEL:
    {
        const float turn =
            event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.preciseY : event.wheel.preciseY;
        mWheelSeen += static_cast<int>(std::lround(turn * kWheelNotch));
        break;
    }
    default:
        break;
    }
}

void IOLoom::QueueText(const char* text, size_t size)
{
    // Control bytes would read as editing keys; a piece that does not fit whole is dropped, so
    // no code point is split.
    const auto typable = [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f; };
    const size_t kept = static_cast<size_t>(std::count_if(text, text + size, typable));
    if (kept == 0 || mTextSeen.size() + kept > kTextQueueLimit)
        return;
    std::copy_if(text, text + size, std::back_inserter(mTextSeen), typable);
}

void IOLoom::ObserveEvent(const SDL_Event& event, void* userdata)
{
    IOLoom* loom = static_cast<IOLoom*>(userdata);
    if (loom->mActive)
        loom->HandleEvent(event);
}

void IOLoom::ResetState()
{
    mButtons.fill({});
    mKeys.fill({});
    mTextSeen.clear();
    mText.clear();
    mPresses = 0;
    mPressOrder.fill(0);
    mWheelSeen = 0;
    mWheel = 0;
    mSeenX = mSeenY = 0;
    mSeenWindow = 0;
    mCursorX = mCursorY = 0.0f;
    mMouseX = mMouseY = 0;
    mPrevMouseX = mPrevMouseY = 0;
}

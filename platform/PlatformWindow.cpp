#include "platform/PlatformWindow.h"

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StringUtils.h"
#include "LOOM/console/Console.h"
#include "platform/Dialogs.h"
#include "platform/ImageDecode.h"
#include "platform/SystemInfoReader.h"

PlatformWindow* gPlatformWindow = nullptr;

namespace {
// Owns the window gPlatformWindow points at.
std::unique_ptr<PlatformWindow> sOwnedWindow;

const char* const kSplashImage = "InvaderLoading.bmp";

// Codes of the keys passed on as keys; 0 for every other key.
int KeyCodeFor(SDL_Keycode key)
{
    switch (key)
    {
    case SDLK_UP:
        return kKeyUp;
    case SDLK_DOWN:
        return kKeyDown;
    case SDLK_RIGHT:
        return kKeyRight;
    case SDLK_LEFT:
        return kKeyLeft;
    case SDLK_DELETE:
        return kKeyDelete;
    case SDLK_PAGEUP:
        return kKeyPageUp;
    case SDLK_PAGEDOWN:
        return kKeyPageDown;
    case SDLK_F11:
        return kKeyF11;
    case SDLK_F12:
        return kKeyF12;
    default:
        return 0;
    }
}

// Keys that type a control character; SDL's text input never reports these.
int CharCodeFor(SDL_Keycode key)
{
    switch (key)
    {
    case SDLK_BACKSPACE:
        return kCharBackspace;
    case SDLK_TAB:
        return kCharTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return kCharEnter;
    case SDLK_ESCAPE:
        return kCharEscape;
    default:
        return 0;
    }
}

bool IsTrackedButton(Uint8 button) { return button == SDL_BUTTON_LEFT || button == SDL_BUTTON_RIGHT; }

// The splash bitmap is a data file like any other: read through the file guard, so a link out of
// the data folder is refused, and through the capped decoder, so a small file whose header names a
// huge picture does not ask for gigabytes. Null leaves the splash blank; only a missing file does
// so without a word.
SDL_Surface* LoadSplashImage(std::string& error)
{
    std::string bytes;
    FileRefusal refusal;
    errno = 0;
    if (!ReadWholeFile(DataFilePath(kSplashImage), bytes, MaxImageBytes(), &refusal))
    {
        const int why = errno;
        const std::string named = std::string("PlatformWindow: splash image ") + kSplashImage;
        if (!refusal.mWhy.empty())
            error = named + " cannot be read: " + refusal.Text(kSplashImage);
        else if (why != ENOENT)
            error = named + ": cannot be read" + (why != 0 ? std::string(" (") + std::strerror(why) + ")" : "");
        return nullptr;
    }
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::string why;
    if (!DecodeImage(bytes, 3, false, width, height, rgb, why))
    {
        error = std::string("PlatformWindow: splash image ") + kSplashImage + ": " + why;
        return nullptr;
    }
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, int(width), int(height), 24, SDL_PIXELFORMAT_RGB24);
    if (!image)
    {
        error = std::string("PlatformWindow: splash image ") + kSplashImage + ": " + SDL_GetError();
        return nullptr;
    }
    const size_t rowBytes = size_t(width) * 3;
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(image->pixels) + size_t(y) * size_t(image->pitch),
                    rgb.data() + size_t(y) * rowBytes, rowBytes);
    return image;
}
} // namespace

PlatformWindow* PlatformWindow::Create(int32_t width, int32_t height)
{
    if (gPlatformWindow)
        return gPlatformWindow;
    sOwnedWindow.reset(new (std::nothrow) PlatformWindow());
    gPlatformWindow = sOwnedWindow.get();
    if (!gPlatformWindow)
        return nullptr;
    gPlatformWindow->Open(width, height);
    SetAssertDialog(&ShowErrorDialog);
    return gPlatformWindow;
}

void PlatformWindow::Destroy()
{
    gPlatformWindow = nullptr;
    sOwnedWindow.reset();
}

SDL_Window* PlatformWindow::GetHandle() { return gPlatformWindow ? gPlatformWindow->mMainWindow : nullptr; }

WindowPlacement PlatformWindow::CenterOn(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height)
{
    WindowPlacement placement;
    placement.mX = screenWidth / 2 - width / 2;
    placement.mY = screenHeight / 2 - height / 2;
    return placement;
}

PlatformWindow::PlatformWindow() = default;

PlatformWindow::~PlatformWindow()
{
    if (gPlatformWindow == this)
        gPlatformWindow = nullptr;
    SetAssertDialog(nullptr);
    if (!mVideoStarted)
        return;

    SDL_EventFilter filter = nullptr;
    void* userdata = nullptr;
    if (SDL_GetEventFilter(&filter, &userdata) && filter == &PlatformWindow::FilterEvent && userdata == this)
        SDL_SetEventFilter(nullptr, nullptr);
    SDL_StopTextInput();
    SDL_ShowCursor(SDL_ENABLE);
    if (mSplashImage)
        SDL_FreeSurface(mSplashImage);
    if (mSplashWindow)
        SDL_DestroyWindow(mSplashWindow);
    if (mMainWindow)
        SDL_DestroyWindow(mMainWindow);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The last one out also lets SDL release what it keeps beside its subsystems.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
        SDL_Quit();
}

bool PlatformWindow::Open(int32_t width, int32_t height)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        ReportError(std::string("PlatformWindow: the video system could not start: ") + SDL_GetError());
        return false;
    }
    mVideoStarted = true;
    // Set before any window exists, so nothing we do not handle is ever queued.
    SDL_SetEventFilter(&PlatformWindow::FilterEvent, this);

    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0)
    {
        mScreenWidth = bounds.w;
        mScreenHeight = bounds.h;
    }
    else
    {
        ReportError(std::string("PlatformWindow: the screen size is unknown: ") + SDL_GetError());
        mScreenWidth = kMainWidth;
        mScreenHeight = kMainHeight;
    }

    // The graphics device makes its OpenGL context in the main window, and draws straight into
    // it when the window has the depth and stencil its own buffers would.
    const Uint32 mainFlags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    mMainWindow = SDL_CreateWindow("Kestrane", kMainX, kMainY, width, height, mainFlags | SDL_WINDOW_OPENGL);
    if (!mMainWindow)
    {
        SDL_GL_ResetAttributes();
        mMainWindow = SDL_CreateWindow("Kestrane", kMainX, kMainY, width, height, mainFlags | SDL_WINDOW_OPENGL);
    }
    if (!mMainWindow)
    {
        ReportError(std::string("PlatformWindow: no OpenGL window: ") + SDL_GetError());
        mMainWindow = SDL_CreateWindow("Kestrane", kMainX, kMainY, width, height, mainFlags);
    }
    if (!mMainWindow)
    {
        ReportError(std::string("PlatformWindow: the main window could not be created: ") + SDL_GetError());
        return false;
    }

    const WindowPlacement splash = CenterOn(mScreenWidth, mScreenHeight, kSplashWidth, kSplashHeight);
    mSplashWindow = SDL_CreateWindow("LOOM ENGINE", splash.mX, splash.mY, kSplashWidth, kSplashHeight,
                                     SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (!mSplashWindow)
        ReportError(std::string("PlatformWindow: the splash window could not be created: ") + SDL_GetError());

    std::string splashError;
    mSplashImage = LoadSplashImage(splashError);
    if (!splashError.empty())
        ReportError(splashError);

    SDL_StartTextInput();
    if (mSplashWindow)
        SDL_ShowWindow(mSplashWindow);
    SDL_ShowCursor(SDL_DISABLE);

    mAlive = true;
    mButtonDown[0] = false;
    mButtonDown[1] = false;
    mSplashShowing = true;
    PaintSplash();
    return true;
}

namespace {
PlatformWindow::InputObserver gInputObserver = nullptr;
void* gInputObserverData = nullptr;
} // namespace

void PlatformWindow::SetInputObserver(InputObserver observer, void* userdata)
{
    gInputObserver = observer;
    gInputObserverData = userdata;
}

int PlatformWindow::FilterEvent(void*, SDL_Event* event)
{
    if (gInputObserver)
        gInputObserver(*event, gInputObserverData);
    switch (event->type)
    {
    case SDL_QUIT:
    case SDL_TEXTINPUT:
        return 1;
    case SDL_WINDOWEVENT:
        return event->window.event == SDL_WINDOWEVENT_CLOSE || event->window.event == SDL_WINDOWEVENT_EXPOSED;
    case SDL_KEYDOWN:
        return KeyCodeFor(event->key.keysym.sym) != 0 || CharCodeFor(event->key.keysym.sym) != 0;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return IsTrackedButton(event->button.button);
    default:
        return 0;
    }
}

bool PlatformWindow::PumpMessages()
{
    SDL_Event event;
    if (mVideoStarted && SDL_PollEvent(&event))
        HandleEvent(event);
    return mAlive;
}

void PlatformWindow::HandleEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_QUIT:
        mAlive = false;
        break;
    case SDL_WINDOWEVENT:
        // Closing ends the frame loop; the window itself stays until the destructor.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            mAlive = false;
        else if (event.window.event == SDL_WINDOWEVENT_EXPOSED && mSplashWindow &&
                 event.window.windowID == SDL_GetWindowID(mSplashWindow))
            PaintSplash();
        break;
    case SDL_KEYDOWN:
        HandleKeyDown(event.key.keysym.sym);
        break;
    case SDL_TEXTINPUT:
        HandleText(event.text.text);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (IsTrackedButton(event.button.button))
            mButtonDown[event.button.button == SDL_BUTTON_LEFT ? 0 : 1] = event.type == SDL_MOUSEBUTTONDOWN;
        break;
    default:
        break;
    }
}

void PlatformWindow::HandleKeyDown(int32_t keycode)
{
    const int key = KeyCodeFor(keycode);
    if (key != 0)
    {
        Notify(key);
        return;
    }
    const int character = CharCodeFor(keycode);
    if (character != 0)
        Notify(character);
}

void PlatformWindow::HandleText(const char* text)
{
    // Characters reach listeners as single signed bytes: ASCII and Latin-1 pass,
    // anything wider has no byte to stand for it and is dropped.
    const size_t length = strnlen(text, sizeof(SDL_TextInputEvent::text));
    size_t i = 0;
    while (i < length)
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80)
        {
            Notify(static_cast<signed char>(lead));
            ++i;
            continue;
        }
        size_t width = 0;
        if ((lead & 0xE0) == 0xC0)
            width = 2;
        else if ((lead & 0xF0) == 0xE0)
            width = 3;
        else if ((lead & 0xF8) == 0xF0)
            width = 4;
        bool valid = width != 0 && i + width <= length;
        for (size_t k = 1; valid && k < width; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!valid)
        {
            ++i;
            continue;
        }
        if (width == 2)
        {
            const unsigned next = static_cast<unsigned char>(text[i + 1]);
            const unsigned codePoint = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
            if (codePoint >= 0x80 && codePoint <= 0xFF)
                Notify(static_cast<signed char>(static_cast<unsigned char>(codePoint)));
        }
        i += width;
    }
}

void PlatformWindow::Notify(int code)
{
    // By index: a listener may add another while it is told.
    for (size_t i = 0; i < mListeners.size(); ++i)
        mListeners[i]->OnKey(code);
}

void PlatformWindow::PaintSplash()
{
    if (!mSplashShowing || !mSplashWindow)
        return;
    SDL_Surface* target = SDL_GetWindowSurface(mSplashWindow);
    if (!target)
        return;
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    if (mSplashImage)
    {
        SDL_Rect where{0, 0, mSplashImage->w, mSplashImage->h};
        SDL_BlitSurface(mSplashImage, nullptr, target, &where);
    }
    SDL_UpdateWindowSurface(mSplashWindow);
}

void PlatformWindow::SetText(const std::string&) {}

void PlatformWindow::ShowError(const std::string& message) { ShowErrorMessage(message); }

bool PlatformWindow::AskError(const std::string& expression, const std::string& location, const std::string& message)
{
    return ShowErrorDialog(expression, location, message);
}

std::string PlatformWindow::GetOSName() { return SystemInfoReader::OperatingSystemName(); }

void PlatformWindow::ShowMainWindow()
{
    if (mSplashWindow)
        SDL_HideWindow(mSplashWindow);
    if (mMainWindow)
    {
        SDL_ShowWindow(mMainWindow);
        SDL_RaiseWindow(mMainWindow);
    }
    mSplashShowing = false;
    if (mVideoStarted)
        SDL_ShowCursor(SDL_DISABLE);
}

void PlatformWindow::AddListener(KeyListener* listener)
{
    if (listener)
        mListeners.push_back(listener);
}

void PlatformWindow::RemoveListener(KeyListener* listener) { EraseUnordered(mListeners, listener); }

void PlatformWindow::ResizeAndCenter(int32_t width, int32_t height)
{
    if (width < 1 || height < 1)
    {
        ReportError("PlatformWindow: cannot resize the window to " + std::to_string(width) + " by " +
                    std::to_string(height));
        return;
    }
    if (!mMainWindow)
        return;
    const WindowPlacement placement = CenterOn(mScreenWidth, mScreenHeight, width, height);
    SDL_SetWindowSize(mMainWindow, width, height);
    SDL_SetWindowPosition(mMainWindow, placement.mX, placement.mY);
}

std::string PlatformWindow::OpenFileDialog() { return ShowOpenFileDialog(); }

void PlatformWindow::ReportSystemInfo(SystemInfo& info) { SystemInfoReader::Read(info); }

void PlatformWindow::LogFileOpened()
{
    for (const LogEntry& entry : mEarlyErrors)
        Console::Instance().WriteToLogFile(entry);
    mEarlyErrors.clear();
    mLogFileOpened = true;
}

void PlatformWindow::ReportError(const std::string& text)
{
    // Standard error too: with no log file at all it is the only place that keeps it.
    std::fprintf(stderr, "%s\n", text.c_str());
    LogEarly(text, LogError);
}

void PlatformWindow::LogEarly(const std::string& text, uint32_t category)
{
    Console& console = Console::Instance();
    console.Log(text, category);
    // The window starts before the engine opens the log file, and alone: the newest entry is this one.
    if (!mLogFileOpened && !console.IsLogOpen())
        mEarlyErrors.push_back(console.GetEntries().FromNewest(0));
}

bool PlatformWindow::IsMouseButtonDown(int index) const { return index >= 0 && index < 2 && mButtonDown[index]; }

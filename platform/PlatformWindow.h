#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/base/SystemInfo.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/KeyListener.h"
#include "LOOM/engine/EngineWindow.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

// Top-left corner of a window centred on a screen, by integer halves.
struct WindowPlacement
{
    int32_t mX = 0;
    int32_t mY = 0;
};

// The engine's main window and splash screen, its one-event-per-frame pump, and what the
// machine says about itself. One instance, made by the program entry before the engine.
class PlatformWindow : public EngineWindow
{
public:
    static constexpr int32_t kMainX = 50;
    static constexpr int32_t kMainY = 50;
    static constexpr int32_t kMainWidth = 800;
    static constexpr int32_t kMainHeight = 600;
    static constexpr int32_t kSplashWidth = 256;
    static constexpr int32_t kSplashHeight = 265;

    // Creates the window object and stores it in gPlatformWindow; returns the existing one
    // when it is already there. The main window starts at the given size.
    static PlatformWindow* Create(int32_t width = kMainWidth, int32_t height = kMainHeight);
    // Deletes the global window object, if any, and clears the global.
    static void Destroy();
    // The main window of the global window object; null when there is none.
    static SDL_Window* GetHandle();
    // Sees every event as SDL raises it, before the window's filter drops what it does not queue:
    // the input layer keeps its per-frame state from this, so nothing inside a frame is lost.
    using InputObserver = void (*)(const SDL_Event& event, void* userdata);
    static void SetInputObserver(InputObserver observer, void* userdata);

    static WindowPlacement CenterOn(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height);

    virtual ~PlatformWindow();
    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    // Kept for callers that hand the window a status text; there is nowhere to show it.
    virtual void SetText(const std::string& text);
    // The error dialog with the message alone; expression and location keep their last texts.
    virtual void ShowError(const std::string& message);
    // The error dialog with all three texts; true for "Debug", false for "Exit".
    virtual bool AskError(const std::string& expression, const std::string& location, const std::string& message);
    // Handles at most one waiting event; returns whether the window is still alive.
    bool PumpMessages() override;
    virtual std::string GetOSName();
    // Hides the splash, shows the main window and hides the mouse cursor.
    void ShowMainWindow() override;
    void AddListener(KeyListener* listener) override;
    void RemoveListener(KeyListener* listener) override;
    void ResizeAndCenter(int width, int height) override;
    // The chosen path, or empty when cancelled or when no dialog program is installed.
    virtual std::string OpenFileDialog();
    void ReportSystemInfo(SystemInfo& info) override;
    void LogFileOpened() override;
    // Logs the text; said before the engine opens the log file, it is kept for the file too.
    void LogEarly(const std::string& text, uint32_t category);
    // Button 0 is the left, 1 the right; any other index reads as up.
    virtual bool IsMouseButtonDown(int index) const;

    bool IsAlive() const { return mAlive; }
    bool IsSplashShowing() const { return mSplashShowing; }
    int32_t GetScreenWidth() const { return mScreenWidth; }
    int32_t GetScreenHeight() const { return mScreenHeight; }
    SDL_Window* GetMainWindow() const { return mMainWindow; }
    SDL_Window* GetSplashWindow() const { return mSplashWindow; }

private:
    PlatformWindow();
    bool Open(int32_t width, int32_t height);
    void HandleEvent(const SDL_Event& event);
    void HandleKeyDown(int32_t keycode);
    void HandleText(const char* text);
    void Notify(int code);
    void PaintSplash();
    // Failures are logged as Errors and printed on standard error; those before the log file
    // opens are kept for it.
    void ReportError(const std::string& text);
    static int FilterEvent(void* userdata, SDL_Event* event);

    bool mSplashShowing = true;
    std::vector<KeyListener*> mListeners;
    bool mButtonDown[2] = {false, false};
    bool mAlive = false;
    int32_t mScreenWidth = 0;
    int32_t mScreenHeight = 0;
    SDL_Window* mSplashWindow = nullptr;
    SDL_Window* mMainWindow = nullptr;
    SDL_Surface* mSplashImage = nullptr;
    bool mVideoStarted = false;
    std::vector<LogEntry> mEarlyErrors;
    bool mLogFileOpened = false;
};

extern PlatformWindow* gPlatformWindow;

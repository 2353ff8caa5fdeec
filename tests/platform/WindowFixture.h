#pragma once
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PlatformWindow.h"

struct RecordingListener : KeyListener
{
    void OnKey(int code) override { mCodes.push_back(code); }
    std::vector<int> mCodes;
};

// The OpenGL driver libraries that the main window loads keep allocations in their globals;
// once SDL unloads them the leak checker sees those as leaks it cannot even name. Keeping
// every library that is loaded now in memory for good leaves them reachable.
inline void PinLoadedLibraries()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0] == '/')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

// Creates the window on the headless video driver, its main window of the given size.
inline PlatformWindow* CreateTestWindow(int32_t width = PlatformWindow::kMainWidth,
                                        int32_t height = PlatformWindow::kMainHeight)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    PlatformWindow* window = PlatformWindow::Create(width, height);
    PinLoadedLibraries();
    return window;
}

// Opens the headless window into `window`; a fatal failure when it does not come up.
inline void OpenTestWindow(PlatformWindow*& window, int32_t width = PlatformWindow::kMainWidth,
                           int32_t height = PlatformWindow::kMainHeight)
{
    window = CreateTestWindow(width, height);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->IsAlive()) << SDL_GetError();
}

// A fresh window on the headless video driver, with an empty event queue and one listener.
class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTestWindow(mWindow));
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        mWindow->AddListener(&mListener);
    }

    void TearDown() override { PlatformWindow::Destroy(); }

    static int QueuedEvents() { return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT); }

    // SDL_PushEvent answers 1 when queued, 0 when the filter dropped the event.
    static int PushKey(SDL_Keycode key, Uint32 type = SDL_KEYDOWN)
    {
        SDL_Event event{};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        return SDL_PushEvent(&event);
    }

    static int PushText(const char* text)
    {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        std::strncpy(event.text.text, text, sizeof(event.text.text) - 1);
        return SDL_PushEvent(&event);
    }

    static int PushButton(Uint32 type, Uint8 button)
    {
        SDL_Event event{};
        event.type = type;
        event.button.button = button;
        event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        return SDL_PushEvent(&event);
    }

    static int PushWindowEvent(Uint8 what, SDL_Window* window)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = what;
        event.window.windowID = SDL_GetWindowID(window);
        return SDL_PushEvent(&event);
    }

    PlatformWindow* mWindow = nullptr;
    RecordingListener mListener;
};

// A scratch folder removed again at the end of the test.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& tag)
    {
        static int counter = 0;
        mPath = std::filesystem::temp_directory_path() /
            ("loom_platform_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(mPath);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    const std::filesystem::path& Path() const { return mPath; }

private:
    std::filesystem::path mPath;
};

// Changes the working directory for the life of the object.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(const std::filesystem::path& path) : mOld(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(mOld); }

private:
    std::filesystem::path mOld;
};

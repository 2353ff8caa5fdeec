// Scripted end-to-end runs drive the program through these console commands ("PushMouseMove",
// "PushMouseButton", "PushKey"), which queue window events as a person's mouse and keyboard
// would. They exist only when the environment sets LOOM_TEST_INPUT=1; LOOM_TEST_STEPPED_CLOCK=1
// also puts the clocks on a counter that only "TestTick" and "TestTickFor" move.
#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "LOOM/base/Clocks.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"

namespace {

// Events go through SDL's queue, so the window and the input loom see them as they would a
// person's: the window takes one per frame.
void Push(SDL_Event& event)
{
    if (SDL_PushEvent(&event) < 0)
        Console::Instance().Log(std::string("TestInput: event not queued: ") + SDL_GetError(), LogError);
}

uint32_t WindowId()
{
    SDL_Window* window = SDL_GetMouseFocus();
    if (!window)
        window = SDL_GetKeyboardFocus();
    return window ? SDL_GetWindowID(window) : 0;
}

void PushMouseMove(int32_t x, int32_t y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = WindowId();
    event.motion.x = x;
    event.motion.y = y;
    Push(event);
}

// Button 0 left, 1 right, 2 middle, at the last pushed position.
void PushMouseButton(int32_t button, bool down, int32_t x, int32_t y)
{
    if (button < 0 || button > 2)
    {
        Console::Instance().Log("TestInput: no mouse button " + std::to_string(button), LogError);
        return;
    }
    static const uint8_t kButtons[3] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = WindowId();
    event.button.button = kButtons[button];
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    Push(event);
}

void PushKey(std::string name, bool down)
{
    const SDL_Scancode code = SDL_GetScancodeFromName(name.c_str());
    if (code == SDL_SCANCODE_UNKNOWN)
    {
        Console::Instance().Log("TestInput: no key named " + name, LogError);
        return;
    }
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = WindowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = code;
    event.key.keysym.sym = SDL_GetKeyFromScancode(code);
    Push(event);
}

// A clock that moves only when told: with it every frame of a scripted run lasts 1/60 s of game
// time, whatever the machine's speed, so the run plays the same way every time.
class SteppedClock : public ClockSource
{
public:
    uint64_t Counter() override { return mNow; }
    uint64_t Frequency() override { return 1000000; }
    uint64_t mNow = 1000000;
};

SteppedClock gSteppedClock;

void TestTick() { gSteppedClock.mNow += 16667; }

// A frame held up, as a slow machine's would be: the next frame's step is that much longer.
void TestTickFor(float seconds)
{
    if (!(seconds >= 0.0f && seconds <= 3600.0f))
    {
        Console::Instance().Log("TestInput: no clock step of " + std::to_string(seconds) + " s", LogError);
        return;
    }
    gSteppedClock.mNow += static_cast<uint64_t>(std::llround(static_cast<double>(seconds) * 1000000.0));
}

} // namespace

void RegisterTestInput()
{
    const char* wanted = std::getenv("LOOM_TEST_INPUT");
    if (!wanted || std::string(wanted) != "1")
        return;
    Console& console = Console::Instance();
    console.RegisterCommand("PushMouseMove", MakeFunctionCommand(&PushMouseMove), "Test input: mouse to (x, y)");
    console.RegisterCommand("PushMouseButton", MakeFunctionCommand(&PushMouseButton),
                            "Test input: button (0 left, 1 right, 2 middle) down or up at (x, y)");
    console.RegisterCommand("PushKey", MakeFunctionCommand(&PushKey), "Test input: key by SDL name down or up");
    const char* stepped = std::getenv("LOOM_TEST_STEPPED_CLOCK");
    if (stepped && std::string(stepped) == "1")
    {
        SetClockSource(&gSteppedClock);
        console.RegisterCommand("TestTick", MakeFunctionCommand(&TestTick), "Test clock: one sixtieth of a second on");
        console.RegisterCommand("TestTickFor", MakeFunctionCommand(&TestTickFor), "Test clock: so many seconds on");
    }
}

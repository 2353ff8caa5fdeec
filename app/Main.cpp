#include <csignal>
#include <cstdio>

#include "LOOM/base/StopRequest.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "game/logic/SceneSeam.h"
#include "game/looms/GameLooms.h"
#include "game/player/PlayerBinding.h"
#include "game/player/SceneBinding.h"
#include "gui/GuiInstall.h"
#include "platform/PlatformWindow.h"

// Test-only console commands that queue input events (TestInput.cpp); only with LOOM_TEST_INPUT=1.
void RegisterTestInput();

namespace {
void OnStopSignal(int) { RequestStop(); }

// Before the window: the platform layer keeps handlers it finds in place. The frame loop and a
// running script both see the request, so even a script stuck in a loop ends and the log closes.
void InstallStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
} // namespace

// The program's entry: the window first (it shows the splash), then the engine in it.
int main()
{
    InstallStopSignals();
    PlatformWindow* window = PlatformWindow::Create();
    if (!window || !PlatformWindow::GetHandle())
    {
        std::fprintf(stderr, "The window could not be created; is a display available?\n");
        PlatformWindow::Destroy();
        return 1;
    }
    InstallGui();
    RegisterTestInput();
    // The game's calls on models, HUD displays and the height map reach the scene components.
    SceneBinding scene;
    SetSceneSeam(&scene);
    PlayerBinding player;
    SetPlayerSide(&player);
    const int status = EngineMain(window, GameLooms());
    if (StopRequested())
        Console::Instance().Log("Ended by a signal", LogGeneral);
    SetPlayerSide(nullptr);
    SetSceneSeam(nullptr);
    PlatformWindow::Destroy();
    return status;
}

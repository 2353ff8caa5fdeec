#include <csignal>
#include <cstdio>

#include "LOOM/base/StopRequest.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "audio/AudioLoom.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/SceneSeam.h"
#include "game/player/PlayerBinding.h"
#include "game/player/SceneBinding.h"
#include "graphics/GraphicsLoom.h"
#include "gui/GuiInstall.h"
#include "input/IOLoom.h"
#include "network/NetworkLoom.h"
#include "physics/PhysicsLoom.h"
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
    LoomFactories looms;
    looms.mAudio = []() -> Loom* { return AudioLoom::Create(); };
    looms.mIO = []() -> Loom* { return IOLoom::Create(); };
    looms.mNetwork = []() -> Loom* { return NetworkLoom::Create(); };
    looms.mPhysics = []() -> Loom* { return PhysicsLoom::Create(); };
    looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
    looms.mLogic = []() -> Loom* { return LogicLoom::Create(); };
    const int status = EngineMain(window, looms);
    if (StopRequested())
        Console::Instance().Log("Ended by a signal", LogGeneral);
    SetPlayerSide(nullptr);
    SetSceneSeam(nullptr);
    PlatformWindow::Destroy();
    return status;
}

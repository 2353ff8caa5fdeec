#include <cstdio>

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

// The program's entry: the window first (it shows the splash), then the engine in it.
int main()
{
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
    SetPlayerSide(nullptr);
    SetSceneSeam(nullptr);
    PlatformWindow::Destroy();
    return status;
}

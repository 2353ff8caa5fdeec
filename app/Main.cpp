#include <cstdio>

#include "LOOM/engine/CoreEngine.h"
#include "audio/AudioLoom.h"
#include "game/logic/LogicLoom.h"
#include "graphics/GraphicsLoom.h"
#include "gui/GuiInstall.h"
#include "input/IOLoom.h"
#include "network/NetworkLoom.h"
#include "physics/PhysicsLoom.h"
#include "platform/PlatformWindow.h"

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
    LoomFactories looms;
    looms.mAudio = []() -> Loom* { return AudioLoom::Create(); };
    looms.mIO = []() -> Loom* { return IOLoom::Create(); };
    looms.mNetwork = []() -> Loom* { return NetworkLoom::Create(); };
    looms.mPhysics = []() -> Loom* { return PhysicsLoom::Create(); };
    looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
    looms.mLogic = []() -> Loom* { return LogicLoom::Create(); };
    const int status = EngineMain(window, looms);
    PlatformWindow::Destroy();
    return status;
}

#include "game/looms/GameLooms.h"

#include "audio/AudioLoom.h"
#include "game/logic/LogicLoom.h"
#include "graphics/GraphicsLoom.h"
#include "input/IOLoom.h"
#include "network/NetworkLoom.h"
#include "physics/PhysicsLoom.h"

LoomFactories GameLooms()
{
    LoomFactories looms;
    looms.mAudio = []() -> Loom* { return AudioLoom::Create(); };
    looms.mIO = []() -> Loom* { return IOLoom::Create(); };
    looms.mNetwork = []() -> Loom* { return NetworkLoom::Create(); };
    looms.mPhysics = []() -> Loom* { return PhysicsLoom::Create(); };
    looms.mGraphics = []() -> Loom* { return GraphicsLoom::Create(); };
    looms.mLogic = []() -> Loom* { return LogicLoom::Create(); };
    return looms;
}

#pragma once
// What the game-logic benchmarks share: the logic loom started without an engine.
#include <memory>

#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "game/logic/LogicLoom.h"
#include "game/player/PlayerBinding.h"

// Registers the positional and the logic's types with the program's player side, as the
// program does; the loom lives as long as the pointer returned.
inline std::unique_ptr<LogicLoom> StartLogic(CogFactory& cogs)
{
    RegisterPositional(cogs);
    static PlayerBinding player;
    SetPlayerSide(&player);
    std::unique_ptr<LogicLoom> logic(LogicLoom::Create());
    logic->RegisterTypes();
    return logic;
}

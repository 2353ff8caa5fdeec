#include "game/player/PlayerBinding.h"

#include "LOOM/cogs/Comp.h"
#include "game/logic/DataController.h"
#include "game/logic/HudSeam.h"
#include "game/logic/LogicLoom.h"
#include "game/player/CursorComp.h"
#include "game/player/GameCamera.h"
#include "game/player/HUDComp.h"
#include "game/player/LogicCommands.h"
#include "game/player/MenuComp.h"
#include "game/widgets/TrapDropButton.h"

void PlayerBinding::RegisterTypes(CogFactory& cogs, OwnedCommands& commands)
{
    RegisterTrapDropButton();
    RegisterCursorComp(cogs);
    RegisterMenuComp(cogs);
    RegisterHUDComp(cogs);
    RegisterHUDCommands(commands);
    RegisterGameCamera(cogs);
    RegisterLogicCommands(commands);
}

void PlayerBinding::ShowPointsEarned(int32_t points)
{
    if (CursorComp* cursor = FindCursor())
        cursor->ShowFloatingNumber(points);
}

void PlayerBinding::SelectTrap(const std::string& name)
{
    if (CursorComp* cursor = FindCursor())
        cursor->SelectTrap(name);
}

void PlayerBinding::LevelEnded()
{
    if (CursorComp* cursor = FindCursor())
    {
        cursor->LeaveDropModes();
        cursor->HideFloatingNumber();
    }
    // The clock stops with the level: a label still up would stand frozen behind the game-over
    // window.
    if (const DataController* data = CurrentDataController())
        for (Comp* trap : data->mTraps)
            if (Cog* cog = trap->GetOwner(); cog && SceneHud().HasHudDisplay(*cog))
                SceneHud().ShowNumber(*cog, false);
}

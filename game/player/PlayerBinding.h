#pragma once
#include "game/logic/PlayerSide.h"

// The program's player side: the cursor, camera, HUD, menu and trap-button types and the
// logic commands, and the cursor's floating numbers and trap choice.
class PlayerBinding : public PlayerSide
{
public:
    void RegisterTypes(CogFactory& cogs, OwnedCommands& commands) override;
    void ShowPointsEarned(int32_t points) override;
    void SelectTrap(const std::string& name) override;
    void LevelEnded() override;
};

#pragma once
#include <cstdint>
#include <string>

class CogFactory;
class OwnedCommands;

// The player's side of the game (cursor, camera, HUD, menu, trap buttons), which lives above
// the graphics: the logic loom hands it its types and commands to register and tells it what
// the player should see. Null in a headless game.
class PlayerSide
{
public:
    virtual ~PlayerSide() = default;
    virtual void RegisterTypes(CogFactory& cogs, OwnedCommands& commands) = 0;
    // Points just earned, shown floating at the cursor.
    virtual void ShowPointsEarned(int32_t points) = 0;
    virtual void SelectTrap(const std::string& name) = 0;
    // The level has just ended: whatever the player was about to drop is let go.
    virtual void LevelEnded() {}
};

PlayerSide* GetPlayerSide();
// The caller keeps ownership; null for none.
void SetPlayerSide(PlayerSide* side);

#pragma once
#include <string>

#include "LOOM/math/Vector3.h"
#include "game/logic/TrapDrop.h"

class Cog;
class OwnedCommands;

// The game's named cog functions, then its console commands, in their fixed order.
void RegisterLogicCommands(OwnedCommands& commands);

bool SaveCogBinary(Cog& cog, const std::string& path);

// Takes the level's values that the HUD's "OutputPlayerStats" refreshes every frame off the
// statistics overlay: with the HUD gone they would go on showing the last level's.
void ClearPlayerStats();

// The commands' bodies, also called directly.
bool AttemptTowerDrop(Vector3 position);
void DropBomb(Vector3 position);

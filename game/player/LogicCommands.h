#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

class Cog;
class OwnedCommands;

// The game's named cog functions, then its console commands, in their fixed order.
void RegisterLogicCommands(OwnedCommands& commands);

// Whether a trap of that kind may be dropped at the position now.
bool CanDropAt(const std::string& name, const Vector3& position);
// Where a trap of that kind dropped at the position would stand.
Vector3 SnapTrapDropPosition(const std::string& name, const Vector3& position);
bool SaveCogBinary(Cog& cog, const std::string& path);

// The commands' bodies, also called directly.
bool AttemptTowerDrop(Vector3 position);
bool AttemptTrapDrop(std::string name, Vector3 position, Vector3 direction);
void DropBomb(Vector3 position);

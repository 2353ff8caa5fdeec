#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

// The drop rules of the game data: whether a trap kind may be dropped at a position now, where
// it would stand, and the drop itself.
bool CanDropAt(const std::string& name, const Vector3& position);
// Why a drop there would be refused, in the order the rules are checked.
enum class DropCheck
{
    Allowed,
    NoLevel, // no tile map
    Over,    // the level has ended
    TooDear, // costs more than the points (outside edit mode)
    Outside, // off the field
    Taken,   // the tiles are not free
};
DropCheck CheckDropAt(const std::string& name, const Vector3& position);
// (0, 0, 0) without a tile map.
Vector3 SnapTrapDropPosition(const std::string& name, const Vector3& position);
// Places the trap facing the direction; points are spent only once it stands on its tiles, and
// a trap that cannot stand is destroyed again.
bool AttemptTrapDrop(std::string name, Vector3 position, Vector3 direction);

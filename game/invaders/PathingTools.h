#pragma once
#include <cstdint>

#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "game/level/TileMap.h"

class Cog;
class Kestrane;

// Grid questions the pathings and the detour walk share.

// The unit facing of an orientation: (0, 0, -1) turned by it, without building a matrix.
Vector3 ForwardOf(const Quat& q);
// The tile scale x tile-lengths ahead of the invader's facing.
TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale);
// The same from a facing already at hand (unit length).
TileIndex TileAheadAlong(const TileMap& map, const Vector3& position, const Vector3& forward, float scale);
int32_t HeightDiff(TileMap& map, TileIndex a, TileIndex b);
// Not walkable (the invader stops avoiding walls: reason 1), or a wall while it avoids them
// (reason 2).
bool IsBlocked(TileMap& map, TileIndex tile, Kestrane& invader, int32_t* reason = nullptr);
// The centre tile of the tower's footprint, or the tile under it without one.
TileIndex TowerTile(const TileMap& map, Cog& tower);
bool IsWallCog(Cog* cog);
bool IsTowerCog(Cog* cog);

#pragma once
#include <cstdint>

#include "game/level/TileMap.h"

class Cog;
class Kestrane;

// Grid questions the pathings and the detour walk share.

// The tile scale x tile-lengths ahead of the invader's facing.
TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale);
int32_t HeightDiff(TileMap& map, TileIndex a, TileIndex b);
// Not walkable (the invader stops avoiding walls: reason 1), or a wall while it avoids them
// (reason 2).
bool IsBlocked(TileMap& map, TileIndex tile, Kestrane& invader, int32_t* reason = nullptr);
// The centre tile of the tower's footprint, or the tile under it without one.
TileIndex TowerTile(const TileMap& map, Cog& tower);
bool IsWallCog(Cog* cog);
bool IsTowerCog(Cog* cog);

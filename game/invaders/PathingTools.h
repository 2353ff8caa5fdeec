#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileMap.h"

class Cog;

// Grid questions the pathings and the detour walk share.

// The unit facing of an orientation: (0, 0, -1) turned by it, without building a matrix.
// Inline, with the other small grid questions: every invader asks them every frame.
inline Vector3 ForwardOf(const Quat& q)
{
    // The third row of the rotation, negated: what turning (0, 0, -1) gives.
    Vector3 f(-2.0f * (q.x * q.z - q.w * q.y), -2.0f * (q.w * q.x + q.y * q.z),
              -(q.w * q.w - q.x * q.x - q.y * q.y + q.z * q.z));
    const float lengthSquared = f.x * f.x + f.y * f.y + f.z * f.z;
    // A unit quaternion gives a unit facing; only a drifted one needs the root.
    if (std::fabs(lengthSquared - 1.0f) > 1e-4f && lengthSquared > 0.0f)
        f *= 1.0f / std::sqrt(lengthSquared);
    return f;
}
// The tile scale x tile-lengths ahead of the invader's facing.
TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale);
// The same from a facing already at hand (unit length).
inline TileIndex TileAheadAlong(const TileMap& map, const Vector3& position, const Vector3& forward, float scale)
{
    return map.WorldToTile(position + forward * (scale * map.GetTileScale()), 1, 1);
}
// The tile a walker looks at: scale tile-lengths ahead, yet never short of a quarter tile past
// the front of its body. A body wider than the look is held by what stands before it before its
// centre comes near enough to see it, and would walk along it for ever.
inline TileIndex TileBeforeBody(const TileMap& map, const Vector3& position, const Vector3& forward, float radius,
                                float scale)
{
    const float tile = map.GetTileScale();
    return map.WorldToTile(position + forward * std::max(scale * tile, radius + 0.25f * tile), 1, 1);
}
inline int32_t HeightDiff(TileMap& map, TileIndex a, TileIndex b)
{
    return map.GetTile(b.first, b.second).subHeight - map.GetTile(a.first, a.second).subHeight;
}
// Not walkable (the invader stops avoiding walls: reason 1), or a wall while it avoids them
// (reason 2).
inline bool IsBlocked(TileMap& map, TileIndex tile, Kestrane& invader, int32_t* reason = nullptr);
// The centre tile of the tower's footprint, or the tile under it without one.
TileIndex TowerTile(const TileMap& map, Cog& tower);
bool IsWallCog(Cog* cog);
bool IsTowerCog(Cog* cog);

inline bool IsBlocked(TileMap& map, TileIndex tile, Kestrane& invader, int32_t* reason)
{
    const Tile& t = map.GetTile(tile.first, tile.second);
    int32_t why = 0;
    if (!t.passable)
    {
        invader.mAvoidWall = false;
        why = 1;
    }
    else if (invader.mAvoidWall && t.occupant && IsWallCog(OccupantCog(t)))
        why = 2;
    if (reason)
        *reason = why;
    return why != 0;
}

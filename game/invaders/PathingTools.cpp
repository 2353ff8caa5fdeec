#include "game/invaders/PathingTools.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/Wall.h"
#include "game/tower/BaseTower.h"

Vector3 ForwardOf(const Quat& q)
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

TileIndex TileAheadAlong(const TileMap& map, const Vector3& position, const Vector3& forward, float scale)
{
    return map.WorldToTile(position + forward * (scale * map.GetTileScale()), 1, 1);
}

TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale)
{
    Positional& at = invader.Pos();
    return TileAheadAlong(map, at.GetPosition(), ForwardOf(at.GetOrientation()), scale);
}

int32_t HeightDiff(TileMap& map, TileIndex a, TileIndex b)
{
    return map.GetTile(b.first, b.second).subHeight - map.GetTile(a.first, a.second).subHeight;
}

bool IsBlocked(TileMap& map, TileIndex tile, Kestrane& invader, int32_t* reason)
{
    const Tile& t = map.GetTile(tile.first, tile.second);
    int32_t why = 0;
    if (!t.passable)
    {
        invader.AvoidWall = false;
        why = 1;
    }
    else if (invader.AvoidWall && IsWallCog(OccupantCog(t)))
        why = 2;
    if (reason)
        *reason = why;
    return why != 0;
}

TileIndex TowerTile(const TileMap& map, Cog& tower)
{
    if (CogHas(&tower, TileComp::kTypeId))
        return static_cast<TileComp*>(tower.GetComponent(TileComp::kTypeId))->GetCenterTile();
    Positional* at = static_cast<Positional*>(tower.GetComponent(1));
    return at ? map.WorldToTile(at->GetPosition(), 1, 1) : TileIndex{0, 0};
}

bool IsWallCog(Cog* cog)
{
    return CogHas(cog, wall::kTypeId);
}

bool IsTowerCog(Cog* cog)
{
    return CogHas(cog, BaseTower::kTypeId);
}

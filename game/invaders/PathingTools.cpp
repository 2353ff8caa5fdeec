#include "game/invaders/PathingTools.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/Wall.h"
#include "game/tower/BaseTower.h"

TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale)
{
    Positional& at = invader.Pos();
    return TileAheadAlong(map, at.GetPosition(), ForwardOf(at.GetOrientation()), scale);
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
    Comp* comp = tower.GetComponent(TileComp::kTypeId);
    if (comp && comp->GetTypeId() == TileComp::kTypeId)
        return static_cast<TileComp*>(comp)->GetCenterTile();
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

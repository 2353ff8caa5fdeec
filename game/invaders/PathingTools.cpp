#include "game/invaders/PathingTools.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/TowerLookup.h"
#include "game/level/Wall.h"
#include "game/tower/BaseTower.h"

TileIndex TileAhead(const TileMap& map, Kestrane& invader, float scale)
{
    Positional& at = invader.Pos();
    return TileAheadAlong(map, at.GetPosition(), ForwardOf(at.GetOrientation()), scale);
}

TileIndex TowerTile(const TileMap& map, Cog& tower)
{
    if (TileComp* footprint = tower_lookup::Footprint(tower))
        return footprint->GetCenterTile();
    Positional* at = tower.Get<Positional>();
    return at ? map.WorldToTile(at->GetPosition(), 1, 1) : TileIndex{0, 0};
}

bool IsWallCog(Cog* cog) { return CogHas(cog, Wall::kTypeId); }

bool IsTowerCog(Cog* cog) { return CogHas(cog, BaseTower::kTypeId); }

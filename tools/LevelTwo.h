#pragma once
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/Positional.h"
#include "game/level/TileMap.h"
#include "game/logic/LogicLoom.h"

// The second level: the tower in the south-east corner behind two wall lines, each with one
// gap, so the invaders zig-zag from the west edge. Saved as "Levels/L2.xml" and "Levels/L2.bin"
// on the current data folder. Needs a started logic loom and the compositions of the first
// level already read. False when a piece is missing.
inline bool BuildLevelTwo(CogFactory& cogs)
{
    Cog* level = cogs.Allocate("Level");
    if (!level)
        return false;
    level->SetName("Level");
    Comp* comp = level->GetComponent(TileMap::kTypeId);
    if (!comp || comp->GetTypeId() != TileMap::kTypeId)
        return false;
    TileMap& map = *static_cast<TileMap*>(comp);
    map.widthSize = 128;
    map.depthSize = 128;
    map.mWorldOffset = Vector3(0.0f, 0.0f, 0.0f);
    map.mWorldTileScale = Vector3(4.0f, 4.0f, 4.0f);
    level->Initialize();
    if (LogicLoom::Instance()->mTileMap != &map)
        return false;

    // The landing strip along the west edge.
    for (int32_t z = 0; z < 128; ++z)
        for (int32_t x = 0; x < 4; ++x)
            map.GetTile(x, z).buildable = false;

    if (!CreateAt(cogs, "tower", map.TileToWorldAligned(104, 104, 4, 4)))
        return false;
    // The outer line runs north-south with its gap near the north end; the inner line runs
    // east-west with its gap near the west end, so the path turns twice.
    for (int32_t z = 56; z < 128; ++z)
    {
        if (z >= 66 && z < 70)
            continue;
        const char* kind = (z < 58 || z >= 124) ? "superwall" : "wall";
        if (!CreateAt(cogs, kind, map.TileToWorld(60, z)))
            return false;
    }
    for (int32_t x = 64; x < 128; ++x)
    {
        if (x >= 72 && x < 76)
            continue;
        const char* kind = x >= 124 ? "superwall" : "wall";
        if (!CreateAt(cogs, kind, map.TileToWorld(x, 84)))
            return false;
    }
    // Spikes behind both gaps.
    if (!CreateAt(cogs, "spikes", map.TileToWorldAligned(62, 66, 2, 2)) ||
        !CreateAt(cogs, "spikes", map.TileToWorldAligned(72, 86, 2, 2)))
        return false;
    map.SaveLevelFile("Levels/L2");
    return true;
}

#pragma once
#include <string>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/Positional.h"
#include "game/level/TileMap.h"
#include "game/logic/LogicLoom.h"

// Builds the first level on the current data folder (the working directory) and saves it as
// "Levels/L1.xml" and "Levels/L1.bin". Needs a started logic loom. False when a piece is missing.
inline bool BuildLevelOne(CogFactory& cogs)
{
    for (const char* composition : {"Compositions\\Level.xml", "Compositions\\Tower.xml", "Compositions\\Wall.xml",
                                    "Compositions\\Trap.xml"})
        cogs.file(composition);
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

    // The invaders' landing strip along the far edge: nothing may be built on it.
    for (int32_t z = 0; z < 4; ++z)
        for (int32_t x = 0; x < 128; ++x)
            map.GetTile(x, z).buildable = false;

    if (!CreateAt(cogs, "tower", map.TileToWorldAligned(64, 116, 4, 4)))
        return false;
    // A wall line across the field with a gap in the middle, hardened at both ends.
    for (int32_t x = 36; x < 92; ++x)
    {
        if (x >= 62 && x < 66)
            continue;
        const char* kind = (x < 40 || x >= 88) ? "superwall" : "wall";
        if (!CreateAt(cogs, kind, map.TileToWorld(x, 80)))
            return false;
    }
    // Spikes just behind the gap, where the invaders squeeze through.
    if (!CreateAt(cogs, "spikes", map.TileToWorldAligned(64, 84, 2, 2)))
        return false;
    map.SaveLevelFile("Levels/L1");
    return true;
}

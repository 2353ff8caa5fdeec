#pragma once
#include <string>

#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

class Serializer;

// One object standing on a saved level.
struct LevelObjectRecord
{
    std::string ObjName; // archetype name or cog file it is created from
    Vector3 Position;
    Quat Orient;
    float ScaleMod = 1.0f; // always saved as 1 and not applied

    void Serialize(Serializer& s);
};

// Bits of a tile's flag word in a level file.
constexpr uint32_t kTileBuildable = 1u << 0;
constexpr uint32_t kTilePassable = 1u << 1;

#pragma once
#include <cstdint>

#include "LOOM/math/Vector3.h"

// What game logic asks of the level's height map (type 7); its heights reach game logic through
// the physics ground.
class TerrainSeam
{
public:
    virtual ~TerrainSeam() = default;

    virtual bool HasHeightMap() = 0;
    // The height map's extent in world units (tiles x tile scale); false without one.
    virtual bool GetMapExtent(float&, float&) = 0;
    // The height map's "BaseHeight", the ground level placed objects stand on; false without one.
    virtual bool GetBaseHeight(float&) = 0;
    // The "Level" cog's terrain info texture, and a deformation request of the height map.
    virtual void PaintTerrain(const Vector3&, float, float, int32_t) = 0;
    virtual void DeformTerrain(int32_t, const Vector3&, float, float, float) = 0;
    // Terrain dents and decals on the current height map.
    virtual void AddDeformation(const Vector3&, float, float, float) = 0;
    virtual void AddDecal(const Vector3&, float, int32_t, float) = 0;
    // New heights for the current height map from the map-generation file, then its normals,
    // terrain and "HMapOutput.bmp"; false when there is no height map.
    virtual bool GenerateMap() = 0;
};

// The installed scene's terrain; never null.
TerrainSeam& SceneTerrain();

#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "graphics/terrain/HeightMap.h"

// A ripple that runs outward from a point and leaves the ground as it was.
struct TimedDeformation
{
    float x = 0.0f;
    float depth = 0.0f;
    float z = 0.0f;
    int32_t state = 0; // 0 free, 1 running
    float halfRadius = 0.0f;
    float radius = 0.0f;
    float elapsed = 0.0f;
    float duration = 0.0f;
};

// A textured patch of mesh laid on the ground that fades out. The geometry lives here on the
// CPU; the renderer uploads it again whenever version changes.
struct TerrainDecal
{
    static constexpr int32_t kFree = 3;

    float x = 0.0f, y = 0.0f, z = 0.0f;
    int32_t kind = kFree;
    float size = 0.0f;
    float elapsed = 0.0f;
    float lifetime = 0.0f;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    // The footprint's first tile and its width and depth in cells.
    int32_t x0 = 0, z0 = 0, nx = 0, nz = 0;
    std::vector<HeightTile> vertices;
    std::vector<uint16_t> indices;
    uint32_t version = 0;
};

// Changes the ground at run time: permanent deformation by kind, timed ripples and decals.
// Bound to one height map; the map's terrain, when it has one, is told what to redraw.
class TerraDeform
{
public:
    static constexpr int kDeformations = 16;
    static constexpr int kDecals = 32;
    static constexpr int kPatchSide = 16;

    // Binds the map and takes its heights as the ground without ripples; clears every slot.
    void Init(HeightMap* map);
    // Ends the running ripples (their ground restored) and frees every slot.
    void Reset();
    void Deform(int32_t kind, float x, float y, float z, float r1, float r2, float h0);
    void AddDeformation(float x, float y, float z, float radius, float depth, float duration);
    void AddDecal(float x, float y, float z, float size, int32_t kind, float lifetime);
    // Advances ripples and decals by dt seconds of game time.
    void Update(float dt);

    HeightMap* GetHeightMap() const { return mMap; }
    const std::array<TimedDeformation, kDeformations>& GetDeformations() const { return mDeformations; }
    const std::array<TerrainDecal, kDecals>& GetDecals() const { return mDecals; }
    float GetBaseHeight(int32_t x, int32_t z) const { return mBaseHeights[size_t(z) * size_t(mWidth) + size_t(x)]; }

private:
    void EndDeformation(TimedDeformation& d);
    // Update's steps: one ripple's frame, then normals and the terrain's patches for what moved
    // (true when anything did), then the decals' ages and heights.
    void AdvanceRipple(TimedDeformation& d, float dt, TerrainSurface* terrain);
    bool RebuildChangedPatches(TerrainSurface* terrain);
    bool UnderChangedPatch(const TerrainDecal& decal);
    void UpdateDecals(float dt, bool anyChanged);
    void FreeDecal(TerrainDecal& decal);
    float& Base(int32_t x, int32_t z) { return mBaseHeights[size_t(z) * size_t(mWidth) + size_t(x)]; }
    uint8_t& Changed(int32_t px, int32_t pz) { return mPatchChanged[size_t(pz) * size_t(mPatchesX) + size_t(px)]; }

    std::array<TimedDeformation, kDeformations> mDeformations{};
    std::array<TerrainDecal, kDecals> mDecals{};
    std::vector<float> mBaseHeights;
    // One flag per 16 x 16 block of tiles.
    std::vector<uint8_t> mPatchChanged;
    HeightMap* mMap = nullptr;
    int32_t mWidth = 0;
    int32_t mDepth = 0;
    int32_t mPatchesX = 0;
    int32_t mPatchesZ = 0;
};

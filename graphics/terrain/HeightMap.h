#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"
#include "graphics/terrain/RequiredFields.h"
#include "physics/collision/Ground.h"

class CompFactory;
class Serializer;
class TerrainSurface;

// One vertex of the height field, also the terrain's vertex layout (32 bytes).
struct HeightTile
{
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float nx = 0.0f, ny = 0.0f, nz = 0.0f;
    float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(HeightTile) == 32, "the terrain draws tiles as they stand");

// The generation parameters of "Data/MapGeneration.xml".
struct MapGenerationSettings
{
    static constexpr const char* kFile = "Data/MapGeneration.xml";

    float flatRadius = 0.0f;
    int32_t edgeWidth = 0;
    float maxHeight = 0.0f;
    float edgeHeight = 0.0f;
    float NoisePersistance = 0.0f;
    float NoiseFrequency = 0.0f;
    Vector3 TowerPos;

    void Serialize(Serializer& s);
    // Reads the file; false, logged with the file and the first key missing, when it is
    // missing or incomplete.
    bool Load();

private:
    RequiredFields mRead;
};

// The terrain's height field: MapWidthSize x MapDepthSize tiles from a greyscale image or from
// noise. It is the current ground while it lives; queries never allocate.
class HeightMap : public Comp, public Ground
{
public:
    static constexpr uint32_t kTypeId = 7;
    static constexpr int32_t kMaxSize = 512;

    // The current height map; null while there is none.
    static HeightMap* Current();

    ~HeightMap() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "HeightMap"; }
    uint32_t GetTypeId() override { return kTypeId; }

    float GetHeight(float x, float z) const override;
    float GetHeightAt(const Vector3& p) const { return GetHeight(p.x, p.z); }
    // Stands the point on the ground and returns the height.
    float SnapToTerrain(Vector3& p) const;
    float GetTriangleHeight(float x, float z) const;
    Vector3 GetNormal(float x, float z) const override;
    // The first point where the ray meets the ground; the ray must point down.
    bool IntersectRay(const Vector3& origin, const Vector3& direction, Vector3& hit) const;
    void GatherCollisionPlanes(const Vector3& centre, float radius, std::vector<Plane>& out) const override;

    // Heights from noise under the generation settings; false (heights kept) without them.
    bool GenerateMap();
    void ComputeTileNormal(int32_t x, int32_t z);
    void ComputeAllNormals();
    // Greyscale BMP of the heights, 20 grey steps down; false when it cannot be written.
    bool SaveHeightImage(const std::string& fileName) const;
    // Refreshes the lowest and highest heights after tiles were written directly.
    void RefreshHeightRange();

    void RebuildTerrain();
    void DeformTerrain(int32_t kind, float x, float y, float z, float r1, float r2, float h0);
    void DeformAtObject(const Vector3& p);
    void AddDeformation(const Vector3& p, float radius, float depth, float duration);
    void AddDecal(const Vector3& p, float size, int32_t kind, float lifetime);

    HeightTile* GetTileRow(int32_t z) { return &mTiles[size_t(z) * size_t(mMapWidthSize)]; }
    const HeightTile* GetTileRow(int32_t z) const { return &mTiles[size_t(z) * size_t(mMapWidthSize)]; }
    HeightTile& Tile(int32_t x, int32_t z) { return GetTileRow(z)[x]; }
    const HeightTile& Tile(int32_t x, int32_t z) const { return GetTileRow(z)[x]; }
    float GetMinHeight() const { return mMinHeight; }
    float GetMaxHeight() const { return mMaxHeight; }

    TerrainSurface* GetTerrain() const { return mTerrain; }
    void SetTerrain(TerrainSurface* terrain) { mTerrain = terrain; }

    // Serialized fields.
    std::string mMapFile;
    float mTileScale = 1.0f;
    float mHeightScale = 1.0f;
    float mBaseHeight = 0.0f;
    int32_t mMapWidthSize = 257;
    int32_t mMapDepthSize = 257;
    bool mAutoBuildTerrain = true;

    float GetInvTileScale() const { return mInvTileScale; }

private:
    void CheckSizes();
    void LoadHeights();
    float H(int32_t x, int32_t z) const { return mTiles[size_t(z) * size_t(mMapWidthSize) + size_t(x)].y; }
    // The cell holding (x, z), clamped into the grid, with the fractions inside it.
    void Cell(float x, float z, int32_t& ix, int32_t& iz, float& fx, float& fz) const;

    float mInvTileScale = 1.0f;
    std::vector<HeightTile> mTiles;
    float mMinHeight = 0.0f;
    float mMaxHeight = 0.0f;
    TerrainSurface* mTerrain = nullptr;
};

CompFactory* HeightMapFactory();

#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"

class CogFactory;
class TileComp;

// One grid cell.
struct Tile
{
    int32_t subHeight = 0; // height of the object standing on it, whole units
    bool buildable = true; // a new object may be placed here
    bool passable = true;  // invaders may walk over it
    TileComp* occupant = nullptr;
    int32_t invaderCount = 0; // invaders standing on it
};

using TileIndex = std::pair<int32_t, int32_t>;

// The level's tile grid laid over the terrain (type id 102, on the cog "Level"): build and walk
// flags and occupants per tile, conversions between world positions and tiles, placement
// queries, and the level files.
class TileMap : public Comp
{
public:
    static constexpr uint32_t kTypeId = 102;
    // Sides beyond this are refused: a grid of 1024 x 1024 is already 16 MB.
    static constexpr uint32_t kMaxSide = 1024;

    ~TileMap() override;

    void Serialize(Serializer& s) override;
    // Sizes the grid, becomes the current map, then loads the main level file.
    void Initialize() override;
    std::string GetTypeName() override { return "TileMap"; }
    uint32_t GetTypeId() override { return kTypeId; }

    bool IsInWorld(const Vector3& position) const;
    bool InBounds(int32_t x, int32_t z) const { return x >= 0 && z >= 0 && x < mGridWidth && z < mGridDepth; }
    // Out of range gives a scratch tile outside the grid (walkable, not buildable, empty);
    // writes to it are forgotten by the next read.
    Tile& GetTile(int32_t x, int32_t z);
    Vector3 TileToWorld(int32_t x, int32_t z) const;
    Vector3 TileToWorldAligned(int32_t x, int32_t z, int32_t alignX, int32_t alignZ) const;
    // An odd alignment picks the tile holding the point, an even one the nearest corner;
    // clamped to 0 .. width (one past the last tile), so the far edge reads as outside.
    TileIndex WorldToTile(const Vector3& position, int32_t alignX, int32_t alignZ) const;
    void SetTileOccupant(int32_t x, int32_t z, float subHeight, TileComp* occupant);
    TileComp* GetOccupantAt(const Vector3& position);
    bool IsAreaFree(int32_t centreX, int32_t centreZ, int32_t width, int32_t depth);
    // The tiles the segment crosses, 4-connected, appended in order. Refuses non-finite points.
    void GetTilesOnLine(const Vector3& from, const Vector3& to, std::vector<TileIndex>& out) const;

    // Level files: path + ".xml" holds the level cog, path + ".bin" the flags and objects.
    // False (and logged) when the path leaves the data folder or a file cannot be saved.
    bool SaveLevelFile(std::string path);
    void LoadLevelFile(std::string path);
    void LoadLevelData();

    int32_t GetGridWidth() const { return mGridWidth; }
    int32_t GetGridDepth() const { return mGridDepth; }
    float GetTileScale() const { return mWorldTileScale.x; }

    uint32_t widthSize = 10;
    uint32_t depthSize = 10;
    Vector3 mWorldOffset{50.0f, 0.0f, 50.0f};
    Vector3 mWorldTileScale{1.0f, 1.0f, 1.0f};
    std::string MainLevelFile;

private:
    void ResizeGrid();

    std::vector<Tile> mTiles;
    int32_t mGridWidth = 0;
    int32_t mGridDepth = 0;
    Tile mOutside;
};

// Inline: it runs for every cursor move, placement test and invader step.
inline TileIndex TileMap::WorldToTile(const Vector3& position, int32_t alignX, int32_t alignZ) const
{
    float fx = (position.x - mWorldOffset.x) / mWorldTileScale.x;
    float fz = (position.z - mWorldOffset.z) / mWorldTileScale.z;
    if (!(alignX & 1))
        fx += 0.5f;
    if (!(alignZ & 1))
        fz += 0.5f;
    // Clamped before the conversion, so NaN and huge values never reach the integer cast.
    auto clampIndex = [](float f, int32_t limit) -> int32_t {
        if (!(f >= 0.0f))
            return 0;
        if (f >= static_cast<float>(limit))
            return limit;
        return static_cast<int32_t>(f);
    };
    return {clampIndex(fx, mGridWidth), clampIndex(fz, mGridDepth)};
}

inline Vector3 TileMap::TileToWorld(int32_t x, int32_t z) const { return TileToWorldAligned(x, z, 1, 1); }

inline Vector3 TileMap::TileToWorldAligned(int32_t x, int32_t z, int32_t alignX, int32_t alignZ) const
{
    if (!InBounds(x, z))
        return Vector3(0.0f, 0.0f, 0.0f);
    const float fx = static_cast<float>(x) + ((alignX & 1) ? 0.5f : 0.0f);
    const float fz = static_cast<float>(z) + ((alignZ & 1) ? 0.5f : 0.0f);
    return Vector3(fx * mWorldTileScale.x + mWorldOffset.x, 0.5f * mWorldTileScale.y + mWorldOffset.y,
                   fz * mWorldTileScale.z + mWorldOffset.z);
}

// Inline: the invaders read several tiles each every frame.
inline Tile& TileMap::GetTile(int32_t x, int32_t z)
{
    if (InBounds(x, z))
        return mTiles[static_cast<size_t>(mGridWidth) * static_cast<size_t>(z) + static_cast<size_t>(x)];
    mOutside = Tile();
    mOutside.buildable = false;
    return mOutside;
}

inline bool TileMap::IsAreaFree(int32_t centreX, int32_t centreZ, int32_t width, int32_t depth)
{
    for (int32_t dx = -(width / 2); dx <= (width - 1) / 2; ++dx)
    {
        for (int32_t dz = -(depth / 2); dz <= (depth - 1) / 2; ++dz)
        {
            const int32_t x = centreX + dx;
            const int32_t z = centreZ + dz;
            if (!InBounds(x, z))
                return false;
            const Tile& tile =
                mTiles[static_cast<size_t>(mGridWidth) * static_cast<size_t>(z) + static_cast<size_t>(x)];
            if (tile.occupant || !tile.buildable)
                return false;
        }
    }
    return true;
}

void RegisterTileMap(CogFactory& cogs);

// Writes the cog as an XML stream file: one unnamed "cog" field.
bool SaveCogXML(const std::string& path, Cog& cog);

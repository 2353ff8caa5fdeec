#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"
#include "game/level/TileMap.h"

class CogFactory;

// The footprint of an object on the tile grid (type id 103): claims the tiles under it when it
// is placed and frees them when it moves or goes.
class TileComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 103;

    ~TileComp() override;

    void Serialize(Serializer& s) override;
    // Sets the owner's box from the footprint, then places it where the owner stands.
    void Initialize() override;
    std::string GetTypeName() override { return "TileComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    bool PlaceAt(Vector3 position);
    // Checks the target by the whole placement rule, own tiles counting as free, before it lets
    // go of the old tiles; a refused move keeps them.
    bool MoveTo(Vector3 position);
    // Gives the tiles back with the walk flags they had before the claim.
    void ReleaseTiles();
    // While placed, an impassable footprint blocks its tiles; a passable one restores them.
    void SetPassable(bool value);
    TileIndex GetCenterTile() const { return {tileX + widthSize / 2, tileZ + depthSize / 2}; }
    bool IsPlaced() const { return placed; }
    const std::vector<TileIndex>& GetClaimedTiles() const { return mClaimed; }
    // The walk flag a claimed tile had before the claim; true for a tile it does not hold.
    bool GetUnderlyingPassable(int32_t x, int32_t z) const;

    int32_t widthSize = 2;
    int32_t depthSize = 2;
    float objectSub_Height = 10.0f;
    bool IsPassable = true;
    int32_t tileX = 0;
    int32_t tileZ = 0;
    bool placed = false;
    bool clearRing = false;

private:
    // The map the tiles were claimed in, found again by its cog's ID: null once it is gone.
    TileMap* ClaimedMap() const;
    void ApplyPassable(TileMap& map);

    std::vector<TileIndex> mClaimed;
    std::vector<bool> mClaimedPassable;
    uint32_t mMapCogId = 0;
};

void RegisterTileComp(CogFactory& cogs);

#include "game/level/TileComp.h"

#include <algorithm>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/TerrainSeam.h"

namespace {
CompFactoryOf<TileComp> gTileCompFactory;
} // namespace

void RegisterTileComp(CogFactory& cogs) { cogs.Types().RegisterComponent(TileComp::kTypeId, &gTileCompFactory); }

TileComp::~TileComp() { ReleaseTiles(); }

void TileComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeInt("widthSize", widthSize);
    s.SerializeInt("depthSize", depthSize);
    s.SerializeRealField("objectSub_Height", objectSub_Height);
    s.SerializeBoolField("IsPassable", IsPassable);
    if (!s.IsSaving())
    {
        // A footprint is at least one tile and never larger than a grid may be.
        const int32_t most = static_cast<int32_t>(TileMap::kMaxSide);
        widthSize = std::clamp(widthSize, 1, most);
        depthSize = std::clamp(depthSize, 1, most);
    }
}

void TileComp::Initialize()
{
    Positional* positional = GetOwnerPositional();
    if (!positional)
        return;
    BoundingBox& box = positional->GetLocalBox();
    box.min.x = -2.0f * static_cast<float>(widthSize);
    box.min.z = -2.0f * static_cast<float>(depthSize);
    box.max.x = 2.0f * static_cast<float>(widthSize);
    box.max.z = 2.0f * static_cast<float>(depthSize);
    // Until a model sizes it, the object reaches its grid height above and below where it
    // stands, so it meets the ground whatever the tile centre's height.
    if (box.max.y <= box.min.y)
    {
        box.min.y = -objectSub_Height;
        box.max.y = objectSub_Height;
    }
    positional->UpdateQuadTree();
    PlaceAt(positional->GetPosition());
}

TileMap* TileComp::ClaimedMap() const
{
    Cog* cog = CogFactory::Instance().GetCog(mMapCogId);
    return cog ? cog->Get<TileMap>() : nullptr;
}

bool TileComp::PlaceAt(Vector3 position)
{
    if (placed)
        return false;
    TileMap* map = CurrentTileMap();
    if (!map || !map->GetOwner() || !map->IsInWorld(position))
        return false;
    const TileIndex centre = map->WorldToTile(position, widthSize, depthSize);
    if (!map->IsAreaFree(centre.first, centre.second, widthSize, depthSize))
        return false;

    tileX = centre.first - widthSize / 2;
    tileZ = centre.second - depthSize / 2;
    mClaimed.clear();
    mClaimedPassable.clear();
    for (int32_t i = 0; i < widthSize; ++i)
    {
        for (int32_t j = 0; j < depthSize; ++j)
        {
            mClaimed.emplace_back(tileX + i, tileZ + j);
            mClaimedPassable.push_back(map->GetTile(tileX + i, tileZ + j).passable);
            map->SetTileOccupant(tileX + i, tileZ + j, objectSub_Height, this);
        }
    }
    mMapCogId = map->GetOwner()->GetID();
    const Vector3 snapped = map->TileToWorldAligned(centre.first, centre.second, widthSize, depthSize);
    Positional* positional = GetOwnerPositional();
    if (positional)
        positional->SetPosition(snapped);
    // The ground is flattened under a placed object, which then stands just above it.
    TerrainSeam& terrain = SceneTerrain();
    float base = 0.0f;
    if (terrain.HasHeightMap() && terrain.GetBaseHeight(base))
    {
        terrain.DeformTerrain(6, Vector3(snapped.x, base, snapped.z), 3.0f, 12.0f, base);
        if (positional)
            positional->SetPosition(Vector3(snapped.x, base + 0.05f, snapped.z));
    }
    placed = true;
    if (!IsPassable)
        ApplyPassable(*map);
    if (clearRing)
    {
        for (int32_t i = -1; i <= widthSize; ++i)
            for (int32_t j = -1; j <= depthSize; ++j)
                if ((i == -1 || i == widthSize || j == -1 || j == depthSize) && map->InBounds(tileX + i, tileZ + j))
                    map->GetTile(tileX + i, tileZ + j).buildable = false;
    }
    return true;
}

bool TileComp::MoveTo(Vector3 position)
{
    if (placed)
    {
        TileMap* map = CurrentTileMap();
        if (!map || !ClaimedMap() || !map->IsInWorld(position))
            return false;
        const TileIndex centre = map->WorldToTile(position, widthSize, depthSize);
        const int32_t x0 = centre.first - widthSize / 2;
        const int32_t z0 = centre.second - depthSize / 2;
        const bool sameMap = ClaimedMap() == map;
        for (int32_t x = x0; x < x0 + widthSize; ++x)
        {
            for (int32_t z = z0; z < z0 + depthSize; ++z)
            {
                if (!map->InBounds(x, z))
                    return false;
                const Tile& tile = map->GetTile(x, z);
                if (!tile.buildable || (tile.occupant && !(sameMap && tile.occupant == this)))
                    return false;
            }
        }
        ReleaseTiles();
    }
    return PlaceAt(position);
}

void TileComp::ReleaseTiles()
{
    if (!placed)
        return;
    if (TileMap* map = ClaimedMap())
    {
        for (size_t i = 0; i < mClaimed.size(); ++i)
        {
            const TileIndex t = mClaimed[i];
            if (!map->InBounds(t.first, t.second))
                continue;
            map->GetTile(t.first, t.second).passable = mClaimedPassable[i];
            map->SetTileOccupant(t.first, t.second, 0.0f, nullptr);
        }
    }
    // A map that is gone took its tiles with it; nothing is left to give back.
    placed = false;
    mClaimed.clear();
    mClaimedPassable.clear();
    mMapCogId = 0;
}

bool TileComp::GetUnderlyingPassable(int32_t x, int32_t z) const
{
    for (size_t i = 0; i < mClaimed.size(); ++i)
        if (mClaimed[i] == TileIndex{x, z})
            return mClaimedPassable[i];
    return true;
}

void TileComp::SetPassable(bool value)
{
    IsPassable = value;
    if (!placed)
        return;
    if (TileMap* map = ClaimedMap())
        ApplyPassable(*map);
}

void TileComp::ApplyPassable(TileMap& map)
{
    for (size_t i = 0; i < mClaimed.size(); ++i)
    {
        const TileIndex t = mClaimed[i];
        if (map.InBounds(t.first, t.second))
            map.GetTile(t.first, t.second).passable = IsPassable && mClaimedPassable[i];
    }
}

#include "game/level/TileMap.h"

#include <cmath>
#include <cstdlib>

#include "LOOM/base/TypeCode.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/level/TileComp.h"
#include "game/logic/LogicLoom.h"

namespace {
class TileMapFactory : public CompFactoryOf<TileMap>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("SaveLevelFile", MakeCompFunctor(TileMap::kTypeId, &TileMap::SaveLevelFile));
        composer.BindMessage("LoadLevelFile", MakeCompFunctor(TileMap::kTypeId, &TileMap::LoadLevelFile));
        composer.BindMessage("LoadLevelData", MakeCompFunctor(TileMap::kTypeId, &TileMap::LoadLevelData));
    }
};

TileMapFactory gTileMapFactory;

// Tile coordinates beyond this are refused by the line walk: they cannot name a tile and
// would overflow the integer indices.
constexpr float kMaxLineCoordinate = 1.0e7f;

int32_t Trunc(float value) { return static_cast<int32_t>(value); }
} // namespace

void RegisterTileMap(CogFactory& cogs) { cogs.Types().RegisterComponent(TileMap::kTypeId, &gTileMapFactory); }

TileMap::~TileMap()
{
    if (LogicLoom* logic = LogicLoom::Instance(); logic && logic->mTileMap == this)
        logic->mTileMap = nullptr;
}

void TileMap::Serialize(Serializer& s)
{
    SerializeHeader(s);
    SerializeSingle(s, "uint", "widthSize", TypeUInt, widthSize);
    SerializeSingle(s, "uint", "depthSize", TypeUInt, depthSize);
    s.SerializeVector("WorldOffset", mWorldOffset);
    s.SerializeVector("WorldTileScale", mWorldTileScale);
    s.SerializeFile("MainLevelFile", MainLevelFile);
}

void TileMap::ResizeGrid()
{
    if (widthSize < 1)
        widthSize = 1;
    if (depthSize < 1)
        depthSize = 1;
    if (widthSize > kMaxSide || depthSize > kMaxSide)
    {
        Console::Instance().Log("TileMap: a grid of " + std::to_string(widthSize) + " x " + std::to_string(depthSize) +
                                    " tiles is refused; at most " + std::to_string(kMaxSide) + " a side",
                                LogError);
        widthSize = mGridWidth > 0 ? static_cast<uint32_t>(mGridWidth) : 1;
        depthSize = mGridDepth > 0 ? static_cast<uint32_t>(mGridDepth) : 1;
    }
    mGridWidth = static_cast<int32_t>(widthSize);
    mGridDepth = static_cast<int32_t>(depthSize);
    mTiles.resize(static_cast<size_t>(mGridWidth) * static_cast<size_t>(mGridDepth));
}

void TileMap::Initialize()
{
    ResizeGrid();
    if (LogicLoom* logic = LogicLoom::Instance())
        logic->mTileMap = this;
    LoadLevelData();
}

bool TileMap::IsInWorld(const Vector3& position) const
{
    return position.x >= mWorldOffset.x && position.x < mWorldOffset.x + mGridWidth * mWorldTileScale.x &&
        position.z >= mWorldOffset.z && position.z < mWorldOffset.z + mGridDepth * mWorldTileScale.z;
}

void TileMap::SetTileOccupant(int32_t x, int32_t z, float subHeight, TileComp* occupant)
{
    if (!InBounds(x, z))
        return;
    Tile& tile = GetTile(x, z);
    tile.subHeight = std::isfinite(subHeight) && std::fabs(subHeight) < 2.0e9f ? Trunc(subHeight) : 0;
    tile.occupant = occupant;
}

TileComp* TileMap::GetOccupantAt(const Vector3& position)
{
    const TileIndex t = WorldToTile(position, 1, 1);
    return GetTile(t.first, t.second).occupant;
}

void TileMap::GetTilesOnLine(const Vector3& from, const Vector3& to, std::vector<TileIndex>& out) const
{
    const float ax = (from.x - mWorldOffset.x) / mWorldTileScale.x;
    const float az = (from.z - mWorldOffset.z) / mWorldTileScale.z;
    const float bx = (to.x - mWorldOffset.x) / mWorldTileScale.x;
    const float bz = (to.z - mWorldOffset.z) / mWorldTileScale.z;
    for (float v : {ax, az, bx, bz})
    {
        if (!std::isfinite(v) || std::fabs(v) > kMaxLineCoordinate)
        {
            Console::Instance().Log("TileMap: a tile line needs finite points on the grid's scale", LogError);
            return;
        }
    }
    const TileIndex end{Trunc(bx), Trunc(bz)};
    const size_t first = out.size();
    // Truncation toward zero maps -0.5 and 0.5 to the same index; a tile is listed once in a row.
    auto append = [&](float x, float z) {
        const TileIndex t{Trunc(x), Trunc(z)};
        if (out.size() == first || out.back() != t)
            out.push_back(t);
        return t == end;
    };
    if (append(ax, az))
        return;

    const bool majorIsZ = std::fabs(bx - ax) < std::fabs(bz - az);
    float major = majorIsZ ? az : ax;
    float minor = majorIsZ ? ax : az;
    const float majorEnd = majorIsZ ? bz : bx;
    const float minorEnd = majorIsZ ? bx : bz;
    const float majorDelta = majorEnd - major;
    const float slope = (minorEnd - minor) / std::fabs(majorDelta);
    const float step = majorDelta < 0.0f ? -1.0f : 1.0f;
    auto at = [&]() { return majorIsZ ? std::pair(minor, major) : std::pair(major, minor); };

    // Every round moves at least one tile toward the end, so this bound is never the reason to
    // stop on a sound line; it keeps rounding at the far end from walking on.
    const size_t limit = static_cast<size_t>(std::abs(end.first - Trunc(ax))) +
        static_cast<size_t>(std::abs(end.second - Trunc(az))) + 2;
    while (out.size() - first < limit)
    {
        const int32_t before = Trunc(minor);
        minor += slope;
        if (Trunc(minor) != before)
        {
            auto [x, z] = at();
            if (append(x, z))
                return;
        }
        major += step;
        auto [x, z] = at();
        if (append(x, z))
            return;
        const bool majorPassed = step > 0.0f ? major > majorEnd : major < majorEnd;
        const bool minorPassed = slope > 0.0f ? minor > minorEnd : slope < 0.0f ? minor < minorEnd : true;
        if (majorPassed && minorPassed)
            return;
    }
}

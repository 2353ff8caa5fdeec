#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "tests/LOOM/support/LogCapture.h"
#include "tests/game/GameSim.h"

namespace {
// Every step of a tile line moves to a side neighbour.
bool FourConnected(const std::vector<TileIndex>& tiles)
{
    for (size_t i = 1; i < tiles.size(); ++i)
        if (std::abs(tiles[i].first - tiles[i - 1].first) + std::abs(tiles[i].second - tiles[i - 1].second) != 1)
            return false;
    return true;
}

Vector3 Centre(int32_t x, int32_t z) { return Vector3(50.5f + x, 0.0f, 50.5f + z); }

bool LoggedContaining(const std::string& part, uint32_t since) { return LogCapture(since).Contains(part); }

// A running game with a 10 x 10 level for the footprint tests.
class TileCompOnGrid : public ::testing::Test
{
protected:
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(10, 10);
};
} // namespace

TEST(TileMap, WorldToTileRoundsByAlignmentAndClampsToOnePastTheEdge)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        Vector3 position;
        int32_t alignX, alignZ;
        TileIndex expected;
    } cases[] = {
        {{55.3f, 0, 52.9f}, 1, 1, {5, 2}},   {{55.3f, 0, 52.9f}, 2, 2, {5, 3}}, {{60.0f, 0, 52.0f}, 1, 1, {10, 2}},
        {{59.99f, 0, 59.99f}, 1, 1, {9, 9}}, {{49.0f, 0, 20.0f}, 1, 1, {0, 0}}, {{1.0e30f, 0, -1.0e30f}, 1, 1, {10, 0}},
        {{nan, 0, nan}, 2, 2, {0, 0}},       {{50.0f, 0, 50.0f}, 3, 4, {0, 0}}, {{54.6f, 0, 54.4f}, 4, 4, {5, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(map.WorldToTile(c.position, c.alignX, c.alignZ), c.expected)
            << c.position.x << ", " << c.position.z << " align " << c.alignX;
    // The far edge reads as outside, never as the first tile.
    map.GetTile(0, 2).subHeight = 5;
    const TileIndex edge = map.WorldToTile({60.0f, 0, 52.0f}, 1, 1);
    EXPECT_EQ(map.GetTile(edge.first, edge.second).subHeight, 0);
    EXPECT_EQ(map.TileToWorld(10, 0), Vector3(0, 0, 0));
    EXPECT_EQ(map.TileToWorld(3, 4), Vector3(53.5f, 0.5f, 54.5f));
    EXPECT_EQ(map.TileToWorldAligned(3, 4, 2, 3), Vector3(53.0f, 0.5f, 54.5f));
}

TEST(TileMap, OutOfRangeReadsAScratchOutsideTileAndWritesAreDropped)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    map.GetTile(0, 0).subHeight = 5;
    for (TileIndex t : {TileIndex{-1, 0}, TileIndex{10, 0}, TileIndex{0, 10}, TileIndex{3, -7}})
    {
        Tile& outside = map.GetTile(t.first, t.second);
        EXPECT_FALSE(outside.buildable);
        EXPECT_TRUE(outside.passable);
        EXPECT_EQ(outside.occupant, nullptr);
        outside.subHeight = 99;
        outside.buildable = true;
        map.SetTileOccupant(t.first, t.second, 7.0f, reinterpret_cast<TileComp*>(&map));
    }
    EXPECT_EQ(map.GetTile(0, 0).subHeight, 5);
    EXPECT_EQ(map.GetTile(0, 0).occupant, nullptr);
    EXPECT_FALSE(map.GetTile(-1, -1).buildable);
    EXPECT_EQ(map.GetOccupantAt({70.0f, 0, 70.0f}), nullptr);
}

TEST(TileMap, GridSidesAreAtLeastOneAndHugeOnesAreRefused)
{
    GameSim sim;
    const uint32_t since = Console::Instance().GetEntryCounter();
    TileMap& thin = GridMaker{sim}.Map(0, 5);
    EXPECT_EQ(thin.GetGridWidth(), 1);
    EXPECT_EQ(thin.GetGridDepth(), 5);
    EXPECT_FALSE(LoggedContaining("refused", since));
    TileMap& huge = GridMaker{sim}.Map(5000, 10);
    EXPECT_TRUE(LoggedContaining("refused", since));
    EXPECT_EQ(huge.GetGridWidth(), 1);
    EXPECT_EQ(huge.GetGridDepth(), 1);
    EXPECT_EQ(sim.Logic().mTileMap, &huge);
}

TEST(TileMap, IsAreaFreeChecksBoundsOccupantsAndBuildFlags)
{
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(10, 10);
    grid.Footprint(1, 1, Centre(7, 7));
    map.GetTile(2, 8).buildable = false;
    struct Case
    {
        int32_t x, z, w, d;
        bool free;
    } cases[] = {
        {5, 5, 2, 2, true},  {0, 0, 1, 1, true},  {0, 5, 2, 1, false}, {9, 9, 1, 1, true},
        {9, 9, 3, 1, false}, {8, 8, 2, 2, false}, {6, 6, 3, 3, false}, {5, 5, 3, 3, true},
        {2, 8, 1, 1, false}, {3, 8, 2, 1, false}, {3, 8, 1, 1, true},  {10, 0, 1, 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(map.IsAreaFree(c.x, c.z, c.w, c.d), c.free) << c.x << "," << c.z << " " << c.w << "x" << c.d;
}

TEST(TileMap, TilesOnLineAreFourConnectedInEveryDirection)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    const TileIndex ends[] = {{8, 5}, {8, 8}, {5, 8}, {2, 8}, {2, 5}, {2, 2}, {5, 2}, {8, 2}, {3, 4}, {9, 6}};
    for (const TileIndex& end : ends)
    {
        std::vector<TileIndex> tiles;
        map.GetTilesOnLine(Centre(5, 5), Centre(end.first, end.second), tiles);
        ASSERT_FALSE(tiles.empty());
        EXPECT_EQ(tiles.front(), TileIndex(5, 5));
        EXPECT_EQ(tiles.back(), end) << end.first << "," << end.second;
        EXPECT_TRUE(FourConnected(tiles)) << end.first << "," << end.second;
        EXPECT_EQ(tiles.size(), size_t(std::abs(end.first - 5) + std::abs(end.second - 5) + 1));
    }
    std::vector<TileIndex> tiles;
    map.GetTilesOnLine(Centre(0, 0), Centre(3, 1), tiles);
    EXPECT_EQ(tiles.front(), TileIndex(0, 0));
    EXPECT_EQ(tiles.back(), TileIndex(3, 1));
    EXPECT_TRUE(FourConnected(tiles));

    // Inside one tile: just that tile.
    tiles.clear();
    map.GetTilesOnLine(Centre(4, 4), {54.9f, 0, 54.1f}, tiles);
    EXPECT_EQ(tiles, (std::vector<TileIndex>{{4, 4}}));
}

TEST(TileMap, TilesOnLineFromOffTheGridAndFromBadPoints)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    std::vector<TileIndex> tiles;
    map.GetTilesOnLine({45.5f, 0, 43.5f}, Centre(4, 3), tiles);
    ASSERT_FALSE(tiles.empty());
    EXPECT_EQ(tiles.front(), TileIndex(-4, -6));
    EXPECT_EQ(tiles.back(), TileIndex(4, 3));
    EXPECT_TRUE(FourConnected(tiles));
    EXPECT_LE(tiles.size(), size_t(8 + 9 + 2));

    const uint32_t since = Console::Instance().GetEntryCounter();
    const float inf = std::numeric_limits<float>::infinity();
    tiles.assign(1, TileIndex{42, 42});
    map.GetTilesOnLine({inf, 0, 50}, Centre(4, 3), tiles);
    map.GetTilesOnLine(Centre(1, 1), {50, 0, std::nanf("")}, tiles);
    EXPECT_EQ(tiles, (std::vector<TileIndex>{{42, 42}})) << "refused lines append nothing";
    EXPECT_EQ(Console::Instance().GetEntryCounter() - since, 2u);
}

TEST_F(TileCompOnGrid, PlacementClaimsSnapsAndCentres)
{
    TileComp& a = grid.Footprint(2, 2, {55.2f, 0, 54.8f});
    ASSERT_TRUE(a.IsPlaced());
    EXPECT_EQ(a.GetClaimedTiles(), (std::vector<TileIndex>{{4, 4}, {4, 5}, {5, 4}, {5, 5}}));
    EXPECT_EQ(a.GetCenterTile(), TileIndex(5, 5));
    EXPECT_EQ(a.GetOwnerPositional()->GetPosition(), Vector3(55.0f, 0.5f, 55.0f));
    EXPECT_EQ(map.GetTile(4, 5).occupant, &a);
    EXPECT_EQ(map.GetTile(4, 5).subHeight, 4);
    EXPECT_EQ(map.GetOccupantAt({54.5f, 0, 55.5f}), &a);
    EXPECT_FALSE(a.PlaceAt({52, 0, 52})) << "already placed";

    // Overlapping and off-world placements leave the object unplaced and the grid unchanged.
    TileComp& b = grid.Footprint(2, 2, {56.0f, 0, 56.0f});
    EXPECT_FALSE(b.IsPlaced());
    TileComp& c = grid.Footprint(1, 1, {49.0f, 0, 55.0f});
    EXPECT_FALSE(c.IsPlaced());
    EXPECT_EQ(map.GetTile(6, 6).occupant, nullptr);
}

TEST_F(TileCompOnGrid, MoveToOwnForeignAndUnbuildableTiles)
{
    TileComp& a = grid.Footprint(2, 2, {55, 0, 55});
    TileComp& other = grid.Footprint(2, 2, {58, 0, 55});
    map.GetTile(2, 2).buildable = false;
    ASSERT_TRUE(a.IsPlaced());
    ASSERT_TRUE(other.IsPlaced());
    const std::vector<TileIndex> start = a.GetClaimedTiles();

    struct Case
    {
        Vector3 target;
        bool moves;
        TileIndex centre; // after the call
    } cases[] = {
        {{55.1f, 0, 55.1f}, true, {5, 5}},  // its own tiles
        {{56.0f, 0, 55.0f}, true, {6, 5}},  // half its own, half free
        {{57.0f, 0, 55.0f}, false, {6, 5}}, // one tile held by the other object
        {{52.0f, 0, 52.0f}, false, {6, 5}}, // an unbuildable tile
        {{40.0f, 0, 52.0f}, false, {6, 5}}, // off the world
        {{50.0f, 0, 55.0f}, false, {6, 5}}, // the block would reach past the edge
        {{53.0f, 0, 58.0f}, true, {3, 8}},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(a.MoveTo(c.target), c.moves) << c.target.x << "," << c.target.z;
        EXPECT_TRUE(a.IsPlaced());
        EXPECT_EQ(a.GetCenterTile(), c.centre) << c.target.x << "," << c.target.z;
        for (const TileIndex& t : a.GetClaimedTiles())
            EXPECT_EQ(map.GetTile(t.first, t.second).occupant, &a);
    }
    for (const TileIndex& t : start)
        EXPECT_EQ(map.GetTile(t.first, t.second).occupant, nullptr);
    EXPECT_EQ(map.GetTile(7, 4).occupant, &other);
}

TEST_F(TileCompOnGrid, ImpassableFootprintRestoresTheWalkFlagsItFound)
{
    map.GetTile(5, 5).passable = false; // blocked by the level itself
    TileComp& block = grid.Footprint(2, 2, {55, 0, 55}, false);
    for (TileIndex t : block.GetClaimedTiles())
        EXPECT_FALSE(map.GetTile(t.first, t.second).passable);

    ASSERT_TRUE(block.MoveTo({58, 0, 58}));
    EXPECT_FALSE(block.IsPassable) << "a moved blocker still blocks";
    EXPECT_FALSE(map.GetTile(7, 7).passable);
    EXPECT_TRUE(map.GetTile(4, 4).passable);
    EXPECT_FALSE(map.GetTile(5, 5).passable) << "the level's own flag comes back";

    block.SetPassable(true);
    EXPECT_TRUE(map.GetTile(7, 7).passable);
    block.SetPassable(false);
    sim.Cogs().Destroy(block.GetOwner());
    sim.Step();
    EXPECT_TRUE(map.GetTile(7, 7).passable);
    EXPECT_EQ(map.GetTile(7, 7).occupant, nullptr);
}

TEST_F(TileCompOnGrid, FootprintsOutliveTheirMapSafely)
{
    TileComp& a = grid.Footprint(2, 2, {55, 0, 55});
    ASSERT_TRUE(a.IsPlaced());
    sim.Cogs().Destroy(map.GetOwner());
    sim.Step();
    EXPECT_EQ(sim.Logic().mTileMap, nullptr);
    a.ReleaseTiles();
    EXPECT_FALSE(a.IsPlaced());
    EXPECT_FALSE(a.PlaceAt({55, 0, 55})) << "no map, no placement";
}

TEST_F(TileCompOnGrid, AClearRingFootprintMakesItsSurroundingsUnbuildable)
{
    TileComp& corner = grid.Footprint(2, 2, {51, 0, 51});
    ASSERT_TRUE(corner.IsPlaced());
    corner.ReleaseTiles();
    corner.clearRing = true;
    ASSERT_TRUE(corner.PlaceAt({51, 0, 51})); // tiles 0..1: the ring is cut by the grid's edge
    for (int32_t z = 0; z < 4; ++z)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(map.GetTile(x, z).buildable, !(x <= 2 && z <= 2 && (x == 2 || z == 2))) << x << "," << z;
}

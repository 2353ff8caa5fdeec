#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/Serializer.h"
#include "game/level/LevelFile.h"
#include "game/level/Wall.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/game/GameSim.h"
#include "tools/LevelBuilder.h"

namespace {
Positional& PositionalOf(Cog& cog) { return *cog.Get<Positional>(); }

// A level data file written field by field: version, sizes (not in version 0), no objects, flags.
void WriteFlagsFile(const std::string& path, int32_t version, uint32_t width, uint32_t depth,
                    const std::vector<uint32_t>& flags)
{
    BinarySaver saver;
    ASSERT_TRUE(saver.Open(path));
    SerializeSingle(saver, "int", nullptr, TypeInt, version);
    if (version != 0)
    {
        SerializeSingle(saver, "uint", nullptr, TypeUInt, width);
        SerializeSingle(saver, "uint", nullptr, TypeUInt, depth);
    }
    std::vector<LevelObjectRecord> none;
    SerializeElementList(saver, nullptr, none, "serializable", TypeObject);
    std::vector<uint32_t> items = flags;
    SerializeItemList(saver, nullptr, items, "uint",
                      [&saver](uint32_t& f) { SerializeSingle(saver, "uint", nullptr, TypeUInt, f); });
    saver.Close();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

uint32_t FlagsOf(const Tile& t) { return (t.buildable ? kTileBuildable : 0u) | (t.passable ? kTilePassable : 0u); }

struct Placed
{
    uint32_t mId;
    Vector3 mPosition;
    Quat mOrient;
};
} // namespace

TEST(LevelFile, RoundTripRestoresFlagsTowerWallsAndPlaces)
{
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(10, 10);
    Cog* tower = CreateAt(sim.Cogs(), "tower", {56, 0, 57});
    ASSERT_NE(tower, nullptr);
    const Quat turned(0.70710677f, 0.0f, 0.70710677f, 0.0f);
    PositionalOf(*tower).SetOrientation(turned);
    Cog* plain = CreateAt(sim.Cogs(), "wall", {51.5f, 0, 58.5f});
    Cog* super = CreateAt(sim.Cogs(), "superwall", {52.5f, 0, 58.5f});
    ASSERT_TRUE(plain && super);
    map.GetTile(9, 0).buildable = false;
    map.GetTile(8, 0).passable = false;
    const Placed oldTower{tower->GetID(), PositionalOf(*tower).GetPosition(), turned};

    std::vector<uint32_t> saved;
    for (int32_t z = 0; z < 10; ++z)
        for (int32_t x = 0; x < 10; ++x)
            saved.push_back(FlagsOf(map.GetTile(x, z)));
    map.SaveLevelFile("Levels/Test");
    EXPECT_EQ(map.MainLevelFile, "Levels/Test.bin");
    EXPECT_NE(TempDir::Read(sim.Path("Levels/Test.xml")).find("<file name=\"MainLevelFile\">Levels/Test.bin</file>"),
              std::string::npos);

    // Scribble over the flags, then reload in the same frame.
    for (int32_t z = 0; z < 10; ++z)
        for (int32_t x = 0; x < 10; ++x)
            map.GetTile(x, z).buildable = map.GetTile(x, z).passable = (x + z) % 2 == 0;
    map.LoadLevelFile("Levels/Test.bin");

    Cog* newTower = sim.Cogs().FindCogByName("Tower");
    ASSERT_NE(newTower, nullptr);
    EXPECT_NE(newTower->GetID(), oldTower.mId);
    EXPECT_EQ(PositionalOf(*newTower).GetPosition(), oldTower.mPosition);
    EXPECT_EQ(PositionalOf(*newTower).GetOrientation(), turned);
    auto* towerTiles = newTower->Get<TileComp>();
    EXPECT_TRUE(towerTiles->IsPlaced()) << "the old tower gave its tiles up at once";
    sim.Step();
    EXPECT_EQ(sim.Cogs().GetCog(oldTower.mId), nullptr);
    EXPECT_EQ(sim.Cogs().FindCogByName("Tower"), newTower);
    EXPECT_TRUE(towerTiles->IsPlaced());

    std::vector<Cog*> walls = sim.Cogs().GetGroupCogs("walls");
    ASSERT_EQ(walls.size(), 2u);
    EXPECT_EQ(PositionalOf(*walls[0]).GetPosition(), Vector3(51.5f, 0.5f, 58.5f));
    EXPECT_EQ(PositionalOf(*walls[1]).GetPosition(), Vector3(52.5f, 0.5f, 58.5f));
    for (int32_t z = 0; z < 10; ++z)
        for (int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(FlagsOf(map.GetTile(x, z)), saved[size_t(10 * z + x)]) << x << "," << z;
    EXPECT_FALSE(map.GetTile(2, 8).passable) << "the superwall's tiles still block";
    EXPECT_TRUE(map.GetTile(1, 8).passable);
    EXPECT_TRUE(walls[1]->Get<Wall>()->SuperWall);
    EXPECT_FALSE(map.GetTile(8, 0).passable) << "the level's own block stays";

    // Gone, the reloaded super wall leaves no blocked tile behind.
    sim.Cogs().Destroy(walls[1]);
    sim.Step();
    EXPECT_TRUE(map.GetTile(2, 8).passable);
}

// Blockers the load does not make block again by themselves: a plain wall made impassable, and
// a doodad of a composition with a blocking footprint that comes back as the plain rock its
// spawn name gives. Their tiles still block after the round trip.
TEST(LevelFile, RoundTripKeepsBlockersThatComeBackPassableBlocking)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    auto replace = [](std::string& text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    std::string rock = TempDir::Read(sim.Path("Data/Doodads/Rock.xml"));
    replace(rock, "<comp name=\"CollisionComp\"",
            "<comp name=\"TileComp\" CompID=\"103\"><int name=\"widthSize\">1</int><int name=\"depthSize\">1</int>"
            "<real name=\"objectSub_Height\">4</real><bool name=\"IsPassable\">false</bool></comp>"
            "<comp name=\"CollisionComp\"");
    std::string composition = TempDir::Read(sim.Path("Compositions/Doodad.xml"));
    replace(composition, ">Doodad<", ">Boulder<");
    replace(composition, "size=\"4\"", "size=\"5\"");
    replace(composition, "<CompID>131</CompID>", "<CompID>131</CompID><CompID>103</CompID>");
    replace(composition, ">rock<", ">boulder<");
    replace(composition, "Doodads\\Rock.xml", "Doodads\\Boulder.xml");
    WriteText(sim.Path("Data/Doodads/Boulder.xml"), rock);
    WriteText(sim.Path("Compositions/Boulder.xml"), composition);
    sim.Cogs().Files().LoadComposition("Compositions/Boulder.xml");

    struct Case
    {
        const char* mName;
        Vector3 mAt;
        TileIndex mTile;
    };
    const Case cases[] = {{"wall", {53.5f, 0, 55.5f}, {3, 5}}, {"boulder", {55.5f, 0, 55.5f}, {5, 5}}};
    for (const Case& c : cases)
    {
        Cog* cog = CreateAt(sim.Cogs(), c.mName, c.mAt);
        ASSERT_NE(cog, nullptr) << c.mName;
        auto* tiles = cog->Get<TileComp>();
        ASSERT_TRUE(tiles && tiles->IsPlaced()) << c.mName;
        tiles->SetPassable(false);
        ASSERT_FALSE(map.GetTile(c.mTile.first, c.mTile.second).passable) << c.mName;
    }
    map.SaveLevelFile("Levels/Blockers");
    // The load clears walls but not doodads: the boulder goes first, opening its tile.
    sim.Cogs().Destroy(sim.Cogs().GetGroupCogs("doodads")[0]);
    sim.Step();
    ASSERT_TRUE(map.GetTile(5, 5).passable);
    map.LoadLevelFile("Levels/Blockers.bin");
    sim.Step();
    ASSERT_EQ(sim.Cogs().GetGroupCogs("walls").size(), 1u);
    ASSERT_EQ(sim.Cogs().GetGroupCogs("doodads").size(), 1u);
    EXPECT_EQ(sim.Cogs().GetGroupCogs("doodads")[0]->GetComponent(TileComp::kTypeId), nullptr) << "came back a rock";
    for (const Case& c : cases)
        EXPECT_FALSE(map.GetTile(c.mTile.first, c.mTile.second).passable) << c.mName << " lets invaders through";
    EXPECT_TRUE(map.GetTile(4, 5).passable);
}

TEST(LevelFile, SavingWithoutATowerWritesNoTowerRecord)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    ASSERT_NE(CreateAt(sim.Cogs(), "wall", {51.5f, 0, 51.5f}), nullptr);
    map.SaveLevelFile("Levels/NoTower");
    const std::string bytes = TempDir::Read(sim.Path("Levels/NoTower.bin"));
    EXPECT_EQ(bytes.find("tower"), std::string::npos);
    EXPECT_NE(bytes.find("wall"), std::string::npos);
}

TEST(LevelFile, SmallerOrLargerFilesFillTheOverlapAndVersionZeroFillsInOrder)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    std::vector<uint32_t> flags;
    for (uint32_t z = 0; z < 8; ++z)
        for (uint32_t x = 0; x < 12; ++x)
            flags.push_back((x + 3 * z) % 4);
    WriteFlagsFile(sim.Path("Levels/Wide.bin"), 1, 12, 8, flags);
    map.LoadLevelFile("Levels/Wide.bin");
    for (uint32_t z = 0; z < 10; ++z)
        for (uint32_t x = 0; x < 10; ++x)
            EXPECT_EQ(FlagsOf(map.GetTile(int32_t(x), int32_t(z))), z < 8 ? (x + 3 * z) % 4 : 3u) << x << "," << z;

    WriteFlagsFile(sim.Path("Levels/Old.bin"), 0, 0, 0, {0, 1, 2, 0, 1});
    map.LoadLevelFile("Levels/Old.bin");
    const uint32_t expected[] = {0, 1, 2, 0, 1, (5 + 0) % 4, (6 + 0) % 4};
    for (int32_t i = 0; i < 7; ++i)
        EXPECT_EQ(FlagsOf(map.GetTile(i, 0)), expected[i]) << i;
}

TEST(LevelFile, ATruncatedFileLogsOneErrorAndChangesNothing)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    Cog* tower = CreateAt(sim.Cogs(), "tower", {56, 0, 56});
    ASSERT_NE(tower, nullptr);
    map.SaveLevelFile("Levels/Cut");
    const std::string bytes = TempDir::Read(sim.Path("Levels/Cut.bin"));
    for (size_t keep : {size_t(0), size_t(6), bytes.size() / 2, bytes.size() - 1})
    {
        TempDir::Read(sim.Path("Levels/Cut.bin"));
        std::ofstream(sim.Path("Levels/Cut.bin"), std::ios::binary | std::ios::trunc) << bytes.substr(0, keep);
        map.GetTile(0, 0).buildable = false;
        const uint32_t since = Console::Instance().GetEntryCounter();
        map.LoadLevelFile("Levels/Cut.bin");
        EXPECT_EQ(LogCapture(since).CountIf([](const LogEntry& e) { return e.mCategory == LogError; }), 1) << keep;
        EXPECT_FALSE(sim.Cogs().IsQueued(tower)) << keep;
        EXPECT_FALSE(map.GetTile(0, 0).buildable) << keep;
    }
}

TEST(LevelFile, TheFirstLevelRebuildsToTheSameBytes)
{
    GameSim sim;
    std::filesystem::remove(sim.Path("Levels/L1.bin"));
    std::filesystem::remove(sim.Path("Levels/L1.xml"));
    ASSERT_TRUE(BuildLevelOne(sim.Cogs()));
    const std::string repo = GameDataFolder() + "/Levels/";
    for (const char* file : {"L1.bin", "L1.xml"})
    {
        const std::string rebuilt = TempDir::Read(sim.Path(std::string("Levels/") + file));
        const std::string kept = TempDir::Read(repo + file);
        EXPECT_FALSE(rebuilt.empty()) << file;
        EXPECT_TRUE(rebuilt == kept) << file << ": " << rebuilt.size() << " bytes rebuilt, " << kept.size()
                                     << " kept; run make_levels on the data folder";
    }
}

#include <gtest/gtest.h>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/ParamBuffer.h"
#include "game/level/Wall.h"
#include "tests/game/GameSim.h"

namespace {
Wall& WallOf(Cog& cog) { return *cog.Get<Wall>(); }

void Hit(Cog& cog, DamageInfo d)
{
    ParamBuffer params;
    ParamTraits<DamageInfo>::Push(params, d);
    cog.CallFunction("Damage", params);
}
} // namespace

TEST(Wall, DiesAtTheEndOfTheFrameOfTheFatalHitAndKeepsThatHit)
{
    GameSim sim;
    GridMaker{sim}.Map(10, 10);
    Cog* cog = CreateAt(sim.Cogs(), "wall", {55.5f, 0, 55.5f});
    ASSERT_NE(cog, nullptr);
    const uint32_t id = cog->GetID();
    Wall& w = WallOf(*cog);
    EXPECT_EQ(sim.Data().mWalls.size(), 1u);

    Hit(*cog, {11, -4.0f, 2});
    sim.Step();
    ASSERT_NE(sim.Cogs().GetCog(id), nullptr);
    EXPECT_FLOAT_EQ(w.CurHP, 6.0f);
    Hit(*cog, {12, -6.0f, 4});
    Hit(*cog, {13, -1.0f, 6}); // later hits do not replace the fatal one
    EXPECT_EQ(w.mFatalDamage.mFirst, 12);
    EXPECT_EQ(w.mFatalDamage.mType, 4);
    sim.Step();
    EXPECT_EQ(sim.Cogs().GetCog(id), nullptr);
    EXPECT_TRUE(sim.Data().mWalls.empty());
    EXPECT_EQ(sim.Logic().mTileMap->GetTile(5, 5).occupant, nullptr);
}

TEST(Wall, HealingHasNoCapAndOnlyASuperWallBlocks)
{
    GameSim sim;
    TileMap& map = GridMaker{sim}.Map(10, 10);
    Cog* plain = CreateAt(sim.Cogs(), "wall", {52.5f, 0, 52.5f});
    Cog* super = CreateAt(sim.Cogs(), "superwall", {57.5f, 0, 57.5f});
    ASSERT_TRUE(plain && super);
    Hit(*plain, {0, 25.0f, 0});
    EXPECT_FLOAT_EQ(WallOf(*plain).CurHP, 35.0f);
    EXPECT_TRUE(map.GetTile(2, 2).passable);
    EXPECT_FALSE(map.GetTile(7, 7).passable);
    EXPECT_EQ(map.GetTile(7, 7).occupant, super->GetComponent(TileComp::kTypeId));
}

TEST(Wall, DestroyAllWallsTakesEveryWallOnTheNextUpdate)
{
    GameSim sim;
    GridMaker{sim}.Map(10, 10);
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(CreateAt(sim.Cogs(), i % 2 ? "wall" : "superwall", {50.5f + 2 * i, 0, 51.5f}), nullptr);
    ASSERT_EQ(sim.Data().mWalls.size(), 4u);
    sim.Run("DestroyAllWalls");
    for (Wall* w : sim.Data().mWalls)
        EXPECT_LE(w->CurHP, 0.0f);
    EXPECT_EQ(sim.Cogs().GetGroupCogs("walls").size(), 4u);
    sim.Step();
    EXPECT_TRUE(sim.Cogs().GetGroupCogs("walls").empty());
    EXPECT_TRUE(sim.Data().mWalls.empty());
}

TEST(Wall, WallsBuiltWithoutADataControllerStandAlone)
{
    {
        Wall loose; // no logic loom at all
        loose.Damage({0, -20.0f, 2});
        loose.Damage({0, -5.0f, 5});
        EXPECT_EQ(loose.mFatalDamage.mType, 2);
    }
    GameSim sim;
    sim.Logic().Shutdown(); // as documentation export meets it: a loom without its data
    {
        Wall early;
        EXPECT_FLOAT_EQ(early.CurHP, 10.0f);
    }
    sim.Logic().Init();
    EXPECT_TRUE(sim.Data().mWalls.empty());
}

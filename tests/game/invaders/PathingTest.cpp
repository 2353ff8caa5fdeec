#include <gtest/gtest.h>

#include <set>

#include "game/level/Wall.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
struct WallCase
{
    const char* mWall;
    bool mAvoidWall;
    bool mAttacksTower; // else it breaks through a plain wall
};

class PathingWalls : public ::testing::TestWithParam<WallCase>
{
};

// A grunt 30 tiles from the tower, behind the middle of an 8-tile wall line.
TEST_P(PathingWalls, TheGruntReachesWhatItMayAttack)
{
    const WallCase& c = GetParam();
    GameSim sim;
    InvaderField field(sim);
    Cog* tower = field.Tower(32, 56);
    ASSERT_NE(tower, nullptr);
    // One blow ends it, so the fatal record names the first attack.
    InvaderField::B(tower).hitPoints = 10.0f;
    std::set<TileIndex> wallTiles;
    std::vector<uint32_t> walls;
    for (int32_t x = 28; x < 36; ++x)
    {
        walls.push_back(field.Make(c.mWall, field.Centre(x, 40))->GetID());
        wallTiles.insert({x, 40});
    }
    Cog* grunt = field.Invader("grunt", 32, 26);
    const uint32_t id = grunt->GetID();
    Kestrane& k = InvaderField::K(grunt);
    k.mAvoidWall = c.mAvoidWall;
    const uint32_t towerId = tower->GetID();

    bool onWall = false;
    DamageInfo towerHit;
    const bool done = sim.StepUntil(
        [&] {
            Cog* g = sim.Cogs().GetCog(id);
            if (g && wallTiles.count(InvaderField::K(g).mRun.mCurrentTile))
                onWall = true;
            Cog* t = sim.Cogs().GetCog(towerId);
            if (t && InvaderField::B(t).hitPoints <= 0.0f)
                towerHit = InvaderField::B(t).fatalDamage;
            return towerHit.mType != 0 || (!c.mAttacksTower && sim.Data().mWalls.size() < walls.size());
        },
        60 * 60);
    ASSERT_TRUE(done) << "nothing attacked within 60 s";
    if (c.mAttacksTower)
    {
        EXPECT_EQ(towerHit.mType, 6);
        EXPECT_EQ(towerHit.mFirst, static_cast<int32_t>(id));
        EXPECT_FLOAT_EQ(towerHit.mAmount, -k.mAttackStrength);
        EXPECT_FALSE(onWall) << "walked over a wall tile";
    }
    else
    {
        EXPECT_TRUE(sim.Cogs().GetCog(towerId)) << "the tower stands";
        EXPECT_EQ(k.mRun.mState, StateAttack);
        EXPECT_EQ(k.mRun.mTargetTile.second, 40) << "the wall line";
    }
}

INSTANTIATE_TEST_SUITE_P(Walls, PathingWalls,
                         ::testing::Values(WallCase{"wall", true, true}, WallCase{"superwall", false, true},
                                           WallCase{"wall", false, false}),
                         [](const ::testing::TestParamInfo<WallCase>& info) {
                             return std::string(info.param.mWall) + (info.param.mAvoidWall ? "Avoided" : "Met");
                         });
} // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "game/level/Wall.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
enum class AtTheWall
{
    AttacksTower,
    BreaksWall,
    MovesSpecially, // leaps over it or becomes a step up to it
};

struct WallCase
{
    const char* mKind;
    const char* mWall;
    bool mAvoidWall;
    AtTheWall mOutcome;
};

class PathingWalls : public ::testing::TestWithParam<WallCase>
{
};

// An invader 30 tiles from the tower, behind the middle of an 8-tile wall line (a wall is 4
// levels high, a super wall 6).
TEST_P(PathingWalls, TheInvaderReachesWhatItMayAttackOrMovesSpecially)
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
    Cog* invader = field.Invader(c.mKind, 32, 26);
    const uint32_t id = invader->GetID();
    Kestrane& k = InvaderField::K(invader);
    k.mAvoidWall = c.mAvoidWall;
    const uint32_t towerId = tower->GetID();

    bool onWall = false;
    bool special = false;
    DamageInfo towerHit;
    const bool done = sim.StepUntil(
        [&] {
            Cog* g = sim.Cogs().GetCog(id);
            if (g && wallTiles.count(InvaderField::K(g).mRun.mCurrentTile))
                onWall = true;
            // Its special move, taken beside the wall line.
            if (g && InvaderField::K(g).GetState() == StateSpecial)
                special = std::abs(InvaderField::K(g).mRun.mCurrentTile.second - 40) <= 2;
            if (special)
                return true;
            Cog* t = sim.Cogs().GetCog(towerId);
            if (t && InvaderField::B(t).hitPoints <= 0.0f)
                towerHit = InvaderField::B(t).fatalDamage;
            return towerHit.mType != 0 ||
                (c.mOutcome == AtTheWall::BreaksWall && sim.Data().mWalls.size() < walls.size());
        },
        60 * 60);
    ASSERT_TRUE(done) << "nothing attacked within 60 s";
    if (c.mOutcome == AtTheWall::MovesSpecially)
    {
        EXPECT_TRUE(special);
        EXPECT_EQ(sim.Data().mWalls.size(), walls.size()) << "no wall broken";
    }
    else if (c.mOutcome == AtTheWall::AttacksTower)
    {
        EXPECT_EQ(towerHit.mType, 6);
        EXPECT_EQ(towerHit.mFirst, static_cast<int32_t>(id));
        EXPECT_FLOAT_EQ(towerHit.mAmount, -k.mAttackStrength);
        EXPECT_FALSE(onWall) << "walked over a wall tile";
    }
    else
    {
        EXPECT_FALSE(special);
        EXPECT_TRUE(sim.Cogs().GetCog(towerId)) << "the tower stands";
        EXPECT_EQ(k.mRun.mState, StateAttack);
        EXPECT_EQ(k.mRun.mTargetTile.second, 40) << "the wall line";
    }
}

INSTANTIATE_TEST_SUITE_P(Walls, PathingWalls,
                         ::testing::Values(WallCase{"grunt", "wall", true, AtTheWall::AttacksTower},
                                           WallCase{"grunt", "superwall", false, AtTheWall::AttacksTower},
                                           WallCase{"grunt", "wall", false, AtTheWall::BreaksWall},
                                           WallCase{"jumper", "wall", false, AtTheWall::MovesSpecially},
                                           WallCase{"jumper", "superwall", false, AtTheWall::MovesSpecially},
                                           WallCase{"ninja", "wall", false, AtTheWall::MovesSpecially},
                                           WallCase{"ninja", "superwall", false, AtTheWall::MovesSpecially},
                                           WallCase{"stacker", "wall", false, AtTheWall::MovesSpecially},
                                           // A super wall blocks its tiles: no step leads onto it.
                                           WallCase{"stacker", "superwall", false, AtTheWall::AttacksTower}),
                         [](const ::testing::TestParamInfo<WallCase>& info) {
                             return std::string(info.param.mKind) + info.param.mWall +
                                 (info.param.mAvoidWall ? "Avoided" : "Met");
                         });
} // namespace

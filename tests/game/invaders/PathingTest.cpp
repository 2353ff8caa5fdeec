#include <gtest/gtest.h>

#include <set>

#include "game/level/Wall.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
enum class AtTheWall
{
    AttacksTower,
    BreaksWall,
    BreaksThrough, // breaks a wall and walks on beyond the line
    GoesRound,     // reaches the far side with every wall standing
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
// levels high, a super wall 6). The jumper, ninja and stacker keep their special moves for
// lower steps: whatever they do at a wall, they end beyond it.
TEST_P(PathingWalls, TheInvaderReachesWhatItMayAttackOrGetsPastTheWall)
{
    const WallCase& c = GetParam();
    GameSim sim;
    InvaderField field(sim);
    Cog* tower = field.Tower(32, 56);
    ASSERT_NE(tower, nullptr);
    // One blow ends it, so the fatal record names the first attack.
    InvaderField::B(tower).hitPoints = 10.0f;
    constexpr int32_t kWallZ = 40;
    std::set<TileIndex> wallTiles;
    std::vector<uint32_t> walls;
    for (int32_t x = 28; x < 36; ++x)
    {
        walls.push_back(field.Make(c.mWall, field.Centre(x, kWallZ))->GetID());
        wallTiles.insert({x, kWallZ});
    }
    Cog* invader = field.Invader(c.mKind, 32, 26);
    const uint32_t id = invader->GetID();
    Kestrane& k = InvaderField::K(invader);
    k.mAvoidWall = c.mAvoidWall;
    const uint32_t towerId = tower->GetID();
    const bool getsPast = c.mOutcome == AtTheWall::BreaksThrough || c.mOutcome == AtTheWall::GoesRound;

    bool onWall = false;
    bool beyond = false;
    DamageInfo towerHit;
    const bool done = sim.StepUntil(
        [&] {
            if (Cog* g = sim.Cogs().GetCog(id))
            {
                Kestrane& gk = InvaderField::K(g);
                if (wallTiles.count(gk.mRun.mCurrentTile))
                    onWall = true;
                beyond = field.Map().WorldToTile(gk.Pos().GetPosition(), 1, 1).second > kWallZ;
            }
            if (getsPast)
                return beyond;
            Cog* t = sim.Cogs().GetCog(towerId);
            if (t && InvaderField::B(t).hitPoints <= 0.0f)
                towerHit = InvaderField::B(t).fatalDamage;
            return towerHit.mType != 0 ||
                (c.mOutcome == AtTheWall::BreaksWall && sim.Data().mWalls.size() < walls.size());
        },
        30 * 60);
    if (getsPast)
    {
        ASSERT_TRUE(done) << "not beyond the wall line within 30 s";
        ASSERT_NE(sim.Cogs().GetCog(id), nullptr);
        if (c.mOutcome == AtTheWall::BreaksThrough)
            EXPECT_LT(sim.Data().mWalls.size(), walls.size()) << "went past without breaking a wall";
        else
        {
            EXPECT_EQ(sim.Data().mWalls.size(), walls.size()) << "no wall broken";
            EXPECT_FALSE(onWall) << "walked over a wall tile";
        }
        return;
    }
    ASSERT_TRUE(done) << "nothing attacked within 30 s";
    if (c.mOutcome == AtTheWall::AttacksTower)
    {
        EXPECT_EQ(towerHit.mType, 6);
        EXPECT_EQ(towerHit.mFirst, static_cast<int32_t>(id));
        EXPECT_FLOAT_EQ(towerHit.mAmount, -k.mAttackStrength);
        EXPECT_FALSE(onWall) << "walked over a wall tile";
    }
    else
    {
        EXPECT_TRUE(sim.Cogs().GetCog(towerId)) << "the tower stands";
        EXPECT_FALSE(beyond);
        EXPECT_EQ(k.mRun.mState, StateAttack);
        EXPECT_EQ(k.mRun.mTargetTile.second, kWallZ) << "the wall line";
    }
}

INSTANTIATE_TEST_SUITE_P(Walls, PathingWalls,
                         ::testing::Values(WallCase{"grunt", "wall", true, AtTheWall::AttacksTower},
                                           WallCase{"grunt", "superwall", false, AtTheWall::AttacksTower},
                                           WallCase{"grunt", "wall", false, AtTheWall::BreaksWall},
                                           WallCase{"jumper", "wall", false, AtTheWall::BreaksThrough},
                                           WallCase{"jumper", "superwall", false, AtTheWall::GoesRound},
                                           WallCase{"ninja", "wall", false, AtTheWall::BreaksThrough},
                                           WallCase{"ninja", "superwall", false, AtTheWall::GoesRound},
                                           WallCase{"stacker", "wall", false, AtTheWall::BreaksThrough},
                                           WallCase{"stacker", "superwall", false, AtTheWall::GoesRound}),
                         [](const ::testing::TestParamInfo<WallCase>& info) {
                             return std::string(info.param.mKind) + info.param.mWall +
                                 (info.param.mAvoidWall ? "Avoided" : "Met");
                         });
} // namespace

#include <gtest/gtest.h>

#include <set>

#include "LOOM/math/Random.h"
#include "game/invaders/InvaderGroup.h"
#include "game/level/LevelFile.h"
#include "tests/game/invaders/InvaderSim.h"

// Without its spikes and with a weak tower, the first level is lost to its waves.
TEST(LevelPlay, LevelOneWithoutTrapsIsLost)
{
    GameSim sim;
    sim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
    ASSERT_EQ(sim.Data().mTraps.size(), 1u);
    for (Cog* trap : sim.Cogs().GetGroupCogs("traps"))
        sim.Cogs().Destroy(trap);
    Cog* tower = sim.Cogs().FindCogByName("Tower");
    ASSERT_NE(tower, nullptr);
    InvaderField::B(tower).hitPoints = 100.0f;
    ASSERT_TRUE(sim.StepUntil([&] { return sim.Data().mGameState != StateInLevel; }, 120 * 60));
    EXPECT_EQ(sim.Data().mGameState, StateLost);
    EXPECT_EQ(sim.Cogs().FindCogByName("Tower"), nullptr);
    EXPECT_EQ(sim.Data().mKills, 0);
    EXPECT_TRUE(sim.Data().mStats.trapsLost.empty()) << "removed, not destroyed";
}

// Many invaders of every walking kind walk, jump, stack and die on a field with walls; at the
// end every tile counts exactly the invaders standing on it.
TEST(LevelPlay, TilesCountTheirGroundedInvaders)
{
    GameSim sim(GameDataFolder(), 11);
    InvaderField field(sim);
    Cog* tower = field.Tower(32, 58);
    ASSERT_NE(tower, nullptr);
    // The tower stands throughout: without it every invader hops and none stands on a tile.
    InvaderField::B(tower).hitPoints = 1.0e6f;
    for (int32_t x = 10; x < 54; x += 3)
        field.Make(x % 2 ? "wall" : "superwall", field.Centre(x, 36));
    const char* kinds[] = {"grunt", "stacker", "kamikaze", "bomber", "squad"};
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < 200; ++i)
    {
        Cog* cog = field.Invader(kinds[i % 5], RandomInt(2, 61), RandomInt(2, 30));
        ASSERT_NE(cog, nullptr);
        ids.push_back(cog->GetID());
        if (i % 7 == 0)
            InvaderField::K(cog).mAvoidWall = true;
    }
    for (int32_t second = 0; second < 15; ++second)
    {
        sim.Step(60);
        // A few die each second, by the trap's kind of damage.
        for (int32_t n = 0; n < 2; ++n)
            if (Cog* cog = sim.Cogs().GetCog(ids[static_cast<size_t>(RandomInt(0, 199))]))
                SendDamage(*cog, DamageInfo{0, -1000.0f, 2});
    }
    sim.Step(2);

    TileMap& map = field.Map();
    std::map<TileIndex, int32_t> standing;
    int32_t counted = 0;
    for (Comp* comp : sim.Data().mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        if (k.IsCounted())
        {
            EXPECT_EQ(k.CountedTile(), k.mRun.mCurrentTile);
            standing[k.mRun.mCurrentTile] += 1;
            ++counted;
        }
        const bool grounded = k.mRun.mState != StateGrabbed && k.mRun.mState != StateAirborne &&
            k.mRun.mState != StateParachute && !(k.mRun.mState == StateSpecial && k.mBehaviorName == "Stacker") &&
            !k.IsDead();
        EXPECT_EQ(k.IsCounted(), grounded && map.InBounds(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second))
            << k.mName;
    }
    // Kamikaze and bomber blasts now hurt their neighbours too, so fewer are left standing.
    EXPECT_GT(counted, 10);
    EXPECT_LT(sim.Data().mInvaders.size(), 200u) << "some died";
    for (int32_t z = 0; z < map.GetGridDepth(); ++z)
        for (int32_t x = 0; x < map.GetGridWidth(); ++x)
        {
            auto it = standing.find({x, z});
            EXPECT_EQ(map.GetTile(x, z).invaderCount, it == standing.end() ? 0 : it->second) << x << "," << z;
        }
}

// A level saved with invaders and traps on it comes back with them; a soft restart in the
// middle of play leaves nothing behind.
TEST(LevelPlay, SavedLevelKeepsInvadersAndTrapsAndSurvivesARestart)
{
    GameSim sim;
    InvaderField field(sim);
    ASSERT_NE(field.Tower(32, 58), nullptr);
    Cog* trap = field.Trap(20, 20);
    ASSERT_NE(trap, nullptr);
    field.Invader("stacker", 10, 10);
    field.Invader("bomber", 12, 10);
    sim.Step(30);
    field.Map().SaveLevelFile("Levels/Saved");
    for (const char* group : {"invaders", "traps"})
        for (Cog* cog : sim.Cogs().GetGroupCogs(group))
            sim.Cogs().Destroy(cog);
    sim.Step();
    ASSERT_TRUE(sim.Data().mInvaders.empty());
    field.Map().LoadLevelFile("Levels/Saved.bin");
    std::multiset<std::string> names;
    for (Comp* comp : sim.Data().mInvaders)
        names.insert(static_cast<Kestrane*>(comp)->mName);
    EXPECT_EQ(names, (std::multiset<std::string>{"bomber", "stacker"}));
    ASSERT_EQ(sim.Data().mTraps.size(), 1u);
    EXPECT_EQ(static_cast<TrapData*>(sim.Data().mTraps.front())->Name, "spikes");

    sim.Step(60);
    sim.Run("SoftRestart");
    sim.Step(3);
    EXPECT_TRUE(sim.Data().mInvaders.empty());
    EXPECT_TRUE(sim.Data().mTraps.empty());
    EXPECT_EQ(sim.Logic().mGroups->Size(), 0u);
}

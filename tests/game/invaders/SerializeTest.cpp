#include <gtest/gtest.h>

#include "LOOM/factory/FileComposition.h"
#include "tests/game/invaders/InvaderSim.h"

// The stored fields of the invader, trap and tower components come back as they were saved,
// under their file names.
TEST(GameComponents, FieldsRoundTripThroughCogFiles)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* invader = sim.Cogs().Allocate("grunt");
    Kestrane& k = InvaderField::K(invader);
    k.mName = "tester";
    k.mCurHP = 3.5f;
    k.mMoveSpeed = 2.25f;
    k.mCreditWorth = 9.0f;
    k.mPathingName = "Random";
    k.mBehaviorName = "Jumper";
    k.mRotationResetRate = 0.5f;
    k.mPermanentStatusEffect = true;
    k.mAvoidTrap = true;
    Cog* trap = sim.Cogs().Allocate("spikes");
    TrapData& t = InvaderField::T(trap);
    t.MaxCharge = 4.0f;
    t.ResetingTime = 1.25f;
    t.StatusEffectType = EffectOnFire;
    t.BehaviorName = "Fan";
    Cog* tower = sim.Cogs().Allocate("tower");
    InvaderField::B(tower).MaxHP = 321.0f;
    InvaderField::B(tower).numLevels = 3;

    ASSERT_TRUE(SaveArchetypeXml(*invader, sim.Path("invader.xml")));
    ASSERT_TRUE(SaveArchetypeXml(*trap, sim.Path("trap.xml")));
    ASSERT_TRUE(SaveArchetypeXml(*tower, sim.Path("tower.xml")));
    const std::string trapText = TempDir::Read(sim.Path("trap.xml"));
    EXPECT_NE(trapText.find("<int name=\"StatusEffectType\" type=\"EffectState\">4</int>"), std::string::npos);
    EXPECT_NE(trapText.find("<real name=\"Max Charge\">4</real>"), std::string::npos);

    Cog* invader2 = sim.Cogs().Allocate("grunt");
    Cog* trap2 = sim.Cogs().Allocate("spikes");
    Cog* tower2 = sim.Cogs().Allocate("tower");
    ASSERT_TRUE(LoadArchetypeXml(*invader2, sim.Path("invader.xml")));
    ASSERT_TRUE(LoadArchetypeXml(*trap2, sim.Path("trap.xml")));
    ASSERT_TRUE(LoadArchetypeXml(*tower2, sim.Path("tower.xml")));
    const Kestrane& k2 = InvaderField::K(invader2);
    EXPECT_EQ(k2.mName, "tester");
    EXPECT_FLOAT_EQ(k2.mCurHP, 3.5f);
    EXPECT_FLOAT_EQ(k2.mMoveSpeed, 2.25f);
    EXPECT_FLOAT_EQ(k2.mCreditWorth, 9.0f);
    EXPECT_EQ(k2.mPathingName, "Random");
    EXPECT_EQ(k2.mBehaviorName, "Jumper");
    EXPECT_FLOAT_EQ(k2.mRotationResetRate, 0.5f);
    EXPECT_TRUE(k2.mPermanentStatusEffect);
    EXPECT_TRUE(k2.mAvoidTrap);
    EXPECT_FALSE(k2.mAvoidWall);
    const TrapData& t2 = InvaderField::T(trap2);
    EXPECT_FLOAT_EQ(t2.MaxCharge, 4.0f);
    EXPECT_FLOAT_EQ(t2.ResetingTime, 1.25f);
    EXPECT_EQ(t2.StatusEffectType, EffectOnFire);
    EXPECT_EQ(t2.BehaviorName, "Fan");
    EXPECT_EQ(t2.Name, "spikes");
    EXPECT_FLOAT_EQ(InvaderField::B(tower2).MaxHP, 321.0f);
    EXPECT_EQ(InvaderField::B(tower2).numLevels, 3);
    for (Cog* cog : {invader, trap, tower, invader2, trap2, tower2})
        sim.Cogs().Destroy(cog);
    sim.Step();
    EXPECT_EQ(sim.Data().mLiveInvaders, 0) << "never attached, never counted";
    EXPECT_TRUE(sim.Data().mInvaders.empty());
}

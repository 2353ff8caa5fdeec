#include <gtest/gtest.h>

#include "LOOM/engine/CoreEngine.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
constexpr Color kRed{1, 0, 0, 1};
constexpr Color kOrange{1, 0.4f, 0, 1};
constexpr Color kGreen{0, 1, 0, 1};

bool Same(const Color& a, const Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

float Now(GameSim& sim) { return static_cast<float>(sim.Engine().GetGameClock().GetTime()); }

// A trap in the open and a grunt standing in it that ignores everything.
struct TrapScene
{
    GameSim sim;
    InvaderField field{sim};
    RecordingSeam seam;
    Cog* grunt = nullptr;
    Cog* trap = nullptr;

    // The grunt comes first, so it runs its frame before the trap's: a fatal hit leaves it
    // readable until the next frame.
    explicit TrapScene(bool withGrunt = true)
    {
        if (withGrunt)
        {
            grunt = field.Invader("grunt", 20, 20);
            InvaderField::K(grunt).mRun.mPathing = FindPathingBehavior("NoPathing");
        }
        trap = field.Trap(20, 20);
        EXPECT_NE(trap, nullptr);
    }
    TrapData& Data() { return InvaderField::T(trap); }
    Color TrapColor() { return seam.mColors[trap->GetID()]; }
};
} // namespace

TEST(TrapData, NewTrapStartsFullAndChargeUseFollowsTheRules)
{
    TrapScene s(false);
    TrapData& t = s.Data();
    EXPECT_FLOAT_EQ(t.curHP, 100.0f);
    EXPECT_FLOAT_EQ(t.GetCharge(), 10.0f);
    t.UseCharge(2.5f);
    EXPECT_FLOAT_EQ(t.GetChargeFraction(), 0.75f);
    EXPECT_FLOAT_EQ(t.GetLastUseTime(), Now(s.sim));
    t.charge = 0.5f;
    t.UseCharge(1.0f);
    EXPECT_FLOAT_EQ(t.GetCharge(), 0.0f);
    t.MaxCharge = 0.0f;
    EXPECT_FLOAT_EQ(t.GetChargeFraction(), 0.0f) << "no division by a zero maximum";
    EXPECT_EQ(FindTrapBehavior("basic"), FindTrapBehavior("Basic"));
}

TEST(TrapData, FiringCycleRunsOnTheClockFromActivation)
{
    TrapScene s;
    TrapData& t = s.Data();
    Kestrane& k = InvaderField::K(s.grunt);
    // The one hit is fatal, so the invader keeps its record.
    k.mCurHP = t.EffectMagnitude;
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapActivating; }, 120));
    const float activated = t.stateTime;
    EXPECT_TRUE(Same(s.TrapColor(), kRed));
    EXPECT_EQ(s.seam.Played(s.trap->GetID()).front(), "Activate");

    // Orange on the first frame past the activating time, the hit on the frame after.
    while (Now(s.sim) <= activated + t.ActivatingTime + 1e-6f)
    {
        EXPECT_FALSE(Same(s.TrapColor(), kOrange));
        s.sim.Step();
    }
    EXPECT_TRUE(Same(s.TrapColor(), kOrange));
    EXPECT_EQ(t.state, TrapFiring);
    EXPECT_GT(k.mCurHP, 0.0f);
    s.sim.Step();
    EXPECT_FLOAT_EQ(k.mCurHP, 0.0f);
    EXPECT_EQ(k.mRun.mFatalDamage.mType, 2);
    EXPECT_EQ(k.mRun.mFatalDamage.mFirst, static_cast<int32_t>(s.trap->GetID()));
    EXPECT_EQ(t.state, TrapResetting);
    EXPECT_NEAR(t.GetCharge(), 9.0f, 0.01f);

    while (Now(s.sim) <= activated + t.ResetingTime + 1e-6f)
    {
        EXPECT_FALSE(Same(s.TrapColor(), kGreen));
        s.sim.Step();
    }
    EXPECT_TRUE(Same(s.TrapColor(), kGreen));
    EXPECT_EQ(t.state, TrapReady);
}

TEST(TrapData, BelowOneChargeItWaitsForTheRecharge)
{
    TrapScene s;
    TrapData& t = s.Data();
    t.charge = 0.99f;
    t.RechargeRate = 0.0f;
    s.sim.Step(120);
    EXPECT_EQ(t.state, TrapReady) << "0.99 never fires";
    // It recharges only while its idle animation plays.
    t.RechargeRate = 0.6f;
    s.seam.mCurrent[s.trap->GetID()] = "Activate";
    s.sim.Step(120);
    EXPECT_FLOAT_EQ(t.GetCharge(), 0.99f);
    s.seam.mCurrent[s.trap->GetID()] = "Inactive";
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state != TrapReady; }, 10));
    EXPECT_GE(t.GetCharge(), 1.0f);
    EXPECT_LT(t.GetCharge(), 1.0f + 0.6f / 60.0f + 1e-4f) << "it fires in the first frame the charge reaches 1";
}

TEST(TrapData, PausedTrapNeitherRechargesNorFires)
{
    TrapScene s;
    TrapData& t = s.Data();
    t.charge = 5.0f;
    s.sim.Engine().GetGameClock().SetPaused(true);
    s.sim.Step(200);
    EXPECT_EQ(t.state, TrapReady);
    EXPECT_FLOAT_EQ(t.GetCharge(), 5.0f);
    EXPECT_FLOAT_EQ(InvaderField::K(s.grunt).mCurHP, InvaderField::K(s.grunt).mMaxHP);
    s.sim.Engine().GetGameClock().SetPaused(false);
}

TEST(TrapData, DestroyedByDamageOnceAndLostOnlyThen)
{
    TrapScene s(false);
    const uint32_t id = s.trap->GetID();
    const size_t before = s.sim.Cogs().GetGroupCogs("effects").size();
    s.sim.Cogs().DestroyById(id);
    Cog* other = s.field.Trap(30, 30);
    s.sim.Step();
    EXPECT_EQ(s.sim.Cogs().GetCog(id), nullptr);
    EXPECT_TRUE(s.sim.Data().mStats.trapsLost.empty()) << "a removed trap is not a lost one";

    const uint32_t otherId = other->GetID();
    SendDamage(*other, DamageInfo{0, -60.0f, 4});
    SendDamage(*other, DamageInfo{0, -60.0f, 6});
    SendDamage(*other, DamageInfo{0, -60.0f, 7});
    EXPECT_EQ(InvaderField::T(other).fatalDamage.mType, 6) << "the hit that crossed 0";
    s.sim.Step();
    EXPECT_EQ(s.sim.Cogs().GetCog(otherId), nullptr);
    const size_t chunks = s.sim.Cogs().GetGroupCogs("effects").size() - before;
    EXPECT_GE(chunks, 3u);
    EXPECT_LE(chunks, 7u);
    EXPECT_EQ(s.sim.Data().mStats.trapsLost["spikes"], 1);
    EXPECT_TRUE(s.sim.Data().mTraps.empty());
}

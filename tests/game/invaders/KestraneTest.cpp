#include <gtest/gtest.h>

#include "physics/PhysicsComp.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
bool Near(const Color& a, const Color& b)
{
    return std::fabs(a.r - b.r) < 1e-3f && std::fabs(a.g - b.g) < 1e-3f && std::fabs(a.b - b.b) < 1e-3f &&
        std::fabs(a.a - b.a) < 1e-3f;
}

// An invader that stands still: no pathing, so only what a test does to it happens.
Cog* Standing(InvaderField& field, const std::string& kind, int32_t x, int32_t z)
{
    Cog* cog = field.Invader(kind, x, z);
    InvaderField::K(cog).mRun.mPathing = FindPathingBehavior("NoPathing");
    return cog;
}

// A grunt standing alone, its colours and materials recorded.
class StandingGrunt : public ::testing::Test
{
protected:
    GameSim mSim;
    InvaderField mField{mSim};
    RecordingSeam mSeam;
    Cog* mCog = Standing(mField, "grunt", 10, 10);
    Kestrane& mK = InvaderField::K(mCog);
};
} // namespace

TEST_F(StandingGrunt, HitTintFadesBackWithinHalfASecond)
{
    const Color saved(0.2f, 0.4f, 0.6f, 1.0f);
    mSeam.mColors[mCog->GetID()] = saved;
    SendDamage(*mCog, DamageInfo{0, -3.0f, 2});
    EXPECT_FLOAT_EQ(mK.mCurHP, 7.0f);
    EXPECT_TRUE(Near(mSeam.mColors[mCog->GetID()], Color(1.0f, 0.25f, 0.25f, 1.0f)));
    mSim.Step(15);
    EXPECT_TRUE(Near(mSeam.mColors[mCog->GetID()], Color(0.6f, 0.325f, 0.425f, 1.0f))) << "halfway after 0.25 s";
    mSim.Step(16);
    EXPECT_TRUE(Near(mSeam.mColors[mCog->GetID()], saved));
    EXPECT_FALSE(mK.mRun.mDamageTinted);
}

TEST_F(StandingGrunt, FatalRecordIsTheHitThatCrossesZero)
{
    const uint32_t id = mCog->GetID();
    mSeam.mColors[id] = Color(1, 1, 1, 1);
    SendDamage(*mCog, DamageInfo{0, -10.0f, 2});
    SendDamage(*mCog, DamageInfo{0, -5.0f, 1});
    EXPECT_EQ(mK.mRun.mFatalDamage.mType, 2);
    EXPECT_TRUE(Near(mSeam.mColors[id], Color(1, 1, 1, 1))) << "no tint on the killing blow";
    const int32_t kills = mSim.Data().mKills;
    const int32_t points = mSim.Data().mPoints;
    mSim.Step();
    EXPECT_EQ(mSim.Cogs().GetCog(id), nullptr);
    EXPECT_EQ(mSim.Data().mKills, kills + 1);
    EXPECT_EQ(mSim.Data().mStats.trapKills, 1);
    EXPECT_EQ(mSim.Data().mPoints, points + 5);
    EXPECT_EQ(mSim.Data().mLiveInvaders, 0);
    EXPECT_EQ(mSim.Cogs().GetGroupCogs("effects").size(), 1u) << "the death cog";
}

namespace {
struct KillCase
{
    const char* mName;
    const char* mKind;
    int32_t LevelStats::*mCounter; // null: no statistic counts it
    bool mPaid;
};

class KillCauses : public ::testing::TestWithParam<KillCase>
{
};

// Each cause, played out in a small game: the statistics and points that follow.
TEST_P(KillCauses, GiveTheirStatisticsAndPoints)
{
    const KillCase& c = GetParam();
    GameSim sim;
    InvaderField field(sim);
    Cog* tower = field.Tower(20, 40);
    ASSERT_NE(tower, nullptr);
    field.WallLine("wall", 16, 25, 24);
    Cog* cog = field.Invader(c.mKind, 20, 18);
    ASSERT_NE(cog, nullptr);
    Kestrane& k = InvaderField::K(cog);
    const std::string cause = c.mName;
    if (cause == "trap")
        SendDamage(*cog, DamageInfo{0, -20.0f, 2});
    else if (cause == "fall")
    {
        InvaderField::P(cog).SetPosition(field.Centre(20, 18) + Vector3(0, 4, 0));
        InvaderField::P(cog).SetVelocity(Vector3(0, -150.0f, 0));
    }
    else if (cause == "poison")
    {
        const float speed = k.mMoveSpeed;
        k.ChangeEffect(EffectPoisoned, 10.0f);
        EXPECT_FLOAT_EQ(k.mMoveSpeed, speed * 0.33333334f);
    }
    else if (cause == "command")
        sim.Run("KillAllInvaders");
    const int32_t points = sim.Data().mPoints;
    ASSERT_TRUE(sim.StepUntil([&] { return sim.Data().mLiveInvaders == 0; }, 20 * 60)) << cause;
    const LevelStats& stats = sim.Data().mStats;
    EXPECT_EQ(sim.Data().mKills, 1);
    EXPECT_TRUE(sim.Data().mInvaders.empty()) << "still on the live list";
    const int32_t counted =
        stats.trapKills + stats.physicsKills + stats.statusKills + stats.suicides + stats.explosionKills;
    EXPECT_EQ(counted, c.mCounter ? 1 : 0);
    if (c.mCounter)
    {
        EXPECT_EQ(stats.*(c.mCounter), 1);
    }
    EXPECT_EQ(sim.Data().mPoints - points, c.mPaid ? 7 : 0) << "points, as the kill pays";
    EXPECT_EQ(stats.killsByInvader.count(c.mKind), c.mPaid ? 1u : 0u);
    if (cause == "kamikaze")
    {
        EXPECT_EQ(sim.Cogs().GetGroupCogs("effects").size(), 2u) << "its explosion and its death cog";
    }
}

INSTANTIATE_TEST_SUITE_P(Causes, KillCauses,
                         ::testing::Values(KillCase{"trap", "kamikaze", &LevelStats::trapKills, true},
                                           KillCase{"fall", "kamikaze", &LevelStats::physicsKills, true},
                                           KillCase{"poison", "kamikaze", &LevelStats::statusKills, true},
                                           KillCase{"kamikaze", "kamikaze", &LevelStats::suicides, false},
                                           KillCase{"command", "kamikaze", nullptr, false}),
                         [](const ::testing::TestParamInfo<KillCase>& info) { return std::string(info.param.mName); });
} // namespace

TEST(Kestrane, ReloadingWithLiveInvadersKeepsTheCounters)
{
    GameSim sim;
    InvaderField field(sim);
    std::vector<uint32_t> old;
    old.reserve(5);
    for (int32_t i = 0; i < 5; ++i)
        old.push_back(Standing(field, "grunt", 10 + 2 * i, 10)->GetID());
    ASSERT_EQ(sim.Data().mLiveInvaders, 5);
    SendDamage(*sim.Cogs().GetCog(old[0]), DamageInfo{0, -50.0f, 2});
    // A new level starts while they live; the old level's invaders then go.
    sim.Data().ResetLevel();
    Cog* fresh = Standing(field, "grunt", 40, 40);
    for (uint32_t id : old)
        sim.Cogs().DestroyById(id);
    sim.Step();
    EXPECT_EQ(sim.Data().mKills, 0) << "an old level's death is no kill of this one";
    EXPECT_EQ(sim.Data().mLiveInvaders, 1);
    // Removal without death is no kill either.
    sim.Cogs().DestroyById(fresh->GetID());
    sim.Step();
    EXPECT_EQ(sim.Data().mKills, 0);
    EXPECT_EQ(sim.Data().mLiveInvaders, 0);
    EXPECT_TRUE(sim.Data().mInvaders.empty());
}

TEST_F(StandingGrunt, PoisonRunsItsCourseAndIsUndone)
{
    mK.mCurHP = 100.0f;
    const float speed = mK.mMoveSpeed;
    mK.ChangeEffect(EffectPoisoned, 4.0f);
    EXPECT_EQ(mSeam.Calls(mCog->GetID(), "Material").back(), "Materials\\DumbMat.xml");
    const uint32_t effectCog = mK.mRun.mEffectCogId;
    ASSERT_NE(mSim.Cogs().GetCog(effectCog), nullptr);
    // Permanent effects and the same effect again change nothing.
    mK.ChangeEffect(EffectPoisoned, 99.0f);
    EXPECT_FLOAT_EQ(mK.mRun.mEffectDuration, 4.0f);
    mK.mPermanentStatusEffect = true;
    mK.ChangeEffect(EffectOnFire, 1.0f);
    EXPECT_EQ(mK.GetStatusEffect(), EffectPoisoned);
    mK.mPermanentStatusEffect = false;

    mSim.Step(60);
    EXPECT_NEAR(mK.mCurHP, 88.0f, 0.5f) << "12 a second";
    mSim.Step(4 * 60);
    EXPECT_EQ(mK.GetStatusEffect(), EffectNone);
    EXPECT_FLOAT_EQ(mK.mMoveSpeed, speed);
    EXPECT_EQ(mSeam.Calls(mCog->GetID(), "Material").back(), "Materials\\gruntMat.xml");
    EXPECT_EQ(mSim.Cogs().GetCog(effectCog), nullptr);
    EXPECT_NEAR(mK.mCurHP, 52.0f, 0.5f);
}

TEST(Kestrane, MetalIgnoresCollisionsAndFireSpreads)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* metal = field.Invader("grunt", 10, 10);
    Kestrane& m = InvaderField::K(metal);
    PhysicsComp& body = *m.Physics();
    const float mass = body.GetMass();
    m.ChangeEffect(EffectMetallic, 30.0f);
    EXPECT_FLOAT_EQ(body.GetMass(), mass * 5.0f);
    InvaderField::P(metal).SetVelocity(Vector3(0, -150.0f, 0));
    sim.Step(5);
    EXPECT_FLOAT_EQ(m.mCurHP, m.mMaxHP) << "no fall damage";
    EXPECT_GT(m.mRun.mLastGroundContact, 0.0f) << "the ground contact still counts";
    m.ChangeEffect(EffectNone, 0.0f);
    EXPECT_FLOAT_EQ(body.GetMass(), mass);

    Cog* burning = Standing(field, "grunt", 30, 10);
    Cog* next = Standing(field, "grunt", 30, 10);
    InvaderField::P(next).SetPosition(InvaderField::P(burning).GetPosition() + Vector3(1.5f, 0, 0));
    InvaderField::K(burning).mCurHP = 1000.0f;
    InvaderField::K(next).mCurHP = 1000.0f;
    InvaderField::K(burning).ChangeEffect(EffectOnFire, 7.0f);
    sim.Step(10);
    EXPECT_EQ(InvaderField::K(next).GetStatusEffect(), EffectOnFire);
    EXPECT_FLOAT_EQ(InvaderField::K(next).mRun.mEffectDuration, 7.0f);
}

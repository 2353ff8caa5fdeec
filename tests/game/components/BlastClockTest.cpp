#include <gtest/gtest.h>

#include "tests/game/components/GameTestSeam.h"

namespace {
template <typename T>
T& BlastPart(Cog* cog)
{
    T* comp = cog ? cog->Get<T>() : nullptr;
    EXPECT_NE(comp, nullptr);
    return *comp;
}

// A grunt that stands still and takes many blasts.
Kestrane& StandingGrunt(InvaderField& field, int32_t x, int32_t z)
{
    Kestrane& k = InvaderField::K(field.Invader("grunt", x, z));
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    k.mCurHP = k.mMaxHP = 1000.0f;
    return k;
}
} // namespace

// A bomb whose fuse runs out in a frame of 2.5 s makes its blast in that frame; the blast's
// life is counted from its birth, so it lives past its delay and hits the grunt beside it once.
TEST(BlastClock, ABlastBornInALongFrameHitsOnce)
{
    const struct
    {
        const char* blast;
        float damage;
    } blasts[] = {
        {"Explosion", 100.0f}, {"BomberExplosion", 150.0f}, {"KamikazeExplosion", 60.0f}, {"MissileExplosion", 80.0f}};
    for (const auto& b : blasts)
    {
        SCOPED_TRACE(b.blast);
        GameSim sim;
        InvaderField field(sim);
        Kestrane& k = StandingGrunt(field, 20, 20);
        Cog* bomb = CreateAt(sim.Cogs(), "bomb", field.Centre(21, 20) + Vector3(0, 1, 0));
        ASSERT_NE(bomb, nullptr);
        BlastPart<BombComp>(bomb).ObjectToGenerate = b.blast;
        BlastPart<BombComp>(bomb).ExplodeTime = 0.5f;
        sim.Step(3);

        sim.SetStep(2.5);
        sim.Step();
        sim.SetStep(GameSim::kStep);
        ASSERT_EQ(CountWith(sim, "effects", RegionExplosionDamage::kTypeId), 1u) << "the blast outlived its frame";
        ASSERT_TRUE(sim.StepUntil([&] { return CountWith(sim, "effects", RegionExplosionDamage::kTypeId) == 0; }, 300))
            << "and ends after its life";
        sim.Step(5);
        EXPECT_FLOAT_EQ(k.mCurHP, 1000.0f - b.damage);
    }
}

// A blast removed before its delay has passed deals its damage as it goes, once; a continuous
// one deals none. Its life here is shorter than its delay.
TEST(BlastClock, AOneShotBlastRemovedBeforeItsDelayFiresOnce)
{
    for (bool continuous : {false, true})
    {
        SCOPED_TRACE(continuous ? "continuous" : "one shot");
        GameSim sim;
        InvaderField field(sim);
        Kestrane& k = StandingGrunt(field, 20, 20);
        sim.Step(3);
        Cog* blast = CreateAt(sim.Cogs(), "Explosion", field.Centre(20, 20));
        ASSERT_NE(blast, nullptr);
        const uint32_t id = blast->GetID();
        BlastPart<RegionExplosionDamage>(blast).ContinuousDamage = continuous;
        BlastPart<TimedDeathComp>(blast).SecsTilDeath = 0.5f;
        BlastPart<TimedDeathComp>(blast).ResetDeathTime();
        const float born = SimNow(sim);
        ASSERT_TRUE(sim.StepUntil([&] { return sim.Cogs().GetCog(id) == nullptr; }, 120));
        EXPECT_LT(SimNow(sim) - born, 1.0f) << "gone before its delay";
        sim.Step(90);
        EXPECT_FLOAT_EQ(k.mCurHP, continuous ? 1000.0f : 900.0f);
    }
}

#include <gtest/gtest.h>

#include "game/level/Wall.h"
#include "game/logic/PhraseBank.h"
#include "tests/game/components/GameTestSeam.h"

namespace {
template <typename T>
T& C(Cog* cog)
{
    T* comp = cog ? cog->Get<T>() : nullptr;
    EXPECT_NE(comp, nullptr);
    return *comp;
}

void Send(Cog& cog, const std::string& name, ParamBuffer& params) { cog.CallFunction(name, params); }

bool Gone(GameSim& sim, uint32_t id) { return sim.Cogs().GetCog(id) == nullptr; }
} // namespace

TEST(GameComponents, RegisteredUnderTheirIdsAndNames)
{
    GameSim sim;
    const struct
    {
        uint32_t mId;
        const char* mName;
    } types[] = {{125, "TimedDeathComp"}, {126, "FollowerComp"}, {123, "RegionExplosionDamage"},
                 {127, "PhraseComp"},     {128, "StatusRegion"}, {129, "BombComp"},
                 {131, "Damagable"}};
    for (const auto& type : types)
    {
        CompFactory* factory = sim.Cogs().Types().GetComponentFactory(type.mId);
        ASSERT_NE(factory, nullptr) << type.mName;
        std::unique_ptr<Comp> comp(factory->Create());
        EXPECT_EQ(comp->GetTypeName(), type.mName);
        EXPECT_EQ(comp->GetTypeId(), type.mId);
    }
    EXPECT_EQ(sim.Logic().mPhraseBank->BubbleCount(), 0u) << "a phrase component that was never attached is no bubble";
}

TEST(GameComponents, TimedDeathCountsGameTimeAndObeysPauseAndReset)
{
    GameSim sim;
    Cog* dust = sim.Cogs().Create("DustExplosion");
    ASSERT_NE(dust, nullptr);
    const uint32_t id = dust->GetID();
    TimedDeathComp& timer = C<TimedDeathComp>(dust);
    timer.SecsTilDeath = 2.0f;
    timer.ResetDeathTime();
    const float start = SimNow(sim);

    // Paused game clock: nothing runs down.
    sim.Engine().GetGameClock().SetPaused(true);
    sim.Step(300);
    EXPECT_FALSE(Gone(sim, id));
    sim.Engine().GetGameClock().SetPaused(false);

    ParamBuffer pause;
    pause.PushBool(true);
    Send(*dust, "Pause", pause);
    sim.Step(200);
    EXPECT_FLOAT_EQ(timer.remaining, 2.0f) << "the countdown held";
    ParamBuffer none;
    Send(*dust, "ResetDeathTime", none);
    ParamBuffer resume;
    resume.PushBool(false);
    Send(*dust, "Pause", resume);

    const float from = SimNow(sim);
    ASSERT_TRUE(sim.StepUntil([&] { return Gone(sim, id); }, 400));
    const float lived = SimNow(sim) - from;
    EXPECT_GT(lived, 2.0f);
    EXPECT_LE(lived, 2.0f + 2.5f * static_cast<float>(GameSim::kStep));
    EXPECT_GT(from, start);
}

TEST(GameComponents, FollowerRidesItsTargetAndGoesWithIt)
{
    for (bool destroyWhenGone : {true, false})
    {
        GameSim sim;
        Cog* target = CreateAt(sim.Cogs(), "rock", Vector3(10, 0, 10));
        Cog* rider = sim.Cogs().Create("Parachute");
        ASSERT_TRUE(target && rider);
        FollowerComp& follow = C<FollowerComp>(rider);
        follow.offsetPosition = Vector3(0, 0, -2);
        follow.DestroyWhenNoFollow = destroyWhenGone;
        ParamBuffer params;
        params.PushInt(static_cast<int32_t>(target->GetID()));
        Send(*rider, "SetFollowedObj", params);
        EXPECT_EQ(follow.followedObjID, target->GetID());

        // A quarter turn about y: the forward offset swings onto the x axis.
        PosOf(target)->SetOrientation(Quat::FromAxisAngle(Vector3(0, 1, 0), 1.5707964f));
        PosOf(target)->SetVelocity(Vector3(1, 0, 0));
        sim.Step();
        Vector3 offset(0, 0, -2);
        PosOf(target)->GetOrientation().RotateVector(offset);
        const Vector3 expected = PosOf(target)->GetPosition() + offset;
        EXPECT_NEAR(PosOf(rider)->GetPosition().x, expected.x, 1e-3f);
        EXPECT_NEAR(PosOf(rider)->GetPosition().z, expected.z, 1e-3f);
        EXPECT_NEAR(std::fabs(offset.x), 2.0f, 1e-3f);
        EXPECT_EQ(PosOf(rider)->GetOrientation(), PosOf(target)->GetOrientation());

        const uint32_t riderId = rider->GetID();
        const Vector3 last = PosOf(rider)->GetPosition();
        sim.Cogs().Destroy(target);
        sim.Step(2);
        EXPECT_EQ(Gone(sim, riderId), destroyWhenGone);
        if (!destroyWhenGone)
        {
            EXPECT_NEAR((PosOf(sim.Cogs().GetCog(riderId))->GetPosition() - last).Length(), 0.0f, 0.5f);
        }
    }
}

TEST(GameComponents, DamagableSurvivesExactlyZeroAndDiesBelow)
{
    GameSim sim;
    Cog* rock = CreateAt(sim.Cogs(), "rock", Vector3(5, 0, 5));
    ASSERT_NE(rock, nullptr);
    Damagable& hp = C<Damagable>(rock);
    hp.MaxHP = 10.0f;
    hp.Initialize();
    SendDamage(*rock, DamageInfo{0, -10.0f, 2});
    sim.Step();
    ASSERT_NE(sim.Cogs().GetCog(rock->GetID()), nullptr);
    EXPECT_FLOAT_EQ(hp.HP, 0.0f);
    const uint32_t id = rock->GetID();
    SendDamage(*rock, DamageInfo{0, -0.01f, 2});
    sim.Step();
    EXPECT_TRUE(Gone(sim, id));
}

TEST(GameComponents, StatusRegionHandsOutPastAnEmptyCountThenGoes)
{
    const struct
    {
        int32_t mUses;
        bool mKill;
        int32_t mUsesLeft; // -1: the cog is gone
    } cases[] = {{1, true, -1}, {0, false, 0}, {5, true, 2}, {10, false, 7}};
    for (const auto& c : cases)
    {
        GameSim sim;
        InvaderField field(sim);
        std::vector<Cog*> grunts;
        for (int32_t i = 0; i < 3; ++i)
        {
            grunts.push_back(field.Invader("grunt", 20 + i, 20));
            InvaderField::K(grunts.back()).mRun.mPathing = FindPathingBehavior("NoPathing");
        }
        sim.Step(3);
        Cog* mist = CreateAt(sim.Cogs(), "MobilePoisonMist", field.Centre(21, 20) + Vector3(0, 1, 0));
        ASSERT_NE(mist, nullptr);
        PhysicsComp* physics = mist ? mist->Get<PhysicsComp>() : nullptr;
        physics->mUseGravity = false;
        StatusRegion& region = C<StatusRegion>(mist);
        region.MaxUses = c.mUses;
        region.KillAfterUses = c.mKill;
        const uint32_t id = mist->GetID();
        ASSERT_TRUE(sim.StepUntil([&] { return InvaderField::K(grunts[2]).GetStatusEffect() == EffectPoisoned; }, 10));
        for (Cog* grunt : grunts)
            EXPECT_EQ(InvaderField::K(grunt).GetStatusEffect(), EffectPoisoned) << c.mUses;
        sim.Step();
        if (c.mUsesLeft < 0)
        {
            EXPECT_TRUE(Gone(sim, id));
        }
        else
        {
            EXPECT_EQ(region.MaxUses, c.mUsesLeft) << "an invader that has the effect costs nothing";
        }
    }
}

TEST(Explosion, DamagesInvadersAndWallsOnceAfterItsDelay)
{
    GameSim sim;
    InvaderField field(sim);
    KindSeam seam;
    Cog* grunt = field.Invader("grunt", 20, 20);
    Kestrane& k = InvaderField::K(grunt);
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    k.mCurHP = k.mMaxHP = 1000.0f;
    Cog* block = CreateAt(sim.Cogs(), "wall", field.Centre(21, 20));
    ASSERT_NE(block, nullptr);
    Wall& w = C<Wall>(block);
    w.CurHP = 1000.0f;
    Cog* rock = CreateAt(sim.Cogs(), "rock", field.Centre(20, 21));
    sim.Step(3);
    seam.mHeightMap = true;

    Cog* blast = CreateAt(sim.Cogs(), "Explosion", field.Centre(20, 20));
    ASSERT_NE(blast, nullptr);
    const float start = SimNow(sim);
    float hitAt = -1.0f;
    for (int i = 0; i < 120 && hitAt < 0.0f; ++i)
    {
        sim.Step();
        if (k.mCurHP < 1000.0f)
            hitAt = SimNow(sim);
        else
            EXPECT_FLOAT_EQ(w.CurHP, 1000.0f);
    }
    ASSERT_GT(hitAt, 0.0f);
    EXPECT_GT(hitAt - start, 1.0f);
    EXPECT_LE(hitAt - start, 1.0f + 2.5f * static_cast<float>(GameSim::kStep));
    sim.Step(30);
    EXPECT_FLOAT_EQ(k.mCurHP, 900.0f);
    EXPECT_FLOAT_EQ(w.CurHP, 900.0f);
    EXPECT_FLOAT_EQ(C<Damagable>(rock).HP, C<Damagable>(rock).MaxHP) << "not of the damageable types";
    ASSERT_EQ(seam.mDecals.size(), 1u);
    EXPECT_EQ(seam.mDecals[0].mKind, 1) << "radius 15 is not above 15";
    ASSERT_EQ(seam.mDents.size(), 1u);
    EXPECT_FLOAT_EQ(seam.mDents[0].mSize, 5.0f + 2.5f * 15.0f);
}

TEST(Explosion, DropOffContinuousDamageAndDecalSizes)
{
    GameSim sim;
    KindSeam seam;
    seam.mHeightMap = true;
    Cog* near = CreateAt(sim.Cogs(), "rock", Vector3(4, 0, 0));
    Cog* far = CreateAt(sim.Cogs(), "rock", Vector3(12, 0, 0));
    for (Cog* rock : {near, far})
    {
        C<Damagable>(rock).HP = 1000.0f;
        C<Damagable>(rock).MaxHP = 1000.0f;
    }
    Cog* blast = CreateAt(sim.Cogs(), "Explosion", Vector3(0, 0, 0));
    RegionExplosionDamage& boom = C<RegionExplosionDamage>(blast);
    boom.damagableTypes = {131};
    boom.DropoffRate = 10.0f;
    C<RegionComp>(blast).GetLocalSphere().radius = 20.0f;
    sim.Step();
    sim.Step(); // the region's contacts are filled
    boom.lastDentTime = -10.0f;
    boom.ApplyDamage();
    EXPECT_FLOAT_EQ(C<Damagable>(near).HP, 940.0f);
    EXPECT_FLOAT_EQ(C<Damagable>(far).HP, 1000.0f) << "the drop-off never heals";
    ASSERT_FALSE(seam.mDecals.empty());
    EXPECT_EQ(seam.mDecals.back().mKind, 0);
    EXPECT_FLOAT_EQ(seam.mDecals.back().mLife, 120.0f);

    // Continuous: the amount per second times the frame time, every frame after the delay.
    boom.DropoffRate = 0.0f;
    boom.ContinuousDamage = true;
    boom.fired = false;
    boom.DamageStartTime = 0.0f;
    boom.ResetStartTime();
    boom.DamageAmount = 60.0f;
    C<Damagable>(near).HP = 1000.0f;
    sim.Step(); // passes the delay: nothing yet
    EXPECT_FLOAT_EQ(C<Damagable>(near).HP, 1000.0f);
    sim.Step(3);
    EXPECT_NEAR(C<Damagable>(near).HP, 1000.0f - 3.0f * 60.0f * static_cast<float>(GameSim::kStep), 1e-3f);

    // A small region leaves the small decal.
    C<RegionComp>(blast).GetLocalSphere().radius = 10.0f;
    sim.Step();
    boom.lastDentTime = -10.0f;
    boom.ApplyDamage();
    EXPECT_EQ(seam.mDecals.back().mKind, 1);
    EXPECT_FLOAT_EQ(seam.mDecals.back().mLife, 60.0f);
}

TEST(Explosion, KillsCountAsExplosionKills)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* grunt = field.Invader("grunt", 20, 20);
    InvaderField::K(grunt).mRun.mPathing = FindPathingBehavior("NoPathing");
    sim.Step(3);
    const int32_t before = sim.Data().mStats.explosionKills;
    CreateAt(sim.Cogs(), "Explosion", field.Centre(20, 20));
    const uint32_t id = grunt->GetID();
    ASSERT_TRUE(sim.StepUntil([&] { return Gone(sim, id); }, 200));
    EXPECT_EQ(sim.Data().mStats.explosionKills, before + 1);
}

TEST(Bomb, AWallIsKilledByItsOwnHandlerAndTheBombExplodesOnce)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* block = CreateAt(sim.Cogs(), "wall", field.Centre(30, 30));
    Cog* tower = field.Tower(40, 40);
    Cog* bomb = CreateAt(sim.Cogs(), "bomb", field.Centre(30, 30) + Vector3(0, 30, 0));
    ASSERT_TRUE(block && tower && bomb);
    BombComp& b = C<BombComp>(bomb);

    // The tower makes no bomb go off.
    b.CollideObj(static_cast<int32_t>(tower->GetID()), CollisionData{});
    EXPECT_FALSE(sim.Cogs().IsQueued(bomb));

    // A hit and the timer in the same frame: one explosion.
    b.ExplodeTime = 0.001f;
    b.CollideObj(static_cast<int32_t>(block->GetID()), CollisionData{});
    EXPECT_FLOAT_EQ(C<Wall>(block).CurHP <= -99000.0f, true);
    const uint32_t wallId = block->GetID();
    sim.Step();
    EXPECT_EQ(CountWith(sim, "effects", RegionExplosionDamage::kTypeId), 1u);
    sim.Step(2);
    EXPECT_TRUE(Gone(sim, wallId));
    EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);

    // A bomb on the tower's tiles leaves the tower standing.
    Cog* second = CreateAt(sim.Cogs(), "bomb", PosOf(tower)->GetPosition() + Vector3(0, 20, 0));
    C<BombComp>(second).Explode();
    sim.Step(2);
    EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
    EXPECT_EQ(CountWith(sim, "effects", RegionExplosionDamage::kTypeId), 2u);
}

TEST(Doodad, LevelRoundTripKeepsItBySpawnName)
{
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(10, 10);
    Cog* rock = CreateAt(sim.Cogs(), "rock", Vector3(53, 0, 54));
    ASSERT_NE(rock, nullptr);
    map.SaveLevelFile("Levels/Rocks");
    sim.Cogs().Destroy(rock);
    sim.Step();
    ASSERT_TRUE(sim.Cogs().GetGroupCogs("doodads").empty());
    map.LoadLevelFile("Levels/Rocks.bin");
    std::vector<Cog*> rocks = sim.Cogs().GetGroupCogs("doodads");
    ASSERT_EQ(rocks.size(), 1u);
    EXPECT_EQ(C<Damagable>(rocks[0]).spawnName, "rock");
    EXPECT_EQ(PosOf(rocks[0])->GetPosition().x, 53.0f);
    EXPECT_EQ(PosOf(rocks[0])->GetPosition().z, 54.0f);
}

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "game/level/TileComp.h"
#include "game/traps/TrapKinds.h"
#include "physics/CollisionComp.h"
#include "tests/game/components/GameTestSeam.h"

namespace {
// A field with a seam, a tower far away and helpers to place traps of any kind.
struct KindScene
{
    GameSim sim;
    InvaderField field{sim};
    KindSeam seam;

    // A trap of the archetype with its strategy swapped before it is placed.
    Cog* Trap(const std::string& archetype, const std::string& behaviour, int32_t x, int32_t z,
              Vector3 facing = Vector3(0, 0, -1))
    {
        Cog* cog = sim.Cogs().Allocate(archetype);
        EXPECT_NE(cog, nullptr);
        if (!behaviour.empty())
            InvaderField::T(cog).BehaviorName = behaviour;
        PosOf(cog)->SetOrientation(Quat::FromDirection(facing));
        PosOf(cog)->SetPosition(field.Map().TileToWorldAligned(x, z, 2, 2));
        cog->Initialize();
        return cog;
    }
    Cog* Grunt(int32_t x, int32_t z, float hp = 1000.0f)
    {
        Cog* cog = field.Invader("grunt", x, z);
        Kestrane& k = InvaderField::K(cog);
        k.mRun.mPathing = FindPathingBehavior("NoPathing");
        k.mCurHP = k.mMaxHP = hp;
        return cog;
    }
    bool Gone(uint32_t id) { return sim.Cogs().GetCog(id) == nullptr; }
};
} // namespace

TEST(TrapKinds, RegistryHoldsEveryKindAndUnknownNamesFallBack)
{
    BehaviorRegistry& registry = BehaviorRegistry::Instance();
    const char* names[] = {"Fan",       "Axe",     "Pit",        "Hammer",    "Spring",
                           "Satellite", "Missile", "PoisonMist", "BugZapper", "LaserTurret",
                           "LightBulb", "Flame",   "Vortex",     "Basic",     "StatusEffect"};
    std::set<TrapBehavior*> distinct;
    for (const char* name : names)
    {
        ASSERT_EQ(registry.mTrapBehaviors.count(name), 1u) << name;
        distinct.insert(registry.mTrapBehaviors.at(name));
    }
    EXPECT_EQ(distinct.size(), 15u);
    EXPECT_EQ(registry.mTrapBehaviors.size(), 15u);
    EXPECT_EQ(FindTrapBehavior("vortex"), FindTrapBehavior("Basic"));
}

TEST(TrapKinds, HammerFiresItsThreeUsesThenDestroysItself)
{
    KindScene s;
    Cog* grunt = s.Grunt(20, 20);
    Cog* trap = s.Trap("hammer", "", 20, 20);
    const uint32_t id = trap->GetID();
    Kestrane& k = InvaderField::K(grunt);
    int32_t fatalKind = -1;
    ASSERT_TRUE(s.sim.StepUntil(
        [&] {
            if (Cog* live = s.sim.Cogs().GetCog(id))
                if (InvaderField::T(live).curHP <= 0.0f)
                    fatalKind = InvaderField::T(live).fatalDamage.mType;
            return s.Gone(id);
        },
        60 * 20));
    EXPECT_FLOAT_EQ(k.mCurHP, 1000.0f - 3.0f * 10.0f) << "three blows, no recharge";
    EXPECT_EQ(fatalKind, 5);
    EXPECT_EQ(s.sim.Data().mStats.trapsLost["hammer"], 1);
    bool counted = false;
    for (const RecordingSeam::Call& call : s.seam.mCalls)
        counted |= call.mCog == id && call.mWhat == "Number" && call.mName == "2";
    EXPECT_TRUE(counted) << "the uses counter shows the charge left";
}

// The axe adds to the common cycle through its hooks: its swing slows with the charge left, and
// once ready again it keeps its pose where every other trap starts its idle animation over.
TEST(TrapKinds, AxeSlowsWithItsChargeAndKeepsItsPoseWhenReady)
{
    for (const std::string kind : {"Basic", "Axe"})
    {
        KindScene s;
        s.Grunt(20, 20);
        Cog* trap = s.Trap("hammer", kind, 20, 20);
        const uint32_t id = trap->GetID();
        bool fired = false;
        ASSERT_TRUE(s.sim.StepUntil(
            [&] {
                const TrapData& t = InvaderField::T(trap);
                fired |= t.state == TrapResetting;
                return fired && t.state == TrapReady;
            },
            60 * 20))
            << kind;
        const bool axe = kind == "Axe";
        EXPECT_EQ(s.seam.Calls(id, "PlayIndex").size(), axe ? 0u : 1u) << kind;
        const std::vector<float>& rates = s.seam.mRates[id];
        ASSERT_EQ(rates.size(), axe ? 1u : 0u) << kind;
        // Half speed when empty, full when charged: the blow just spent a charge.
        if (axe)
        {
            EXPECT_GE(rates[0], 0.5f);
            EXPECT_LT(rates[0], 1.0f);
        }
    }
}

TEST(TrapKinds, MissileFiresOnceAndLeavesItsExplosion)
{
    KindScene s;
    s.Grunt(20, 20);
    Cog* trap = s.Trap("spikes", "Missile", 20, 20);
    const uint32_t id = trap->GetID();
    ASSERT_TRUE(s.sim.StepUntil([&] { return s.Gone(id); }, 120));
    size_t blasts = 0;
    for (Cog* cog : s.sim.Cogs().GetGroupCogs("effects"))
        blasts += cog && cog->Get<RegionExplosionDamage>();
    EXPECT_EQ(blasts, 1u);
}

TEST(TrapKinds, SpringFacesAwayFromTheTowerAndThrowsThatWay)
{
    KindScene s;
    Cog* tower = s.field.Tower(10, 20);
    ASSERT_NE(tower, nullptr);
    Cog* grunt = s.Grunt(30, 20);
    Cog* trap = s.Trap("spring", "", 30, 20);
    const Vector3 forward = PosOf(trap)->GetOrientation().GetForward();
    EXPECT_NEAR(forward.x, 1.0f, 1e-4f);
    EXPECT_NEAR(forward.z, 0.0f, 1e-4f);
    InvaderField::T(trap).EffectMagnitude = 40.0f;
    // The throw adds to whatever the invader was doing: compare with the frame before.
    Vector3 before;
    for (int i = 0; i < 60 && InvaderField::T(trap).state != TrapActivating; ++i)
    {
        before = PosOf(grunt)->GetVelocity();
        s.sim.Step();
    }
    ASSERT_EQ(InvaderField::T(trap).state, TrapActivating);
    EXPECT_EQ(InvaderField::K(grunt).GetState(), StateAirborne);
    const Vector3 v = PosOf(grunt)->GetVelocity() - before;
    EXPECT_GT(v.y, 30.0f);
    EXPECT_GT(v.x, 3.0f) << "thrown away from the tower";

    // Standing on the tower itself, it faces +z.
    PosOf(trap)->SetPosition(PosOf(tower)->GetPosition());
    FindTrapBehavior("Spring")->OnPlaced(InvaderField::T(trap));
    const Vector3 f = PosOf(trap)->GetOrientation().GetForward();
    EXPECT_NEAR(f.z, 1.0f, 1e-4f);
}

TEST(TrapKinds, FanBlowsForFreeInTheOpenAndItsBoxStopsAtTheFirstBlockedTile)
{
    // Tiles ahead that are blocked (0 = none) -> the box's depth in tiles and particle life.
    const struct
    {
        int32_t mBlocked;
        Vector3 mFacing;
        float mDepth;
        const char* mLife;
    } cases[] = {{0, Vector3(1, 0, 0), 5, "0.500000"},
                 {2, Vector3(1, 0, 0), 1, "0.100000"},
                 {1, Vector3(-1, 0, 0), 0, "0.000000"},
                 {3, Vector3(0, 0, 1), 2, "0.200000"},
                 {0, Vector3(0, 0, -1), 5, "0.500000"}}; // its own tiles lie ahead: they do not block
    for (const auto& c : cases)
    {
        KindScene s;
        Cog* fan = s.Trap("fan", "", 20, 20, c.mFacing);
        TileComp& tiles = *fan->Get<TileComp>();
        ASSERT_TRUE(tiles.IsPlaced());
        if (c.mBlocked > 0)
        {
            const bool alongX = c.mFacing.x != 0.0f;
            const int32_t sign = (alongX ? c.mFacing.x : c.mFacing.z) > 0 ? 1 : -1;
            const int32_t edge =
                alongX ? (sign > 0 ? tiles.tileX + 1 : tiles.tileX) : (sign > 0 ? tiles.tileZ + 1 : tiles.tileZ);
            const int32_t ahead = edge + sign * c.mBlocked;
            const TileIndex centre = tiles.GetCenterTile();
            const Vector3 at = alongX ? s.field.Centre(ahead, centre.second) : s.field.Centre(centre.first, ahead);
            ASSERT_NE(CreateAt(s.sim.Cogs(), "wall", at), nullptr);
        }
        TrapData& t = InvaderField::T(fan);
        ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapFiring; }, 60)) << "full, it starts by itself";
        s.sim.Step(120);
        EXPECT_EQ(t.state, TrapFiring);
        EXPECT_FLOAT_EQ(t.GetCharge(), t.MaxCharge) << "nobody to blow, nothing spent";
        const BoundingBox& box = fan->Get<RegionComp>()->GetLocalBox();
        const float depth = c.mFacing.x != 0.0f ? box.max.x - box.min.x : box.max.z - box.min.z;
        EXPECT_NEAR(depth, c.mDepth * s.field.Map().GetTileScale(), 1e-3f) << c.mBlocked;
        EXPECT_EQ(s.seam.Calls(fan->GetID(), "PartLifeTime").back(), c.mLife);
        // The emitter's offset was turned once, when placed, and stays as placed.
        const std::vector<std::string> emitter = s.seam.Calls(fan->GetID(), "Emitter");
        EXPECT_EQ(std::count(emitter.begin(), emitter.end(), "EPosition"), 1);
        Vector3 offset(0, 0, -2);
        PosOf(fan)->GetOrientation().RotateVector(offset);
        const Vector3 placed = s.seam.mEmitterVectors[{fan->GetID(), 0, "EPosition"}];
        EXPECT_NEAR((placed - offset).Length(), 0.0f, 1e-4f);
    }
}

TEST(TrapKinds, FanDrainsWhileItBlowsAnInvader)
{
    KindScene s;
    Cog* fan = s.Trap("fan", "", 20, 20, Vector3(1, 0, 0));
    TrapData& t = InvaderField::T(fan);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapFiring; }, 60));
    Cog* grunt = s.Grunt(24, 20);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.GetCharge() < t.MaxCharge; }, 60));
    EXPECT_EQ(InvaderField::K(grunt).GetState(), StateAirborne);
}

TEST(TrapKinds, PitHoldsSwallowsAndHurtsOnClosingThenLetsSurvivorsCollide)
{
    KindScene s;
    Cog* grunt = s.Grunt(20, 20);
    Cog* trap = s.Trap("spikes", "Pit", 20, 20);
    TrapData& t = InvaderField::T(trap);
    // Deep enough that the swallowed invader is still inside when the pit closes.
    trap->Get<RegionComp>()->GetLocalBox().min.y = -500.0f;
    CollisionComp& collision = *grunt->Get<CollisionComp>();
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapActivating; }, 60));
    s.sim.Step();
    EXPECT_EQ(InvaderField::K(grunt).GetState(), StateAirborne);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapResetting; }, 60));
    s.sim.Step();
    EXPECT_FALSE(collision.IsActive()) << "it falls through while the pit is open";
    EXPECT_FLOAT_EQ(InvaderField::K(grunt).mCurHP, 1000.0f);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapReady; }, 200));
    EXPECT_FLOAT_EQ(InvaderField::K(grunt).mCurHP, 990.0f);
    EXPECT_TRUE(collision.IsActive()) << "a survivor stands on the ground again";
    EXPECT_LT(t.GetCharge(), t.MaxCharge - 0.5f) << "one charge spent on closing";
}

TEST(TrapKinds, PoisonGivesItsStatusEffect)
{
    KindScene s;
    Cog* grunt = s.Grunt(20, 20);
    Cog* trap = s.Trap("poison", "", 20, 20);
    ASSERT_TRUE(s.sim.StepUntil([&] { return InvaderField::K(grunt).GetStatusEffect() == EffectPoisoned; }, 120));
    EXPECT_EQ(InvaderField::T(trap).state, TrapResetting);
}

TEST(TrapKinds, VortexPullsWhileFedAndClosesWhenEmpty)
{
    KindScene s;
    Cog* grunt = s.Grunt(20, 20);
    Cog* trap = s.Trap("spikes", "Vortex", 20, 20);
    TrapData& t = InvaderField::T(trap);
    const uint32_t sphere = t.attachedCogId;
    ASSERT_NE(s.sim.Cogs().GetCog(sphere), nullptr);
    EXPECT_NEAR(PosOf(s.sim.Cogs().GetCog(sphere))->GetPosition().y, PosOf(trap)->GetPosition().y + 5.0f, 1e-4f);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapFiring; }, 60));
    s.sim.Step();
    const float drained = t.GetCharge();
    EXPECT_LT(drained, t.MaxCharge - 0.9f * static_cast<float>(GameSim::kStep));
    s.sim.Cogs().Destroy(grunt);
    ASSERT_TRUE(s.sim.StepUntil([&] { return t.state == TrapResetting; }, 3)) << "closes in the first empty frame";

    const uint32_t id = trap->GetID();
    t.Damage(DamageInfo{0, -1000.0f, 2});
    s.sim.Step(2);
    EXPECT_TRUE(s.Gone(id));
    EXPECT_TRUE(s.Gone(sphere));
}

TEST(TrapKinds, TwoLaserTurretsEachFireTheirOwnShot)
{
    KindScene s;
    Cog* a = s.Grunt(20, 20);
    Cog* b = s.Grunt(30, 20);
    Cog* first = s.Trap("spikes", "LaserTurret", 20, 20);
    Cog* second = s.Trap("spikes", "LaserTurret", 30, 20);
    ASSERT_TRUE(s.sim.StepUntil([&] { return InvaderField::T(second).state == TrapFiring; }, 120));
    s.sim.Step(3);
    auto shots = [&](Cog* trap) {
        int n = 0;
        for (const EffectSeam::Beam& beam : s.seam.mBeams)
            n += beam.moving > 0.0f && (beam.from - PosOf(trap)->GetPosition()).Length() < 1e-3f;
        return n;
    };
    EXPECT_GE(shots(first), 1);
    EXPECT_GE(shots(second), 1);
    EXPECT_LT(InvaderField::K(a).mCurHP, 1000.0f);
    EXPECT_LT(InvaderField::K(b).mCurHP, 1000.0f);
}

TEST(TrapKinds, SatelliteEarnsOnPlacingAndGoesWhenPointsOrItsAimRunOut)
{
    for (bool dropAim : {false, true})
    {
        KindScene s;
        Cog* cursor = s.field.Make("NinjaSmoke", Vector3(5, 0, 5));
        cursor->SetName("Cursor");
        s.sim.Cogs().RegisterName(*cursor);
        s.sim.Data().mCursorActive = true;
        const int32_t before = s.sim.Data().GetPoints();
        Cog* trap = s.Trap("spikes", "Satellite", 20, 20);
        EXPECT_EQ(s.sim.Data().GetPoints(), before + 50);
        EXPECT_FALSE(PosOf(cursor)->IsVisible());
        EXPECT_FALSE(s.sim.Data().mCursorActive);
        Cog* aim = s.sim.Cogs().FindCogByName("Satellite");
        ASSERT_NE(aim, nullptr);
        s.sim.Step(5);
        TrapData& t = InvaderField::T(trap);
        EXPECT_EQ(t.state, TrapReady) << "no input loom, no button";

        t.state = TrapFiring;
        if (dropAim)
            s.sim.Cogs().Destroy(aim);
        else
        {
            s.sim.Step(60);
            EXPECT_LT(s.sim.Data().GetPoints(), before + 50) << "the beam costs points";
            ASSERT_FALSE(s.seam.mBeams.empty());
            // Out of the sky, straight down onto the ground under the aim.
            const EffectSeam::Beam& beam = s.seam.mBeams.back();
            const Vector3 aimAt = PosOf(aim)->GetPosition();
            EXPECT_NEAR(beam.to.x, aimAt.x, 1e-3f);
            EXPECT_NEAR(beam.to.z, aimAt.z, 1e-3f);
            EXPECT_NEAR(beam.to.y, GroundHeight(aimAt.x, aimAt.z), 1e-3f);
            EXPECT_NEAR(beam.from.x, beam.to.x, 1e-3f);
            EXPECT_NEAR(beam.from.z, beam.to.z, 1e-3f);
            EXPECT_GT(beam.from.y, beam.to.y + 300.0f);
            s.sim.Data().SetPoints(0);
        }
        const uint32_t id = trap->GetID();
        ASSERT_TRUE(s.sim.StepUntil([&] { return s.Gone(id); }, 5));
        EXPECT_TRUE(PosOf(cursor)->IsVisible());
        EXPECT_TRUE(s.sim.Data().mCursorActive);
        s.sim.Step();
        EXPECT_EQ(s.sim.Cogs().FindCogByName("Satellite"), nullptr);
    }
}

TEST(TrapKinds, RotatedBoxFitsItsTurnedCorners)
{
    BoundingBox box{Vector3(-3, -3, -8), Vector3(3, 3, 0)};
    RotateBox(box, Quat::FromDirection(Vector3(1, 0, 0)));
    EXPECT_NEAR(box.min.x, 0.0f, 1e-4f);
    EXPECT_NEAR(box.max.x, 8.0f, 1e-4f);
    EXPECT_NEAR(box.min.z, -3.0f, 1e-4f);
    EXPECT_NEAR(box.max.z, 3.0f, 1e-4f);
}

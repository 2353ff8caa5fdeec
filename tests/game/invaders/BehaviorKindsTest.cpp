#include <gtest/gtest.h>

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/invaders/Pathings.h"
#include "game/level/TileComp.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/LOOM/support/TestComp.h"
#include "tests/game/invaders/InvaderSim.h"

TEST(InvaderKinds, RegistryNamesAndSharedPathings)
{
    BehaviorRegistry& registry = BehaviorRegistry::Instance();
    for (const char* name : {"Jumper", "AntiGrabber", "NoBehavior", "Basic", "Stacker", "Kamikaze", "Ninja", "Spiker",
                             "Psychic", "Squad", "Bomber"})
        EXPECT_EQ(registry.mInvaderBehaviors.count(name), 1u) << name;
    EXPECT_EQ(FindInvaderBehavior("basic"), FindInvaderBehavior("Basic"));
    EXPECT_EQ(FindPathingBehavior("SeekWalls"), FindPathingBehavior("NoPathing"));
    EXPECT_EQ(FindPathingBehavior("FollowGroup"), FindPathingBehavior("NoPathing"));
    EXPECT_EQ(FindPathingBehavior("Miner"), FindPathingBehavior("Simple"));
    EXPECT_EQ(FindPathingBehavior("SeekDanger"), FindPathingBehavior("RandomAttack"));
    EXPECT_NE(FindPathingBehavior("Kamikaze"), FindPathingBehavior("Basic")) << "own prototypes";
}

TEST(InvaderKinds, BomberFuseCountsDownOneMarkAFrame)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* drawn = field.Invader("bomber", 10, 10);
    EXPECT_GE(InvaderField::K(drawn).mRun.mFuse, 20.0f);
    EXPECT_LE(InvaderField::K(drawn).mRun.mFuse, 90.0f);

    Cog* cog = sim.Cogs().Allocate("bomber");
    Kestrane& k = InvaderField::K(cog);
    k.mRun.mFuse = 30.5f;
    InvaderField::P(cog).SetPosition(field.Centre(20, 10) + Vector3(0, 1, 0));
    cog->Initialize();
    EXPECT_FLOAT_EQ(k.mRun.mFuse, 30.5f) << "a preset fuse is kept";
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    sim.Step(3);
    // Past 30 and 20 in one frame (a frame of 11.7 s): only the lower mark shows.
    k.mRun.mFuse = 30.001f;
    sim.Engine().GetGameClock().SetScale(700.0);
    sim.Step();
    sim.Engine().GetGameClock().SetScale(1.0);
    EXPECT_EQ(k.mRun.mFuseMark, 2);
    // Down to 0: it goes into its special, waits, and blows itself up.
    ASSERT_NE(field.Tower(50, 50), nullptr);
    k.mRun.mPathing = FindPathingBehavior("Bomber");
    k.mRun.mFuse = 0.01f;
    const uint32_t id = cog->GetID();
    sim.Step(2);
    EXPECT_EQ(k.mRun.mFuseMark, 0);
    EXPECT_EQ(k.GetState(), StateSpecial);
    ASSERT_TRUE(sim.StepUntil([&] { return sim.Cogs().GetCog(id) == nullptr; }, 5 * 60));
    EXPECT_EQ(sim.Data().mStats.suicides, 1);
}

TEST(InvaderKinds, StackerBecomesAStepAndGivesItBack)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* cog = field.Invader("stacker", 10, 10);
    Kestrane& k = InvaderField::K(cog);
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    ASSERT_TRUE(sim.StepUntil([&] { return k.GetState() == StateAdvance; }, 20 * 60)) << "it lands";
    TileMap& map = field.Map();
    const TileIndex tile = k.mRun.mCurrentTile;
    ASSERT_EQ(map.GetTile(tile.first, tile.second).invaderCount, 1);
    InvaderField::P(cog).SetPosition(InvaderField::P(cog).GetPosition() + Vector3(0.7f, 0, 0.7f));
    k.ChangeState(StateSpecial);
    const Vector3 centre = map.TileToWorld(tile.first, tile.second);
    EXPECT_FLOAT_EQ(InvaderField::P(cog).GetPosition().x, centre.x) << "snapped to its tile";
    EXPECT_FLOAT_EQ(InvaderField::P(cog).GetPosition().z, centre.z);
    EXPECT_EQ(map.GetTile(tile.first, tile.second).subHeight, 1);
    EXPECT_EQ(map.GetTile(tile.first, tile.second).invaderCount, 0) << "a step is no walker";
    k.ChangeState(StateAdvance);
    EXPECT_EQ(map.GetTile(tile.first, tile.second).subHeight, 0);
    EXPECT_EQ(map.GetTile(tile.first, tile.second).invaderCount, 1);
    // Destroyed while it is a step, it takes the step with it.
    k.ChangeState(StateSpecial);
    sim.Cogs().Destroy(cog);
    sim.Step();
    EXPECT_EQ(map.GetTile(tile.first, tile.second).subHeight, 0);
    EXPECT_EQ(map.GetTile(tile.first, tile.second).invaderCount, 0);
}

TEST(InvaderKinds, PathingEdgeCases)
{
    GameSim sim;
    InvaderField field(sim);
    TileMap& map = field.Map();
    // No tower: the step keeps it in state 6.
    Cog* lonely = field.Invader("grunt", 10, 10);
    Kestrane& l = InvaderField::K(lonely);
    ASSERT_TRUE(sim.StepUntil([&] { return l.GetState() == StateNoTower; }, 120));
    ASSERT_NE(field.Tower(50, 50), nullptr);

    // Standing on an unwalkable tile kills it in its next step, as a suicide.
    Cog* doomed = field.Invader("grunt", 20, 10);
    const uint32_t doomedId = doomed->GetID();
    ASSERT_TRUE(sim.StepUntil([&] { return InvaderField::K(doomed).GetState() != StateParachute; }, 120));
    const TileIndex under = InvaderField::K(doomed).mRun.mCurrentTile;
    map.GetTile(under.first, under.second).passable = false;
    ASSERT_TRUE(sim.StepUntil([&] { return sim.Cogs().GetCog(doomedId) == nullptr; }, 10));
    EXPECT_EQ(sim.Data().mStats.suicides, 1);
    map.GetTile(under.first, under.second).passable = true;

    // Random walking with every way closed: four distinct picks, then its special.
    Cog* boxed = field.Invader("grunt", 30, 30);
    Kestrane& b = InvaderField::K(boxed);
    b.mRun.mPathing = FindPathingBehavior("NoPathing");
    ASSERT_TRUE(sim.StepUntil([&] { return b.GetState() == StateAdvance; }, 120));
    for (const TileIndex& side : {TileIndex{31, 30}, TileIndex{29, 30}, TileIndex{30, 31}, TileIndex{30, 29}})
        map.GetTile(side.first, side.second).buildable = false;
    b.mRun.mPathing = FindPathingBehavior("Random");
    b.mRun.mPathing->Step(b);
    EXPECT_EQ(b.GetState(), StateSpecial);
}

// A Driller digs under a line of super walls and comes up to attack the tower.
TEST(InvaderKinds, DrillerTunnelsToTheTower)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* tower = field.Tower(32, 50);
    ASSERT_NE(tower, nullptr);
    field.WallLine("superwall", 20, 44, 36);
    Cog* cog = sim.Cogs().Allocate("grunt");
    Kestrane& k = InvaderField::K(cog);
    k.mBehaviorName = "Driller";
    k.mPathingName = "Driller";
    InvaderField::P(cog).SetPosition(field.Centre(32, 24) + Vector3(0, 1, 0));
    cog->Initialize();
    bool dug = false;
    const float hp = InvaderField::B(tower).hitPoints;
    ASSERT_TRUE(sim.StepUntil(
        [&] {
            dug = dug || (k.GetState() == StateSpecial && k.Pos().GetPosition().y < -10.0f);
            return InvaderField::B(tower).hitPoints < hp;
        },
        60 * 60));
    EXPECT_TRUE(dug) << "it went under the walls";
    EXPECT_EQ(k.GetState(), StateAttack);
    EXPECT_GT(k.mRun.mCurrentTile.second, 36) << "it came up on the tower's side";
}

namespace {
constexpr uint32_t kCursorProbeId = 960;

// Stands in for the player's cursor: counts the releases it is asked for.
class CursorProbe : public TestComp<kCursorProbeId, "CursorProbe">
{
public:
    void ReleaseGrabbed(bool thrown)
    {
        ++mReleases;
        mThrown = thrown;
    }
    int mReleases = 0;
    bool mThrown = false;
};

class CursorProbeFactory : public CompFactoryOf<CursorProbe>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("ReleaseGrabbed", MakeCompFunctor(kCursorProbeId, &CursorProbe::ReleaseGrabbed));
    }
};

CursorProbeFactory gCursorProbeFactory;

CursorProbe& MakeCursor(GameSim& sim, const Vector3& at)
{
    CogFactory& cogs = sim.Cogs();
    cogs.Types().RegisterComponent(kCursorProbeId, &gCursorProbeFactory);
    MakeCodeType(cogs, "TestCursor", {1, kCursorProbeId});
    Cog* cog = cogs.Allocate("TestCursor");
    cog->SetName("Cursor");
    cog->Get<Positional>()->SetPosition(at);
    cog->Initialize();
    return *static_cast<CursorProbe*>(cog->GetComponent(kCursorProbeId));
}
} // namespace

TEST(InvaderKinds, GrabbedSpikerAndAntiGrabberFreeThemselves)
{
    GameSim sim;
    InvaderField field(sim);
    ASSERT_NE(field.Tower(50, 50), nullptr);
    CursorProbe& cursor = MakeCursor(sim, field.Centre(5, 5));
    Cog* spiker = sim.Cogs().Allocate("grunt");
    InvaderField::K(spiker).mBehaviorName = "Spiker";
    InvaderField::P(spiker).SetPosition(field.Centre(20, 20) + Vector3(0, 1, 0));
    spiker->Initialize();
    Cog* anti = sim.Cogs().Allocate("grunt");
    InvaderField::K(anti).mBehaviorName = "AntiGrabber";
    InvaderField::P(anti).SetPosition(field.Centre(30, 20) + Vector3(0, 1, 0));
    anti->Initialize();
    ASSERT_TRUE(sim.StepUntil([&] { return InvaderField::K(anti).GetState() == StateAdvance; }, 5 * 60)) << "it lands";

    InvaderField::K(spiker).ChangeState(StateGrabbed);
    sim.Step();
    EXPECT_EQ(cursor.mReleases, 1) << "released in the first frame";
    EXPECT_TRUE(cursor.mThrown);
    // Held on past 2 s, it stands up again instead of freezing.
    sim.Step(2 * 60 + 5);
    EXPECT_NE(InvaderField::K(spiker).GetState(), StateGrabbed);

    cursor.mReleases = 0;
    InvaderField::K(anti).ChangeState(StateGrabbed);
    sim.Step(2 * 60 - 5);
    EXPECT_EQ(cursor.mReleases, 0);
    sim.Step(10);
    EXPECT_GT(cursor.mReleases, 0) << "after 2 s";
}

TEST(InvaderKinds, KamikazeWithoutATargetDoesNotExplode)
{
    GameSim sim;
    InvaderField field(sim);
    ASSERT_NE(field.Tower(50, 50), nullptr);
    Cog* cog = field.Invader("kamikaze", 20, 20);
    Kestrane& k = InvaderField::K(cog);
    k.mRun.mPathing = FindPathingBehavior("NoPathing");
    sim.Step(5);
    k.mRun.mTargetTile = {21, 20};
    k.ChangeState(StateAttack);
    k.mRun.mBehavior->Attack(k);
    EXPECT_EQ(k.GetState(), StateAdvance);
    sim.Step(30);
    EXPECT_GT(k.mCurHP, 0.0f);
    EXPECT_EQ(sim.Data().mStats.suicides, 0);
}

// The psychic lifts a wall out of its way; a ledge stone it does not lift but breaks through,
// as the others do.
TEST(InvaderKinds, PsychicMovesAWallAsideAndBreaksALedge)
{
    struct Case
    {
        const char* mObstacle;
        bool mLifted;
    };
    for (const Case& c : {Case{"wall", true}, Case{"step", false}})
    {
        SCOPED_TRACE(c.mObstacle);
        GameSim sim;
        InvaderField field(sim);
        ASSERT_NE(field.Tower(32, 50), nullptr);
        Cog* obstacle = field.Make(c.mObstacle, field.Centre(32, 30));
        ASSERT_NE(obstacle, nullptr);
        const uint32_t obstacleId = obstacle->GetID();
        TileComp& footprint = *obstacle->Get<TileComp>();
        Cog* cog = sim.Cogs().Allocate("grunt");
        Kestrane& k = InvaderField::K(cog);
        k.mBehaviorName = "Psychic";
        k.mPathingName = "Psychic";
        InvaderField::P(cog).SetPosition(field.Centre(32, 26) + Vector3(0, 1, 0));
        cog->Initialize();
        const TileIndex before{footprint.tileX, footprint.tileZ};
        bool lifted = false, broken = false;
        ASSERT_TRUE(sim.StepUntil(
            [&] {
                broken = sim.Cogs().GetCog(obstacleId) == nullptr;
                lifted = !broken && TileIndex{footprint.tileX, footprint.tileZ} != before;
                return lifted || broken;
            },
            40 * 60));
        EXPECT_EQ(lifted, c.mLifted);
        EXPECT_EQ(broken, !c.mLifted);
        EXPECT_EQ(field.Map().GetTile(32, 30).occupant, nullptr) << "the way is clear";
        if (lifted)
        {
            EXPECT_EQ(field.Map().GetTile(footprint.tileX, footprint.tileZ).occupant, &footprint);
            EXPECT_LE(std::abs(footprint.tileX - 32), 2);
            EXPECT_LE(std::abs(footprint.tileZ - 30), 2);
        }
    }
}

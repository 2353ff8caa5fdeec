#include <gtest/gtest.h>

#include <string>

#include "game/invaders/Kestrane.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
// A line of ledge stones along z at column 14, the tower beyond it to the east.
struct LedgeField
{
    explicit LedgeField(GameSim& sim) : sim(sim), field(sim)
    {
        sim.Cogs().Files().LoadCogFile("Compositions\\Step.xml");
        for (int32_t z = 0; z < 64; ++z)
            field.Make("step", field.Centre(14, z));
        field.Tower(40, 30);
    }
    // An invader of the kind with a body of the given radius, walking from the tile.
    Cog* Walker(const std::string& kind, float radius, int32_t x, int32_t z)
    {
        Cog* cog = field.Invader(kind, x, z);
        if (cog)
        {
            InvaderField::P(cog).GetLocalSphere().radius = radius;
            InvaderField::P(cog).UpdateQuadTree();
        }
        return cog;
    }
    bool Stands(int32_t x, int32_t z) { return field.Map().GetTile(x, z).occupant != nullptr; }

    GameSim& sim;
    InvaderField field;
};
} // namespace

// Bodies as wide as the program's models, held by a stone before their centre is near it, still
// see it: the grunt breaks into the ledge, the ninja leaps it with every stone standing, and
// the stacker walks up to it and stands on the tile beside it as a step.
TEST(Ledge, WideBodiesMeetTheStoneTheyTouch)
{
    struct Case
    {
        const char* kind;
        float radius;
    };
    for (const Case& c : {Case{"grunt", 1.0f}, Case{"grunt", 3.5f}, Case{"ninja", 3.6f}, Case{"stacker", 2.7f}})
    {
        SCOPED_TRACE(std::string(c.kind) + " of radius " + std::to_string(c.radius));
        GameSim sim;
        LedgeField ledge(sim);
        Cog* cog = ledge.Walker(c.kind, c.radius, 6, 30);
        ASSERT_NE(cog, nullptr);
        Kestrane& k = InvaderField::K(cog);
        const std::string kind = c.kind;
        const bool met = sim.StepUntil(
            [&] {
                if (kind == "grunt")
                    return k.GetState() == StateAttack && k.mRun.mTargetTile.first == 14;
                if (kind == "ninja")
                    return k.mRun.mCurrentTile.first > 15 && k.GetState() != StateAirborne;
                return k.GetState() == StateSpecial && k.mRun.mTargetTile.first == 14;
            },
            60 * 40);
        EXPECT_TRUE(met) << "at tile " << k.mRun.mCurrentTile.first << "," << k.mRun.mCurrentTile.second << " in state "
                         << k.GetState();
        if (kind == "stacker")
        {
            EXPECT_EQ(k.mRun.mCurrentTile.first, 13) << "the step stands beside the stone";
        }
        for (int32_t z = 0; z < 64 && kind == "ninja"; ++z)
            EXPECT_TRUE(ledge.Stands(14, z)) << "leapt, not broken through: " << z;
    }
}

// A stacker standing as a step beside the ledge is climbed by a walker that meets the ledge on
// the next tile, passing the step at a slant rather than walking straight at it: it goes up the
// step, onto the stone and over, and no stone is broken.
TEST(Ledge, AWalkerBesideAStepClimbsItOverTheLedge)
{
    GameSim sim;
    LedgeField ledge(sim);
    Cog* stacker = ledge.Walker("stacker", 2.7f, 10, 31);
    ASSERT_NE(stacker, nullptr);
    Kestrane& step = InvaderField::K(stacker);
    ASSERT_TRUE(sim.StepUntil([&] { return step.GetState() == StateSpecial; }, 60 * 20));
    const TileIndex stood = step.mRun.mCurrentTile;
    ASSERT_EQ(stood.first, 13) << stood.second;
    // One row off the step's, so the march meets the ledge beside the step.
    Cog* grunt = ledge.Walker("grunt", 3.5f, 8, stood.second - 1);
    ASSERT_NE(grunt, nullptr);
    Kestrane& k = InvaderField::K(grunt);
    bool onStep = false;
    const bool over = sim.StepUntil(
        [&] {
            onStep = onStep || k.mRun.mCurrentTile == stood;
            return k.mRun.mCurrentTile.first > 14 && k.GetState() != StateAirborne;
        },
        60 * 40);
    EXPECT_TRUE(over) << "at tile " << k.mRun.mCurrentTile.first << "," << k.mRun.mCurrentTile.second;
    EXPECT_TRUE(onStep) << "it went up the step";
    for (int32_t z = 0; z < 64; ++z)
        EXPECT_TRUE(ledge.Stands(14, z)) << z;
    EXPECT_EQ(step.GetState(), StateSpecial) << "the step still stands";
}

// A step no one is left to climb ends: with no invader behind it for longer than the waves of a
// level come apart, the stacker breaks the stone it faced and moves on, a step no more; while
// one still stands behind it, the step stays.
TEST(Ledge, AStepWithNoOneLeftBehindItWalksOn)
{
    for (const bool behind : {false, true})
    {
        SCOPED_TRACE(behind ? "one behind it" : "none behind it");
        GameSim sim;
        LedgeField ledge(sim);
        Cog* stacker = ledge.Walker("stacker", 2.7f, 10, 31);
        ASSERT_NE(stacker, nullptr);
        Kestrane& step = InvaderField::K(stacker);
        if (behind)
        {
            Cog* waiting = ledge.Walker("grunt", 1.0f, 2, 50);
            ASSERT_NE(waiting, nullptr);
            InvaderField::K(waiting).SetPathing("NoPathing");
        }
        ASSERT_TRUE(sim.StepUntil([&] { return step.GetState() == StateSpecial; }, 60 * 20));
        const TileIndex faced = step.mRun.mTargetTile;
        const TileIndex stood = step.mRun.mCurrentTile;
        const bool left = sim.StepUntil([&] { return step.GetState() != StateSpecial; }, 60 * 20);
        EXPECT_EQ(left, !behind) << "in state " << step.GetState();
        if (behind)
            continue;
        // It breaks the stone it faced and goes on breaking its way, never a step again.
        bool stoodAgain = false;
        const bool broke = sim.StepUntil(
            [&] {
                stoodAgain = stoodAgain || step.GetState() == StateSpecial;
                return !ledge.Stands(faced.first, faced.second) && step.mRun.mCurrentTile != stood;
            },
            60 * 60);
        EXPECT_TRUE(broke) << "the stone it faced stands, or it stays where it stood";
        sim.Step(60 * 10);
        EXPECT_FALSE(stoodAgain || step.GetState() == StateSpecial) << "it stood as a step again";
    }
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "LOOM/math/Random.h"
#include "game/behaviors/BehaviorRegistry.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderGroup.h"
#include "game/level/LevelFile.h"
#include "game/level/TileComp.h"
#include "game/logic/TrapDrop.h"
#include "game/player/CursorComp.h"
#include "game/traps/TrapData.h"
#include "physics/RegionComp.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
// A trap the player buys, at a tile of its corner.
struct Bought
{
    const char* trap;
    int32_t x, z;
};

struct LevelOutcome
{
    int32_t state = -1;
    int32_t kills = 0;
    int32_t spent = 0;
    bool towerStands = false;
    size_t invadersLeft = 0;
    int32_t startPoints = 0;
    // The behaviour kinds of every invader that came onto the field.
    std::set<std::string> kinds;
    // Stackers seen standing as a step beside a ledge stone, and those that died standing so.
    std::set<uint32_t> steps;
    int32_t stepsKilled = 0;
    // How often an invader standing on the field was out of reach of a trap or the claw, and the
    // first such.
    int32_t unreachable = 0;
    std::string firstUnreachable;
};

// The tiles of the level's ledge stones, as the level file puts them down.
std::set<TileIndex> LedgeTiles(GameSim& sim)
{
    std::set<TileIndex> tiles;
    for (Cog* doodad : sim.Cogs().GetGroupCogs("doodads"))
        if (doodad->Get<Damagable>()->spawnName == "step")
            for (const TileIndex& tile : doodad->Get<TileComp>()->GetClaimedTiles())
                tiles.insert(tile);
    return tiles;
}

// Whether a ledge stone still stands on a tile east of the invader's, next to it: the stone its
// march meets.
bool FacesLedgeStone(TileMap& map, const std::set<TileIndex>& ledge, const Kestrane& k)
{
    const TileIndex at = k.mRun.mCurrentTile;
    for (int32_t dz = -1; dz <= 1; ++dz)
    {
        const TileIndex t{at.first + 1, at.second + dz};
        if (ledge.count(t) && map.GetTile(t.first, t.second).occupant)
            return true;
    }
    return false;
}

// A cog made from an archetype and never placed or initialised, so it takes no tile and runs no
// frame; only its region is attached, to tell what a real one standing at a place would meet.
struct Probe
{
    explicit Probe(const char* archetype) : mCog(CogFactory::Instance().CreateFromType(archetype, 0))
    {
        mRegion = mCog ? mCog->Get<RegionComp>() : nullptr;
        mPlace = mCog ? mCog->Get<Positional>() : nullptr;
        if (mRegion && mPlace)
            mRegion->SetOwner(mCog.get());
    }
    bool Meets(const Vector3& at, Cog& cog)
    {
        if (!mRegion || !mPlace)
            return false;
        mPlace->StorePosition(at);
        mRegion->Refresh(mScratch);
        return mRegion->Contains(cog.GetID());
    }
    std::unique_ptr<Cog> mCog;
    RegionComp* mRegion = nullptr;
    Positional* mPlace = nullptr;
    std::vector<Spatial*> mScratch;
};

// Every invader standing on the field can be hurt and grabbed where it stands: spikes dropped
// over its tile and the claw lowered over it both find it. One out of their reach would keep a
// level from ending. Invaders in the air, held, or digging their way to the tower are passing.
void CheckReach(DataController& data, TileMap& map, LevelOutcome& outcome)
{
    Probe spikes("spikes");
    Probe claw("Cursor");
    const CursorComp* hand = claw.mCog ? claw.mCog->Get<CursorComp>() : nullptr;
    EXPECT_NE(hand, nullptr);
    if (!hand)
        return;
    for (Comp* comp : data.mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        const int32_t state = k.GetState();
        if (k.IsDead() || state == StateGrabbed || state == StateAirborne || state == StateJump ||
            state == StateParachute || (state == StateSpecial && k.mBehaviorName == "Driller"))
            continue;
        const TileIndex tile = k.mRun.mCurrentTile;
        const Vector3 at = k.Pos().GetPosition();
        const bool hurt = spikes.Meets(map.TileToWorldAligned(tile.first, tile.second, 2, 2), *k.GetOwner());
        // The claw sinks to its lowest over whatever it tries to grab.
        const bool grabbed =
            claw.Meets(Vector3(at.x, GroundHeight(at.x, at.z) + hand->minGrabHeight, at.z), *k.GetOwner());
        if (hurt && grabbed)
            continue;
        if (outcome.unreachable++ == 0)
            outcome.firstUnreachable = k.mName + " in state " + std::to_string(state) + " at " + std::to_string(at.x) +
                "," + std::to_string(at.y) + "," + std::to_string(at.z) + (hurt ? "" : ", out of a trap's reach") +
                (grabbed ? "" : ", out of the claw's reach");
    }
}

// A shipped level played from its own script on the real data folder until it ends or ten
// minutes of game time pass. The defence is bought through the game's drop rules with the
// starting points, and every five seconds whatever stands no more is bought again with the
// points earned, as a player rebuilds what the blasts take; with spikeSteps, spikes are first
// dropped over every stacker standing as a step at a ledge, as a player does who sees one.
// Thirty frames a second, as a slower machine runs the game: what counts is the level's course
// in game time, not any one frame.
LevelOutcome PlayShippedLevel(const char* script, const std::vector<Bought>& defence, bool spikeSteps = false)
{
    constexpr int32_t kRate = 30;
    GameSim sim;
    sim.SetStep(1.0 / kRate);
    sim.Run(std::string("LogicCreateLevel ") + script);
    LevelOutcome outcome;
    TileMap* map = sim.Logic().mTileMap;
    EXPECT_NE(map, nullptr);
    if (!map)
        return outcome;
    DataController& data = sim.Data();
    const int32_t start = data.GetPoints();
    outcome.startPoints = start;
    const std::set<TileIndex> ledge = LedgeTiles(sim);
    std::set<uint32_t> standing;
    std::vector<TileIndex> stepTiles;
    auto buy = [&] {
        std::vector<Bought> order;
        if (spikeSteps)
            for (const TileIndex& t : stepTiles)
                order.push_back({"spikes", t.first - 1, t.second});
        order.insert(order.end(), defence.begin(), defence.end());
        for (const Bought& b : order)
        {
            const TrapInfo& info = data.GetTrapInfo(b.trap);
            const Vector3 at = map->TileToWorldAligned(b.x, b.z, info.widthTileSize, info.depthTileSize);
            const int32_t before = data.GetPoints();
            if (AttemptTrapDrop(b.trap, at, Vector3(0.0f, 0.0f, 1.0f)))
                outcome.spent += before - data.GetPoints();
        }
    };
    buy();
    EXPECT_EQ(outcome.spent > 0, !defence.empty());
    EXPECT_LE(outcome.spent, start);
    int32_t frame = 0;
    sim.StepUntil(
        [&] {
            std::set<uint32_t> alive;
            for (Comp* comp : data.mInvaders)
                alive.insert(comp->GetOwner()->GetID());
            for (uint32_t id : standing)
                outcome.stepsKilled += alive.count(id) ? 0 : 1;
            standing.clear();
            stepTiles.clear();
            for (Comp* comp : data.mInvaders)
            {
                Kestrane& k = *static_cast<Kestrane*>(comp);
                outcome.kinds.insert(k.mBehaviorName);
                if (k.mBehaviorName == "Stacker" && k.GetState() == StateSpecial && FacesLedgeStone(*map, ledge, k))
                {
                    outcome.steps.insert(k.GetOwner()->GetID());
                    standing.insert(k.GetOwner()->GetID());
                    stepTiles.push_back(k.mRun.mCurrentTile);
                }
            }
            if (++frame % (5 * kRate) == 0)
            {
                CheckReach(data, *map, outcome);
                if (!defence.empty())
                    buy();
            }
            return data.mGameState != StateInLevel;
        },
        600 * kRate);
    outcome.state = data.mGameState;
    outcome.kills = data.mKills;
    outcome.invadersLeft = data.mInvaders.size();
    outcome.towerStands = sim.Cogs().FindCogByName("Tower") != nullptr;
    return outcome;
}

// Squad members that walk toward their leader's tile and are at most two tiles from it.
int32_t SquadMembersFollowing(DataController& data)
{
    int32_t following = 0;
    for (Comp* comp : data.mInvaders)
    {
        const Kestrane& k = *static_cast<Kestrane*>(comp);
        if (!k.mRun.mGroup || k.IsLeader())
            continue;
        const TileIndex leader = k.mRun.mGroup->GetLeader()->mRun.mCurrentTile;
        const TileIndex at = k.mRun.mCurrentTile;
        if (k.mRun.mTargetTile == leader && std::abs(leader.first - at.first) <= 2 &&
            std::abs(leader.second - at.second) <= 2)
            ++following;
    }
    return following;
}
} // namespace

// Left alone, each shipped level is lost to its waves; traps bought where the march passes,
// and bought again with the points earned when blasts take them, hold the tower to the last
// wave and win the level. In the second, stackers stand as steps at the ledges on the way, and
// the level is won all the same: the traps bought before the ledges kill them where they stand. Across the
// levels every invader kind of the game comes onto the field.
TEST(LevelPlay, ShippedLevelsAreLostAloneWonWithTrapsBoughtAndSendEveryKind)
{
    struct Case
    {
        const char* script;
        std::vector<Bought> defence;
        // The second level: earned points buy much of the defence, and stackers stand as steps.
        bool secondLevel;
    };
    const Case cases[] = {
        // Behind the gap in the wall line and along the way to the tower.
        {"Scripts\\Levels\\L1.lua",
         {{"spikes", 64, 81},
          {"spikes", 62, 84},
          {"spikes", 64, 88},
          {"hammer", 62, 92},
          {"zapper", 64, 100},
          {"spikes", 62, 106}},
         false},
        // Spikes over each stacker that stands as a step at a ledge; behind the inner gap,
        // across the way to the tower, and at its foot; then, as points come, before the ledges.
        {"Scripts\\Levels\\L2.lua",
         {{"zapper", 74, 88},  {"spikes", 82, 92},  {"spikes", 84, 94},   {"spikes", 86, 96},   {"spikes", 88, 98},
          {"hammer", 92, 100}, {"spikes", 98, 100}, {"spikes", 100, 102}, {"spikes", 100, 104}, {"spikes", 12, 53},
          {"spikes", 12, 55},  {"spikes", 12, 57},  {"spikes", 12, 59},   {"spikes", 12, 71},   {"spikes", 12, 73},
          {"spikes", 12, 75},  {"spikes", 12, 77},  {"spikes", 12, 88},   {"spikes", 12, 90},   {"spikes", 12, 92},
          {"spikes", 12, 94}},
         true},
    };
    std::set<std::string> kinds;
    int32_t wonKills[2] = {};
    for (size_t i = 0; i < 2; ++i)
    {
        const Case& c = cases[i];
        SCOPED_TRACE(c.script);
        const LevelOutcome alone = PlayShippedLevel(c.script, {});
        EXPECT_EQ(alone.state, StateLost);
        EXPECT_FALSE(alone.towerStands);
        EXPECT_EQ(alone.spent, 0);
        EXPECT_EQ(alone.unreachable, 0) << alone.firstUnreachable;

        const LevelOutcome defended = PlayShippedLevel(c.script, c.defence, c.secondLevel);
        EXPECT_EQ(defended.state, StateWon);
        EXPECT_TRUE(defended.towerStands);
        EXPECT_EQ(defended.invadersLeft, 0u) << "won with the last wave still on the field";
        EXPECT_EQ(defended.unreachable, 0) << defended.firstUnreachable;
        EXPECT_EQ(defended.spent > defended.startPoints, c.secondLevel) << "earned points bought traps too";
        EXPECT_EQ(!defended.steps.empty(), c.secondLevel) << "stackers standing as steps at a ledge";
        EXPECT_EQ(defended.stepsKilled > 0, c.secondLevel) << "stackers killed where they stood as steps";
        wonKills[i] = defended.kills;
        kinds.insert(defended.kinds.begin(), defended.kinds.end());
    }
    // The second level is the harder: more invaders to stop before it is won.
    EXPECT_GE(wonKills[0], 14);
    EXPECT_GT(wonKills[1], wonKills[0]);

    std::set<std::string> registered;
    for (const auto& [name, behavior] : BehaviorRegistry::Instance().mInvaderBehaviors)
        registered.insert(name);
    EXPECT_EQ(registered.size(), 12u);
    EXPECT_EQ(kinds, registered);
}

// The second level's ledge, two levels high, lies across the march from each spawner. From each,
// a jumper and a ninja leap it, and a stacker becomes the step beside it which a second stacker,
// come down right behind it, climbs over: each kind uses its move at the ledge and gets beyond it.
TEST(LevelPlay, SecondLevelLedgeIsLeaptOrStackedPast)
{
    struct Case
    {
        const char* mKind;
        int32_t mCount;
    };
    const Case cases[] = {{"jumper", 1}, {"ninja", 1}, {"stacker", 2}};
    const char* spawners[] = {"Vector3(8, 2, 200)", "Vector3(8, 2, 280)", "Vector3(8, 2, 360)"};
    for (const char* spawner : spawners)
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(std::string(c.mKind) + " from " + spawner);
            GameSim sim;
            sim.SetStep(1.0 / 30);
            ASSERT_TRUE(RunLua(std::string("dofile('Scripts/Levels/Waves.lua')"
                                           "RunLevel({ Map = 'L2', Title = 'Ledge', Camera = 'LevelCameraWest',"
                                           "  KillTarget = 1, StartPoints = 0, SpawnerPositions = { ") +
                               spawner + " }, Waves = { { Time = 1, Kind = '" + c.mKind + "', Count = 1 } } })"));
            TileMap* map = sim.Logic().mTileMap;
            ASSERT_NE(map, nullptr);
            const std::set<TileIndex> ledge = LedgeTiles(sim);
            ASSERT_FALSE(ledge.empty()) << "the level has no ledge";
            int32_t far = 0;
            for (const TileIndex& tile : ledge)
                far = std::max(far, tile.first);
            auto besideLedge = [&](TileIndex at) {
                for (const TileIndex& tile : ledge)
                    if (std::abs(tile.first - at.first) <= 1 && std::abs(tile.second - at.second) <= 1)
                        return true;
                return false;
            };
            std::set<uint32_t> moved, beyond;
            // Where the second one is set down: the tile behind the step, so the step is what it
            // meets whichever tile of the ledge the first chose.
            int32_t sent = 1;
            const bool done = sim.StepUntil(
                [&] {
                    TileIndex behind{-1, -1};
                    for (Comp* comp : sim.Data().mInvaders)
                    {
                        Kestrane& k = *static_cast<Kestrane*>(comp);
                        const uint32_t id = k.GetOwner()->GetID();
                        if (k.GetState() == StateSpecial && besideLedge(k.mRun.mCurrentTile))
                        {
                            moved.insert(id);
                            behind = {k.mRun.mCurrentTile.first - 1, k.mRun.mCurrentTile.second};
                        }
                        if (k.GetState() != StateAirborne && k.mRun.mCurrentTile.first > far)
                            beyond.insert(id);
                    }
                    if (sent < c.mCount && behind.first >= 0)
                    {
                        EXPECT_NE(CreateAt(sim.Cogs(), c.mKind, TileCentre(*map, behind) + Vector3(0.0f, 1.0f, 0.0f)),
                                  nullptr);
                        ++sent;
                    }
                    return !moved.empty() && !beyond.empty();
                },
                120 * 30);
            EXPECT_TRUE(done) << moved.size() << " used the move at the ledge, " << beyond.size() << " got beyond";
            EXPECT_EQ(sim.Data().mKills, 0) << "the ledge was passed, not died at";
            EXPECT_EQ(LedgeTiles(sim), ledge) << "the ledge was broken through";
            if (c.mCount == 1)
            {
                EXPECT_EQ(moved, beyond) << "the one that leapt is the one beyond";
            }
            else
            {
                // The stacked one stays the step; the one beyond climbed it.
                for (uint32_t id : moved)
                    EXPECT_EQ(beyond.count(id), 0u) << "a stacker that stood as the step went on";
            }
        }
    }
}

// The wave runner's verdict when the last invader is a kamikaze that blows itself up at the
// wall line: it leaves the live list as a suicide, and the level is won.
TEST(LevelPlay, ALevelWhoseLastInvaderBlowsItselfUpIsWon)
{
    GameSim sim;
    sim.SetStep(1.0 / 30);
    ASSERT_TRUE(RunLua("dofile('Scripts/Levels/Waves.lua')"
                       "RunLevel({ Map = 'L1', Title = 'One Kamikaze', Camera = 'LevelCamera', KillTarget = 1,"
                       "  StartPoints = 150, SpawnerPositions = { Vector3(258, 2, 8) },"
                       "  Waves = { { Time = 1, Kind = 'kamikaze', Count = 1 } } })"));
    DataController& data = sim.Data();
    ASSERT_TRUE(sim.StepUntil([&] { return data.mGameState != StateInLevel; }, 120 * 30));
    EXPECT_EQ(data.mGameState, StateWon);
    EXPECT_EQ(data.mStats.suicides, 1);
    EXPECT_EQ(data.mKills, 1);
    EXPECT_EQ(data.mLiveInvaders, 0);
    EXPECT_TRUE(data.mInvaders.empty());
    EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
}

// Once the last wave is out and no invader is left alive the level ends, whatever the count:
// won when the kills reached the goal, lost when they fell short of it.
TEST(LevelPlay, ALevelWithEveryWaveOutAndNoInvaderLeftEnds)
{
    struct Case
    {
        int32_t killTarget;
        int32_t state;
    };
    for (const Case c : {Case{1, StateWon}, Case{3, StateLost}})
    {
        SCOPED_TRACE(c.killTarget);
        GameSim sim;
        sim.SetStep(1.0 / 30);
        ASSERT_TRUE(RunLua("dofile('Scripts/Levels/Waves.lua')"
                           "RunLevel({ Map = 'L1', Title = 'One Grunt', Camera = 'LevelCamera', KillTarget = " +
                           std::to_string(c.killTarget) +
                           ", StartPoints = 0, SpawnerPositions = { Vector3(258, 2, 8) },"
                           "  Waves = { { Time = 1, Kind = 'grunt', Count = 1 } } })"));
        DataController& data = sim.Data();
        ASSERT_TRUE(sim.StepUntil([&] { return !data.mInvaders.empty(); }, 5 * 30));
        sim.Step(30);
        EXPECT_EQ(data.mGameState, StateInLevel) << "not over while the invader lives";
        SendDamage(*data.mInvaders.front()->GetOwner(), DamageInfo{0, -1000.0f, 2});
        EXPECT_TRUE(sim.StepUntil([&] { return data.mGameState != StateInLevel; }, 5 * 30));
        EXPECT_EQ(data.mGameState, c.state);
        EXPECT_EQ(data.mKills, 1);
        EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
    }
}

// Many invaders of every walking kind walk, jump, stack, march in squads and die on a field with
// walls; at the end every tile counts exactly the invaders standing on it.
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
    // Squads gather the walkers around them, which then keep to their leader's tile.
    int32_t mostFollowing = 0;
    for (int32_t second = 0; second < 15; ++second)
    {
        for (int32_t frame = 0; frame < 60; ++frame)
        {
            sim.Step();
            mostFollowing = std::max(mostFollowing, SquadMembersFollowing(sim.Data()));
        }
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
    EXPECT_GE(mostFollowing, 5) << "squads gathered no followers";
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

// Every trap behaviour of the game is on sale: each shop record, in the trap bar's order,
// drops on the first level through the game's drop rules and stands there with its kind; its
// model and its button picture are in the data folder.
TEST(LevelPlay, EveryTrapKindIsOnSale)
{
    GameSim sim;
    sim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
    TileMap* map = sim.Logic().mTileMap;
    ASSERT_NE(map, nullptr);
    DataController& data = sim.Data();
    data.SetPoints(100000);
    ASSERT_EQ(data.mTrapOrder.size(), data.mTrapInfo.size());
    std::set<std::string> onSale;
    int32_t x = 16;
    for (const std::string& name : data.mTrapOrder)
    {
        SCOPED_TRACE(name);
        ASSERT_EQ(data.mTrapInfo.count(name), 1u);
        const TrapInfo& info = data.mTrapInfo.at(name);
        std::string model = info.trapModelFile;
        std::replace(model.begin(), model.end(), '\\', '/');
        EXPECT_TRUE(std::filesystem::is_regular_file(sim.Path(model)));
        EXPECT_TRUE(std::filesystem::is_regular_file(sim.Path(info.trapImageFile)));
        const Vector3 at = map->TileToWorldAligned(x, 50, info.widthTileSize, info.depthTileSize);
        ASSERT_TRUE(AttemptTrapDrop(name, at, Vector3(0.0f, 0.0f, 1.0f)));
        TileComp* footprint = map->GetTile(x, 50).occupant;
        ASSERT_NE(footprint, nullptr);
        if (TrapData* trap = footprint->GetOwner() ? footprint->GetOwner()->Get<TrapData>() : nullptr)
            onSale.insert(trap->BehaviorName);
        x += 5;
    }
    std::set<std::string> registered;
    for (const auto& [name, behavior] : BehaviorRegistry::Instance().mTrapBehaviors)
        registered.insert(name);
    EXPECT_EQ(onSale, registered);

    // The mist, full when bought, puffs out a poison cloud by itself.
    EXPECT_TRUE(sim.StepUntil(
        [&] {
            const std::vector<Cog*>& cogs = sim.Cogs().GetActiveCogs();
            return std::any_of(cogs.begin(), cogs.end(), [](Cog* cog) { return cog->Get<StatusRegion>() != nullptr; });
        },
        10 * 60));
}

// The shipped second level played as it comes, with no trap: in its first minute the jumper and
// the ninja each leap a ledge stone standing in their way and go on beyond it, and a stacker
// stands beside one as a step, none leaves its step while the stone it faces stands, and one
// still stands at the end of the minute. For several
// seeds, since stackers fall without a parachute and drift where the wind of the draw takes them.
TEST(LevelPlay, ShippedSecondLevelShowsEachLedgeMoveInItsFirstMinute)
{
    for (const uint32_t seed : {7u, 11u, 23u, 42u})
    {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        GameSim sim(GameDataFolder(), seed);
        sim.SetStep(1.0 / 30);
        sim.Run("LogicCreateLevel Scripts\\Levels\\L2.lua");
        TileMap* map = sim.Logic().mTileMap;
        ASSERT_NE(map, nullptr);
        const std::set<TileIndex> ledge = LedgeTiles(sim);
        ASSERT_FALSE(ledge.empty()) << "the level has no ledge";
        int32_t far = 0;
        for (const TileIndex& tile : ledge)
            far = std::max(far, tile.first);
        auto facesStone = [&](const Kestrane& k) { return FacesLedgeStone(*map, ledge, k); };
        // By kind: the invaders seen using the move at the ledge, and those of them seen beyond it.
        std::map<std::string, std::set<uint32_t>> moved, beyond;
        // Each stacker standing as a step, and the stone it faces; those that stepped down while
        // that stone stood.
        std::map<uint32_t, TileIndex> stepFaces;
        int32_t steppedDown = 0;
        const int32_t frames = 60 * 30;
        for (int32_t frame = 0; frame < frames; ++frame)
        {
            sim.Step();
            for (Comp* comp : sim.Data().mInvaders)
            {
                Kestrane& k = *static_cast<Kestrane*>(comp);
                const uint32_t id = k.GetOwner()->GetID();
                if (k.GetState() == StateSpecial && facesStone(k))
                    moved[k.mBehaviorName].insert(id);
                if (moved[k.mBehaviorName].count(id) && k.GetState() != StateAirborne &&
                    k.mRun.mCurrentTile.first > far)
                    beyond[k.mBehaviorName].insert(id);
                if (k.mBehaviorName != "Stacker")
                    continue;
                if (k.GetState() == StateSpecial)
                    stepFaces[id] = k.mRun.mTargetTile;
                else if (const auto stood = stepFaces.find(id); stood != stepFaces.end())
                {
                    steppedDown += map->GetTile(stood->second.first, stood->second.second).occupant ? 1 : 0;
                    stepFaces.erase(stood);
                }
            }
        }
        for (const char* kind : {"Jumper", "Ninja"})
        {
            EXPECT_FALSE(moved[kind].empty()) << kind << " never leapt at a ledge";
            EXPECT_EQ(beyond[kind], moved[kind]) << kind << " did not get beyond the ledge";
        }
        EXPECT_FALSE(moved["Stacker"].empty()) << "no stacker stood as a step at a ledge";
        int32_t standing = 0;
        for (Comp* comp : sim.Data().mInvaders)
        {
            const Kestrane& k = *static_cast<Kestrane*>(comp);
            standing += k.mBehaviorName == "Stacker" && k.GetState() == StateSpecial && facesStone(k) ? 1 : 0;
        }
        EXPECT_GE(standing, 1) << "no stacker still stands as a step after a minute";
        EXPECT_EQ(steppedDown, 0) << "stackers left their step with the stone before it standing";
    }
}

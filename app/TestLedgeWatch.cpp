// Test-only console commands that let a scripted run see what the invaders do at the level's
// ledge stones, which a script cannot ask the game for. "TestRound" seeds the random source with
// the next seed of LOOM_TEST_SEEDS (comma-separated) and starts a fresh record; "TestWatchLedge",
// run every frame, logs each move of the round the first time it is seen ("PLAY ledge: ...") and
// gives how many of the four moves have been seen. "TestLastStep", run every frame, plays the
// level down to its steps: every invader but the stackers is killed as it comes, a stacker that
// stands as a step is logged, and one that leaves its step is poisoned as a trap would; it logs
// each time only steps are left ("PLAY alone: ..."). They exist only with LOOM_TEST_INPUT=1.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Random.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileMap.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/player/CursorComp.h"
#include "game/player/GameCamera.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "input/IOLoom.h"

namespace {

struct LedgeRound
{
    // Stone tiles standing at the last look.
    std::set<TileIndex> standing;
    // Stackers standing as a step: their tile and the stone they face.
    std::map<uint32_t, std::pair<TileIndex, TileIndex>> steps;
    // Invaders seen on a step's tile, and the stone that step faces.
    std::map<uint32_t, TileIndex> onStep;
    // Ninjas and jumpers seen in their leap before a stone, and that stone.
    std::map<uint32_t, TileIndex> leaping;
    // At the last look: the kinds attacking each stone, and the bombers with their tiles.
    std::map<TileIndex, std::set<std::string>> attackers;
    std::map<uint32_t, TileIndex> bombers;
    std::set<std::string> seen;
};

LedgeRound gRound;
std::vector<uint32_t> gSeeds;
size_t gNextSeed = 0;

void Report(const std::string& move, const std::string& detail)
{
    if (!gRound.seen.insert(move).second)
        return;
    Console::Instance().Log("PLAY ledge: move=" + move + " " + detail, LogGeneral);
}

std::string TileText(TileIndex t) { return std::to_string(t.first) + "," + std::to_string(t.second); }

bool IsStone(const Tile& tile)
{
    Cog* cog = OccupantCog(tile);
    const Damagable* damagable = cog ? cog->Get<Damagable>() : nullptr;
    return damagable && damagable->spawnName == "step";
}

// A standing stone within two tiles of the tile, nearest first; false without one.
bool StoneNear(const std::set<TileIndex>& stones, TileIndex at, TileIndex& stone)
{
    for (int32_t reach = 1; reach <= 2; ++reach)
        for (int32_t dx = -reach; dx <= reach; ++dx)
            for (int32_t dz = -reach; dz <= reach; ++dz)
                if (stones.count({at.first + dx, at.second + dz}))
                {
                    stone = {at.first + dx, at.second + dz};
                    return true;
                }
    return false;
}

// Past the stone's column on a tile from which the way back to the stone crosses only standing
// stones: the invader went over the ledge, not through a gap broken in it.
bool OverStandingLedge(const std::set<TileIndex>& stones, TileIndex stone, TileIndex at)
{
    if (at.first <= stone.first)
        return false;
    for (int32_t z = std::min(stone.second, at.second) - 1; z <= std::max(stone.second, at.second) + 1; ++z)
        if (!stones.count({stone.first, z}))
            return false;
    return true;
}

// The seed of the next round, or -1 once every seed has had its round.
int32_t TestRound()
{
    if (gSeeds.empty())
    {
        std::stringstream list(std::getenv("LOOM_TEST_SEEDS") ? std::getenv("LOOM_TEST_SEEDS") : "");
        for (std::string item; std::getline(list, item, ',');)
            gSeeds.push_back(static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 10)));
    }
    gRound = LedgeRound();
    if (gNextSeed >= gSeeds.size())
        return -1;
    const uint32_t seed = gSeeds[gNextSeed++];
    RandomSeed(seed);
    return static_cast<int32_t>(seed);
}

int32_t TestWatchLedge()
{
    TileMap* map = CurrentTileMap();
    DataController* data = CurrentDataController();
    if (!map || !data)
        return static_cast<int32_t>(gRound.seen.size());
    std::set<TileIndex> stones;
    for (int32_t z = 0; z < map->GetGridDepth(); ++z)
        for (int32_t x = 0; x < map->GetGridWidth(); ++x)
            if (IsStone(map->GetTile(x, z)))
                stones.insert({x, z});
    // A stone gone since the last look, broken by the kinds that were at it.
    for (const TileIndex& tile : gRound.standing)
    {
        if (stones.count(tile))
            continue;
        for (const std::string& kind : gRound.attackers[tile])
            if (kind == "grunt" || kind == "bomber")
                Report("break", "by=" + kind + " tile=" + TileText(tile));
        for (const auto& [id, at] : gRound.bombers)
        {
            bool alive = false;
            for (Comp* comp : data->mInvaders)
                alive = alive || comp->GetOwner()->GetID() == id;
            if (!alive && std::abs(at.first - tile.first) <= 2 && std::abs(at.second - tile.second) <= 2)
                Report("break", "by=bomber tile=" + TileText(tile));
        }
    }
    gRound.attackers.clear();
    gRound.bombers.clear();
    std::map<TileIndex, TileIndex> stepTiles;
    for (Comp* comp : data->mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        const uint32_t id = k.GetOwner()->GetID();
        const TileIndex at = k.mRun.mCurrentTile;
        TileIndex stone;
        if (k.mBehaviorName == "Stacker" && k.mRun.mState == StateSpecial && stones.count(k.mRun.mTargetTile))
        {
            gRound.steps[id] = {at, k.mRun.mTargetTile};
            stepTiles[at] = k.mRun.mTargetTile;
            Report("step", "tile=" + TileText(at) + " stone=" + TileText(k.mRun.mTargetTile));
        }
        else
            gRound.steps.erase(id);
        if (k.mRun.mState == StateAttack && stones.count(k.mRun.mTargetTile))
            gRound.attackers[k.mRun.mTargetTile].insert(k.mName);
        if (k.mName == "bomber")
            gRound.bombers[id] = at;
        const bool leaper = k.mBehaviorName == "Ninja" || k.mBehaviorName == "Jumper";
        if (leaper && k.mRun.mState == StateSpecial && StoneNear(stones, at, stone))
            gRound.leaping[id] = stone;
        // Beyond the stone it leapt at while that stone stands: over it, not through a gap.
        if (const auto leapt = gRound.leaping.find(id); leapt != gRound.leaping.end() &&
            k.mRun.mState != StateAirborne && OverStandingLedge(stones, leapt->second, at))
            Report(k.mBehaviorName == "Ninja" ? "leap" : "hop",
                   "by=" + k.mName + " stone=" + TileText(leapt->second) + " tile=" + TileText(at));
    }
    // Those on a step's tile, then on the stone it faces or beyond it while that stone stands.
    for (Comp* comp : data->mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        const uint32_t id = k.GetOwner()->GetID();
        const TileIndex at = k.mRun.mCurrentTile;
        if (k.mBehaviorName == "Stacker" && k.mRun.mState == StateSpecial)
            continue;
        if (const auto step = stepTiles.find(at); step != stepTiles.end())
            gRound.onStep[id] = step->second;
        const auto climbed = gRound.onStep.find(id);
        if (climbed != gRound.onStep.end() && stones.count(climbed->second) &&
            (at == climbed->second || OverStandingLedge(stones, climbed->second, at)))
            Report("climb", "by=" + k.mName + " stone=" + TileText(climbed->second) + " tile=" + TileText(at));
    }
    gRound.standing = std::move(stones);
    int32_t moves = 0;
    for (const char* move : {"step", "climb", "leap", "hop", "break"})
        moves += gRound.seen.count(move) ? 1 : 0;
    return moves;
}

// The first stacker standing as a step: the view is brought over it as far as the field's edge
// lets it, as a player scrolls it there, and the screen point is given (x * 10000 + y) under
// which the claw hovers over it; -1 without one.
int32_t TestAimAtStep()
{
    DataController* data = CurrentDataController();
    Cog* camera = CogFactory::Instance().FindCogByName("Camera");
    GameCamera* view = camera ? camera->Get<GameCamera>() : nullptr;
    const Camera* eye = GraphicsLoom::Instance() ? GraphicsLoom::Instance()->GetActiveCamera() : nullptr;
    const CursorComp* cursor = FindCursor();
    const IOLoom* io = IOLoom::Instance();
    if (!data || !view || !eye || !cursor || !io)
        return -1;
    for (Comp* comp : data->mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        if (k.IsDead() || k.mBehaviorName != "Stacker" || k.GetState() != StateSpecial)
            continue;
        const Vector3 spot = k.Pos().GetPosition();
        view->LookAtPosition(spot);
        Matrix4 viewProjection;
        eye->GetView().Multiply(eye->GetProjection(), viewProjection);
        const Vector3 p = viewProjection.TransformCoord(Vector3(spot.x, cursor->regularHoverHeight, spot.z));
        const int32_t x = static_cast<int32_t>(std::lround((p.x + 1.0f) * 0.5f * float(io->GetScreenWidth())));
        const int32_t y = static_cast<int32_t>(std::lround((1.0f - p.y) * 0.5f * float(io->GetScreenHeight())));
        return x * 10000 + y;
    }
    return -1;
}

// Stackers seen standing as a step, and whether each has left it.
std::map<uint32_t, bool> gSteps;
bool gAlone = false;

int32_t TestLastStep()
{
    DataController* data = CurrentDataController();
    if (!data)
        return 0;
    const float now = GameNow();
    bool onlySteps = true;
    int32_t live = 0;
    for (Comp* comp : data->mInvaders)
    {
        Kestrane& k = *static_cast<Kestrane*>(comp);
        if (k.IsDead())
            continue;
        ++live;
        const uint32_t id = k.GetOwner()->GetID();
        const bool standing = k.mBehaviorName == "Stacker" && k.GetState() == StateSpecial;
        onlySteps = onlySteps && standing;
        if (k.mBehaviorName != "Stacker")
        {
            SendDamage(*k.GetOwner(), DamageInfo{0, -k.mCurHP - 1.0f, 5});
            continue;
        }
        const auto step = gSteps.find(id);
        if (standing && step == gSteps.end())
        {
            gSteps[id] = false;
            Console::Instance().Log(
                "PLAY step: stands tile=" + TileText(k.mRun.mCurrentTile) + " at=" + std::to_string(now), LogGeneral);
        }
        else if (step != gSteps.end() && !step->second && k.GetState() == StateGrabbed)
        {
            step->second = true;
            Console::Instance().Log(
                "PLAY step: taken tile=" + TileText(k.mRun.mCurrentTile) + " at=" + std::to_string(now), LogGeneral);
            k.ChangeEffect(5, 30.0f);
        }
        else if (!standing && step != gSteps.end() && !step->second)
        {
            step->second = true;
            Console::Instance().Log(
                "PLAY step: walks on tile=" + TileText(k.mRun.mCurrentTile) + " at=" + std::to_string(now), LogGeneral);
            k.ChangeEffect(5, 30.0f);
        }
    }
    const bool alone = live > 0 && onlySteps;
    if (alone && !gAlone)
        Console::Instance().Log("PLAY alone: steps=" + std::to_string(live) + " at=" + std::to_string(now), LogGeneral);
    gAlone = alone;
    return live;
}

} // namespace

void RegisterTestWatch()
{
    const char* wanted = std::getenv("LOOM_TEST_INPUT");
    if (!wanted || std::string(wanted) != "1")
        return;
    Console& console = Console::Instance();
    console.RegisterCommand("TestRound", MakeFunctionCommand(&TestRound),
                            "Test watch: seeds the next round from LOOM_TEST_SEEDS; -1 when none is left");
    console.RegisterCommand("TestWatchLedge", MakeFunctionCommand(&TestWatchLedge),
                            "Test watch: logs the ledge moves first seen this round; how many of five");
    console.RegisterCommand("TestAimAtStep", MakeFunctionCommand(&TestAimAtStep),
                            "Test watch: the view over the first step; the claw's screen point over it");
    console.RegisterCommand("TestLastStep", MakeFunctionCommand(&TestLastStep),
                            "Test watch: kills all but the stackers, logs their steps; how many invaders live");
}

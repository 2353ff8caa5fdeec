// 500 invaders on a 64 x 64 map with wall lines: each frame every invader runs its whole
// per-frame update (Kestrane::Update: tile, status, pathing step, behaviour's think, tile count),
// and the bench moves them by their velocities. The reference is a breadth-first flow field
// from the walkable tiles around the tower's footprint, rebuilt every frame, with a next-tile
// lookup per invader. Reports our time over the reference's ("ratio", goal <= 5), the tiles the
// field reached, and the allocations per frame (goal 0); both run in the same benchmark run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "bench/BenchCogs.h"
#include "bench/BenchLogic.h"
#include "bench/CountingNew.h"
#include "bench/PairedRun.h"
#include "bench/ThreadClock.h"
#include "game/behaviors/Behaviors.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"

namespace {
constexpr int kSide = 64;
constexpr int kInvaders = 500;
constexpr float kScale = 4.0f;
constexpr float kDt = 1.0f / 60.0f;

// Calls f(index) for each of the up to four tiles beside (x, z) on the grid.
template <typename F>
void ForEachNeighbour(int32_t x, int32_t z, F f)
{
    constexpr int32_t kDx[4] = {1, -1, 0, 0};
    constexpr int32_t kDz[4] = {0, 0, 1, -1};
    for (int d = 0; d < 4; ++d)
    {
        const int32_t nx = x + kDx[d];
        const int32_t nz = z + kDz[d];
        if (nx >= 0 && nz >= 0 && nx < kSide && nz < kSide)
            f(nz * kSide + nx);
    }
}

// The reference: distances from the tower tile over the walkable tiles, then the neighbour
// with the smallest distance for each invader.
struct FlowField
{
    std::vector<int32_t> mDistance = std::vector<int32_t>(kSide * kSide, -1);
    std::vector<int32_t> mQueue = std::vector<int32_t>(kSide * kSide, 0);

    // Goals are walkable tiles; returns the number of tiles reached.
    int32_t Build(const std::vector<uint8_t>& blocked, const std::vector<int32_t>& goals)
    {
        std::fill(mDistance.begin(), mDistance.end(), -1);
        int32_t head = 0;
        int32_t tail = 0;
        for (int32_t goal : goals)
        {
            mDistance[size_t(goal)] = 0;
            mQueue[size_t(tail++)] = goal;
        }
        while (head < tail)
        {
            const int32_t at = mQueue[size_t(head++)];
            ForEachNeighbour(at % kSide, at / kSide, [&](int32_t next) {
                if (blocked[size_t(next)] || mDistance[size_t(next)] >= 0)
                    return;
                mDistance[size_t(next)] = mDistance[size_t(at)] + 1;
                mQueue[size_t(tail++)] = next;
            });
        }
        return tail;
    }
    int32_t Next(int32_t x, int32_t z) const
    {
        int32_t best = z * kSide + x;
        int32_t bestDistance = mDistance[size_t(best)] < 0 ? 1 << 30 : mDistance[size_t(best)];
        ForEachNeighbour(x, z, [&](int32_t i) {
            if (mDistance[size_t(i)] >= 0 && mDistance[size_t(i)] < bestDistance)
            {
                best = i;
                bestDistance = mDistance[size_t(i)];
            }
        });
        return best;
    }
};

void BM_InvaderPathing(benchmark::State& state)
{
    // The invaders' update reads the game clock and stands still without an engine.
    EngineConfig::Instance() = EngineConfig();
    CoreEngine engine(nullptr, LoomFactories{});
    engine.Start();
    gCoreEngine = &engine;
    CogFactory& cogs = CogFactory::Instance();
    std::unique_ptr<LogicLoom> logic = StartLogic(cogs);
    MakeType(cogs, "BenchLevel", {1, TileMap::kTypeId});
    MakeType(cogs, "BenchTower", {1, TileComp::kTypeId, 405});
    MakeType(cogs, "BenchWall", {1, TileComp::kTypeId, 104});
    MakeType(cogs, "BenchInvader", {1, Kestrane::kTypeId});

    Cog* level = cogs.Allocate("BenchLevel");
    TileMap& map = *level->Get<TileMap>();
    map.widthSize = kSide;
    map.depthSize = kSide;
    map.mWorldOffset = Vector3(0.0f, 0.0f, 0.0f);
    map.mWorldTileScale = Vector3(kScale, kScale, kScale);
    level->Initialize();
    // Named before it starts: the manager files a cog under its name when it is initialised, and
    // the invaders find their target by that name.
    Cog* tower = cogs.Allocate("BenchTower");
    tower->SetName("Tower");
    tower->Get<Positional>()->StorePosition(map.TileToWorldAligned(32, 60, 4, 4));
    tower->Get<Positional>()->UpdateQuadTree();
    tower->Initialize();
    std::vector<uint8_t> blocked(kSide * kSide, 0);
    for (int32_t line = 0; line < 3; ++line)
        for (int32_t x = 8 + line * 6; x < 40 + line * 6; ++x)
        {
            const int32_t z = 20 + line * 12;
            CreateAt(cogs, "BenchWall", map.TileToWorld(x, z));
            blocked[size_t(z) * kSide + size_t(x)] = 1;
        }
    for (int32_t x = 30; x < 34; ++x)
        for (int32_t z = 58; z < 62; ++z)
            blocked[size_t(z) * kSide + size_t(x)] = 1;

    RandomSeed(5);
    std::vector<Kestrane*> invaders;
    for (int i = 0; i < kInvaders; ++i)
    {
        const Vector3 at = map.TileToWorld(RandomInt(0, kSide - 1), RandomInt(0, 16)) + Vector3(0.0f, 1.0f, 0.0f);
        Cog* cog = CreateAt(cogs, "BenchInvader", at);
        Kestrane* k = cog->Get<Kestrane>();
        k->mAvoidWall = i % 2 == 0;
        k->ChangeState(StateAdvance);
        invaders.push_back(k);
    }
    FlowField field;
    // The walkable tiles touching the tower's footprint, where an invader stands to attack it.
    std::vector<int32_t> goals;
    for (int32_t z = 57; z <= 62; ++z)
        for (int32_t x = 29; x <= 34; ++x)
            if (z >= 0 && z < kSide && !blocked[size_t(z) * kSide + size_t(x)])
                goals.push_back(z * kSide + x);
    int32_t reached = 0;

    // One frame first, so pools and tables reach their size before anything is counted.
    std::vector<int32_t> airborne(invaders.size(), 0);
    // Which invaders walked at some frame: without a target they all stand still, and the
    // frame would time their idle state.
    std::vector<uint8_t> walked(invaders.size(), 0);
    // The bench's part, not timed: move each invader by its velocity and land a hop half a
    // second later (there is no physics here).
    auto move = [&]() {
        engine.GetGameClock().Tick();
        for (size_t i = 0; i < invaders.size(); ++i)
        {
            Kestrane* k = invaders[i];
            Positional& at = k->Pos();
            walked[i] |= uint8_t(!at.GetVelocity().IsZero());
            Vector3 p = at.GetPosition() + at.GetVelocity() * kDt;
            p.y = 1.0f;
            at.SetPosition(p);
            k->mRun.mCurrentTile = map.WorldToTile(p, 1, 1);
            if (k->GetState() == StateAirborne && ++airborne[i] >= 30)
            {
                airborne[i] = 0;
                at.SetVelocity(Vector3());
                k->ChangeState(StateAdvance);
            }
        }
    };
    // The timed part: the invader component's whole update, for each invader.
    auto frame = [&]() {
        for (Kestrane* k : invaders)
            k->Update();
    };
    // Every ten seconds the crowd starts over at the far side, so the frames keep a mix of
    // walking, detouring, jumping and attacking rather than a heap at the tower.
    auto restart = [&]() {
        for (size_t i = 0; i < invaders.size(); ++i)
        {
            Kestrane* k = invaders[i];
            k->Pos().SetPosition(map.TileToWorld(RandomInt(0, kSide - 1), RandomInt(0, 16)) +
                                 Vector3(0.0f, 1.0f, 0.0f));
            k->Pos().SetVelocity(Vector3());
            k->mRun.mCurrentTile = map.WorldToTile(k->Pos().GetPosition(), 1, 1);
            k->ChangeState(StateAdvance);
            airborne[i] = 0;
        }
    };
    move();
    frame();
    RunPaired(
        state, "flowfield_us", ThreadSeconds,
        [&](long frames) {
            if (frames % 600 == 0)
                restart();
            move();
        },
        frame,
        [&] {
            reached = field.Build(blocked, goals);
            int32_t sum = 0;
            for (Kestrane* k : invaders)
                sum += field.Next(k->mRun.mCurrentTile.first % kSide, k->mRun.mCurrentTile.second % kSide);
            benchmark::DoNotOptimize(sum);
        });
    state.counters["tiles_reached"] = double(reached);
    const long moving = std::count(walked.begin(), walked.end(), uint8_t(1));
    state.counters["moving"] = double(moving);
    if (moving < kInvaders / 2)
        state.SkipWithError(("only " + std::to_string(moving) + " of the invaders moved").c_str());
    cogs.DestroyAll();
    logic.reset();
    gCoreEngine = nullptr;
}
BENCHMARK(BM_InvaderPathing)->Unit(benchmark::kMicrosecond);
} // namespace

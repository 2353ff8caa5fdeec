#include "game/invaders/Pathings.h"

#include <algorithm>
#include <cstdlib>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/InvaderGroup.h"
#include "game/invaders/Kestrane.h"
#include "game/invaders/PathingTools.h"
#include "game/level/TileComp.h"
#include "game/traps/TrapData.h"
#include "physics/CollisionComp.h"
#include "physics/RegionComp.h"

bool StandardPathing::DetourFirst(Kestrane& k, TileMap& map, TileIndex tile, int32_t& result)
{
    if (k.mRun.mState == StateDetour || IsBlocked(map, tile, k))
    {
        result = StateDetour;
        return true;
    }
    return false;
}

void StandardPathing::Evaluate(Kestrane& k, TileIndex tile, int32_t& result)
{
    TileMap* map = CurrentTileMap();
    if (!map || DetourFirst(k, *map, tile, result))
        return;
    if (map->GetTile(tile.first, tile.second).occupant && HeightDiff(*map, k.mRun.mCurrentTile, tile) > 1)
    {
        result = StateAttack;
        k.mRun.mTargetTile = tile;
        return;
    }
    result = StateFollowTarget;
}

void StandardPathing::ProbeSides(Kestrane& k, TileIndex tile, int32_t& result)
{
    const int32_t dx = tile.first - k.mRun.mCurrentTile.first;
    const int32_t dz = tile.second - k.mRun.mCurrentTile.second;
    TileIndex a, b;
    if (dx != 0 && dz != 0)
    {
        a = {tile.first, k.mRun.mCurrentTile.second};
        b = {k.mRun.mCurrentTile.first, tile.second};
    }
    else if (dx != 0)
    {
        a = {tile.first, tile.second - 1};
        b = {tile.first, tile.second + 1};
    }
    else
    {
        a = {tile.first - 1, tile.second};
        b = {tile.first + 1, tile.second};
    }
    if (result == StateFollowTarget)
        Evaluate(k, a, result);
    if (result == StateFollowTarget)
        Evaluate(k, b, result);
}

void StandardPathing::FindTower(Kestrane& k) { AimAtTower(k, CurrentTileMap(), ::FindTower()); }

void StandardPathing::AimAtTower(Kestrane& k, TileMap* map, Cog* tower)
{
    if (map)
        k.mRun.mCurrentTile = map->WorldToTile(k.Pos().GetPosition(), 1, 1);
    if (!tower)
    {
        k.ChangeState(StateNoTower);
        return;
    }
    if (map)
        k.mRun.mTargetTile = TowerTile(*map, *tower);
}

bool StandardPathing::WaitWithoutTower(Kestrane& k, const Cog* tower)
{
    if (tower)
        return false;
    if (k.mRun.mState != StateNoTower)
        k.ChangeState(StateNoTower);
    return true;
}

bool StandardPathing::JumpUpTo(Kestrane& k, TileMap& map, TileIndex ahead)
{
    if (HeightDiff(map, k.mRun.mCurrentTile, ahead) != 1 || k.mRun.mState == StateSpecial)
        return false;
    // The jump goes up onto the tile seen, not along the march: a step is one tile, and a walker
    // passing it at a slant would come down beside it.
    FaceToward(k.Pos(), TileCentre(map, ahead));
    k.mRun.mHighJump = true;
    k.ChangeState(StateJump);
    return true;
}

bool StandardPathing::ClimbStepBeside(Kestrane& k, TileMap& map, TileIndex ahead)
{
    const TileIndex at = k.mRun.mCurrentTile;
    if (k.mRun.mState == StateSpecial || HeightDiff(map, at, ahead) != 2 ||
        !map.GetTile(ahead.first, ahead.second).occupant)
        return false;
    // A stacker standing as a step raises its bare tile one level; one beside the walker and the
    // stone is the way up, though the march passes it at a slant.
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dz = -1; dz <= 1; ++dz)
        {
            const TileIndex step{at.first + dx, at.second + dz};
            if ((dx == 0 && dz == 0) || step == ahead || std::abs(step.first - ahead.first) > 1 ||
                std::abs(step.second - ahead.second) > 1 || !map.InBounds(step.first, step.second) ||
                map.GetTile(step.first, step.second).occupant)
                continue;
            if (JumpUpTo(k, map, step))
                return true;
        }
    return false;
}

int32_t StandardPathing::EvaluateAhead(Kestrane& k, Tile& here, TileIndex ahead)
{
    if (!here.occupant && here.subHeight > 1)
        here.subHeight = 0;
    int32_t result = k.mRun.mState;
    Evaluate(k, ahead, result);
    return result;
}

bool StandardPathing::KeepDetour(Kestrane& k, int32_t result)
{
    if (result != StateDetour)
        return false;
    if (k.mRun.mState != StateDetour)
        k.ChangeState(StateDetour);
    return true;
}

void StandardPathing::Step(Kestrane& k)
{
    if (k.mRun.mState == StateAirborne || k.mRun.mState == StateGrabbed)
    {
        // The jump's forward push lasts only while the jumper is off the ground. It is measured
        // per thirtieth of a second of game time: given per frame, a faster machine's jumps flew
        // twice as far and overshot the step they were for.
        if (k.mRun.mJumping && GameNow() - k.mRun.mLastGroundContact > 0.06f)
        {
            const double frames = gCoreEngine ? gCoreEngine->GetGameClock().GetDt() * 30.0 : 1.0;
            HopInvader(k, k.Pos().GetOrientation().GetForward(),
                       0.15f * static_cast<float>(std::clamp(frames, 0.0, 3.0)), 0.0f, 0.0f);
        }
        if (k.mRun.mGroup)
        {
            if (k.IsLeader())
                k.mRun.mGroup->Disband();
            else
                k.mRun.mGroup->RemoveMember(&k);
        }
        return;
    }
    TileMap* mapPtr = CurrentTileMap();
    if (!mapPtr)
        return;
    TileMap& map = *mapPtr;
    Tile& here = map.GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second);
    if (!here.passable)
        SendDamage(*k.GetOwner(), DamageInfo{0, -k.mCurHP, 5});
    // Looked up once: nothing in the step renames or deletes cogs, so the retargeting below
    // sees the same tower.
    Cog* tower = ::FindTower();
    if (WaitWithoutTower(k, tower))
        return;
    const Vector3 position = k.Pos().GetPosition();
    const Vector3 forward = ForwardOf(k.Pos().GetOrientation());
    const float radius = k.Pos().GetLocalSphere().radius;
    const TileIndex a = TileBeforeBody(map, position, forward, radius, 1.0f);
    const Tile& ahead = map.GetTile(a.first, a.second);
    // A special move under way (a stacker standing as a step, a ninja backing off for its leap)
    // is not given up for those that climb past it.
    if (k.mRun.mState != StateSpecial && a != k.mRun.mCurrentTile && ahead.invaderCount > 0 && ahead.subHeight != 1)
    {
        if (k.mRun.mState == StateDetour)
            k.mRun.mDetourCount = 30;
        k.mRun.mHighJump = false;
        k.ChangeState(StateJump);
        return;
    }
    const float scale = here.subHeight == 1 ? 1.0f : 0.65f;
    const TileIndex b = TileBeforeBody(map, position, forward, radius, scale);
    if (JumpUpTo(k, map, b) || ClimbStepBeside(k, map, b))
        return;
    int32_t result = EvaluateAhead(k, here, b);
    const bool entered = k.mRun.mCurrentTile != k.mRun.mLastTile;
    if (entered)
    {
        // The invader's own count moves with it; the component keeps it on one tile.
        k.CountOnTile(k.mRun.mCurrentTile);
        if (k.mRun.mState == StateDetour)
            k.mRun.mDetourCount += 1;
    }
    k.mRun.mLastTile = k.mRun.mCurrentTile;
    if (KeepDetour(k, result))
        return;
    if (result == StateFollowTarget)
    {
        const TileIndex remembered = k.mRun.mTargetTile;
        int32_t side = StateFollowTarget;
        ProbeSides(k, b, side);
        if (side != StateSpecial && here.subHeight != 1)
            result = side;
        else
            k.mRun.mTargetTile = remembered;
    }
    if (entered)
        OnEnterTile(k, result);
    if (result != k.mRun.mState)
        k.ChangeState(result);
    // Aiming twice in a row gives the same tiles, so one aim serves both reasons.
    if (result == StateFollowTarget &&
        (k.mRun.mCurrentTile == k.mRun.mTargetTile ||
         TileDistanceSquared(k.mRun.mTargetTile, k.mRun.mCurrentTile) > 25))
        AimAtTower(k, &map, tower);
}

namespace {
// The leaps and the stacked step clear exactly two levels: a ninja's hop or one stacked body
// reaches no higher, so taller walls are broken or, when they block, walked round.
constexpr int32_t kSpecialStep = 2;

bool WithinSpecialReach(int32_t diff) { return diff == kSpecialStep; }

// A kind in the middle of its special move stays in it whatever the tile ahead holds.
bool KeepSpecial(const Kestrane& k, int32_t& result)
{
    if (k.mRun.mState != StateSpecial)
        return false;
    result = StateSpecial;
    return true;
}

class BasicPathing final : public StandardPathing
{
};

class IdlePathing final : public StandardPathing
{
public:
    void Step(Kestrane& k) override
    {
        switch (k.mRun.mState)
        {
        case StateFollowTarget:
        case StateAttack:
        case StateSpecial:
        case StateJump:
        case StateDetour:
            k.ChangeState(StateAdvance);
            break;
        default:
            break;
        }
    }
};

class SeekNearbyPathing final : public StandardPathing
{
public:
    void OnEnterTile(Kestrane& k, int32_t&) override
    {
        TileMap* map = CurrentTileMap();
        if (!map || k.mRun.mState == StateAttack)
            return;
        float best = 99.9f;
        for (int32_t dx = -3; dx <= 3; ++dx)
            for (int32_t dz = -3; dz <= 3; ++dz)
            {
                const TileIndex t{k.mRun.mCurrentTile.first + dx, k.mRun.mCurrentTile.second + dz};
                const Tile& tile = map->GetTile(t.first, t.second);
                if (!tile.occupant || HeightDiff(*map, k.mRun.mCurrentTile, k.mRun.mTargetTile) <= 1)
                    continue;
                if (IsTowerCog(OccupantCog(tile)))
                {
                    k.mRun.mTargetTile = t;
                    return;
                }
                const float d = static_cast<float>(dx * dx + dz * dz);
                if (tile.subHeight != 0 && d < best)
                {
                    best = d;
                    k.mRun.mTargetTile = t;
                }
            }
    }
};

class RandomPathing final : public StandardPathing
{
public:
    explicit RandomPathing(bool attacks) : mAttacks(attacks) {}
    void Step(Kestrane& k) override
    {
        TileMap* map = CurrentTileMap();
        if (!map || !(k.mRun.mState == StateAdvance || k.mRun.mCurrentTile == k.mRun.mTargetTile))
            return;
        static const std::string kLevel = "Level";
        if (!CogFactory::Instance().FindCogByName(kLevel))
        {
            k.ChangeState(StateSpecial);
            return;
        }
        constexpr TileIndex kSteps[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        bool tried[4] = {false, false, false, false};
        for (int32_t picks = 0; picks < 4;)
        {
            const int32_t i = RandomInt(0, 3);
            if (tried[i])
                continue;
            tried[i] = true;
            ++picks;
            const TileIndex c{k.mRun.mCurrentTile.first + kSteps[i].first,
                              k.mRun.mCurrentTile.second + kSteps[i].second};
            if (map->IsAreaFree(c.first, c.second, 1, 1))
            {
                k.mRun.mLastTile = k.mRun.mCurrentTile;
                k.mRun.mTargetTile = c;
                k.ChangeState(StateFollowTarget);
                return;
            }
            if (mAttacks && map->GetTile(c.first, c.second).occupant)
            {
                k.mRun.mLastTile = k.mRun.mCurrentTile;
                k.mRun.mTargetTile = c;
                k.ChangeState(StateAttack);
                return;
            }
        }
        k.ChangeState(StateSpecial);
    }

private:
    bool mAttacks;
};

class StackerPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        TileMap* map = CurrentTileMap();
        if (!map || DetourFirst(k, *map, tile, result))
            return;
        if (!map->GetTile(tile.first, tile.second).occupant)
        {
            result = StateFollowTarget;
            return;
        }
        if (KeepSpecial(k, result))
            return;
        const int32_t diff = HeightDiff(*map, k.mRun.mCurrentTile, tile);
        // A wide body sees the stone from a tile short of it; it walks up to it first, or the
        // step would stand apart from the stone with a gap no one climbs.
        const bool beside = std::abs(tile.first - k.mRun.mCurrentTile.first) <= 1 &&
            std::abs(tile.second - k.mRun.mCurrentTile.second) <= 1;
        // One whose step outlived its climbers breaks through instead of standing again.
        if (WithinSpecialReach(diff) && beside && !k.mRun.mStepEnded)
        {
            result = StateSpecial;
            // It becomes the step beside the obstacle: the tile it stands on, facing it.
            k.mRun.mTargetTile = tile;
        }
        else if (diff < 2 || (diff == 2 && !k.mRun.mStepEnded))
            result = StateFollowTarget;
        else
        {
            result = StateAttack;
            k.mRun.mTargetTile = tile;
        }
    }
};

class BomberPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        if (!KeepSpecial(k, result))
            StandardPathing::Evaluate(k, tile, result);
    }
};

class NinjaPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        if (KeepSpecial(k, result))
            return;
        StandardPathing::Evaluate(k, tile, result);
        TileMap* map = CurrentTileMap();
        // A blocked tile keeps its detour: the hop must not carry it onto a tile it may not enter.
        if (map && result != StateDetour && map->GetTile(tile.first, tile.second).occupant &&
            WithinSpecialReach(HeightDiff(*map, k.mRun.mCurrentTile, tile)))
            result = StateSpecial;
    }
};

class SpikerPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        static const std::string kCursor = "Cursor";
        if (Cog* cursor = CogFactory::Instance().FindCogByName(kCursor))
        {
            if (Positional* at = cursor->Get<Positional>())
            {
                Vector3 d = at->GetPosition() - k.Pos().GetPosition();
                if (d.x * d.x + d.z * d.z < 50.0f)
                {
                    k.Pos().SetVelocity(Vector3());
                    result = StateSpecial;
                    return;
                }
            }
        }
        StandardPathing::Evaluate(k, tile, result);
    }
};

class PsychicPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        TileMap* map = CurrentTileMap();
        if (!map || DetourFirst(k, *map, tile, result))
            return;
        Cog* occupant = OccupantCog(map->GetTile(tile.first, tile.second));
        if (!occupant || HeightDiff(*map, k.mRun.mCurrentTile, tile) <= 1)
        {
            result = StateFollowTarget;
            return;
        }
        k.mRun.mTargetTile = tile;
        const bool solid = CogHas(occupant, CollisionComp::kTypeId);
        // The mind lifts walls and traps; the tower, or a ledge stone, it breaks as others do.
        const bool liftable = solid && (IsWallCog(occupant) || CogHas(occupant, TrapData::kTypeId));
        if (IsTowerCog(occupant) || (solid && !liftable))
            result = StateAttack;
        else if (!solid)
            result = StateFollowTarget;
        else
        {
            result = StateSpecial;
            if (k.mRun.mState != StateSpecial)
                k.mRun.mPhase = 1;
        }
    }
};

// Digs under what it cannot cross and surfaces beside the tower.
class DrillerPathing final : public StandardPathing
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override
    {
        TileMap* map = CurrentTileMap();
        if (!map || KeepSpecial(k, result))
            return;
        const Tile& t = map->GetTile(tile.first, tile.second);
        if (IsTowerCog(OccupantCog(t)))
        {
            result = StateAttack;
            k.mRun.mTargetTile = tile;
            return;
        }
        const bool raised = map->GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second).subHeight > 0;
        if (t.passable && (!t.occupant || raised))
        {
            result = StateFollowTarget;
            return;
        }
        k.mRun.mTargetTile = k.mRun.mStartTile = tile;
        FaceToward(k.Pos(), TileCentre(*map, tile));
        result = StateSpecial;
    }

    void Step(Kestrane& k) override
    {
        if (k.mRun.mState == StateAirborne || k.mRun.mState == StateGrabbed)
        {
            StandardPathing::Step(k);
            return;
        }
        TileMap* mapPtr = CurrentTileMap();
        if (!mapPtr)
            return;
        TileMap& map = *mapPtr;
        Tile& here = map.GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second);
        // Digging, it survives under any tile.
        if (!here.passable && k.mRun.mState != StateSpecial)
            SendDamage(*k.GetOwner(), DamageInfo{0, -k.mCurHP, 5});
        if (WaitWithoutTower(k, ::FindTower()))
            return;
        const TileIndex b = TileAhead(map, k, 1.0f);
        if (JumpUpTo(k, map, b))
            return;
        int32_t result = EvaluateAhead(k, here, b);
        const bool entered = k.mRun.mCurrentTile != k.mRun.mLastTile;
        if (entered)
            OnEnterTile(k, result);
        k.mRun.mLastTile = k.mRun.mCurrentTile;
        if (KeepDetour(k, result))
            return;
        if (result == StateFollowTarget)
        {
            int32_t side = StateFollowTarget;
            ProbeSides(k, b, side);
            if (side != StateSpecial)
                result = side;
        }
        if (result != k.mRun.mState)
            k.ChangeState(result);
        if (result == StateFollowTarget)
            Retarget(k, map);
    }

private:
    static void Retarget(Kestrane& k, TileMap& map)
    {
        k.mRun.mCurrentTile = map.WorldToTile(k.Pos().GetPosition(), 1, 1);
        Cog* tower = ::FindTower();
        if (!tower)
        {
            k.ChangeState(StateSpecial);
            return;
        }
        k.mRun.mLastTile = k.mRun.mCurrentTile;
        if (k.mRun.mCurrentTile == k.mRun.mTargetTile)
            k.mRun.mTargetTile = TowerTile(map, *tower);
    }
};

class SquadPathing final : public StandardPathing
{
public:
    void OnEnterTile(Kestrane& k, int32_t&) override
    {
        if (k.mRun.mState != StateFollowTarget || !k.mRun.mGroup)
            return;
        Cog& self = *k.GetOwner();
        if (!CogHas(&self, RegionComp::kTypeId))
            return;
        RegionComp* region = self.Get<RegionComp>();
        CogFactory& cogs = CogFactory::Instance();
        for (uint32_t id : region->GetContacts())
        {
            Cog* cog = cogs.GetCog(id);
            if (!CogHas(cog, Kestrane::kTypeId))
                continue;
            Kestrane* other = cog->Get<Kestrane>();
            // One in the middle of its special move (a stacker standing as a step) keeps to it.
            if (!other->mRun.mGroup && other->mRun.mState != StateSpecial)
                k.mRun.mGroup->AddMember(other);
        }
    }
};

BasicPathing gBasic;
BasicPathing gKamikaze;
IdlePathing gIdle;
SeekNearbyPathing gSeekNearby;
RandomPathing gRandom(false);
RandomPathing gRandomAttack(true);
StackerPathing gStacker;
SpikerPathing gSpiker;
PsychicPathing gPsychic;
BomberPathing gBomber;
NinjaPathing gNinja;
DrillerPathing gDriller;
SquadPathing gSquad;
} // namespace

void RegisterPathingKinds(std::map<std::string, PathingBehavior*>& map)
{
    map["NoPathing"] = map["SeekWalls"] = map["FollowGroup"] = &gIdle;
    map["Simple"] = map["Miner"] = &gSeekNearby;
    map["Random"] = &gRandom;
    map["RandomAttack"] = map["SeekDanger"] = &gRandomAttack;
    map["Basic"] = &gBasic;
    map["Kamikaze"] = &gKamikaze;
    map["Stacker"] = &gStacker;
    map["Spiker"] = &gSpiker;
    map["Psychic"] = &gPsychic;
    map["Bomber"] = &gBomber;
    map["Ninja"] = &gNinja;
    map["Driller"] = &gDriller;
    map["Squad"] = &gSquad;
}

#include "game/invaders/InvaderBehaviors.h"

#include <cmath>
#include <cstdlib>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "game/invaders/BehaviorSteps.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/InvaderGroup.h"
#include "game/invaders/Kestrane.h"
#include "game/invaders/PathingTools.h"
#include "game/level/TileComp.h"
#include "game/logic/EffectSeam.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/PhraseBank.h"
#include "game/logic/TerrainSeam.h"
#include "game/traps/TrapData.h"
#include "physics/CollisionComp.h"
#include "physics/PhysicsComp.h"

namespace {
constexpr const char* kSharedDeathMap = "Models/InvaderDM.lmf";

// Headless, an attack animation lasts this long.
constexpr float kHeadlessAttackLength = 1.0f;

// Directions of the detour walk by index, as (dx, dz); turning one way runs 0, 3, 1, 2.
constexpr TileIndex kDirs[4] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};
constexpr int32_t kTurnOne[4] = {3, 2, 0, 1};
constexpr int32_t kTurnOther[4] = {2, 3, 1, 0};

// The situations of walking on and of following the leader.
constexpr int32_t kAdvancePhrase = 6;
constexpr int32_t kFollowPhrase = 7;

int32_t FollowPhrase(const Kestrane& k) { return k.mRun.mGroup && !k.IsLeader() ? kFollowPhrase : kAdvancePhrase; }

TileIndex Add(TileIndex a, TileIndex d) { return {a.first + d.first, a.second + d.second}; }

int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }

// Two neighbours of `from` beside the step toward `to`.
std::pair<TileIndex, TileIndex> SideTiles(TileIndex from, TileIndex to)
{
    const int32_t dx = Sign(to.first - from.first);
    const int32_t dz = Sign(to.second - from.second);
    if (dx != 0 && dz != 0)
        return {{from.first + dx, from.second}, {from.first, from.second + dz}};
    if (dx == 0 && dz == 0)
        return {{from.first - 1, from.second}, {from.first + 1, from.second}};
    // Right-hand side first, turning with the step.
    return {{from.first + dz, from.second - dx}, {from.first - dz, from.second + dx}};
}

int32_t HeadingToward(TileIndex from, TileIndex to)
{
    const int32_t dx = to.first - from.first;
    const int32_t dz = to.second - from.second;
    if (std::abs(dx) >= std::abs(dz) && dx != 0)
        return dx > 0 ? 3 : 2;
    return dz >= 0 ? 0 : 1;
}

// Steps along the obstacle from the current tile until nearer the tower than at the start.
int32_t WallFollowLength(TileMap& map, Kestrane& k, TileIndex first, bool side, TileIndex tower)
{
    constexpr int32_t kMaxSteps = 20;
    TileIndex at = k.mRun.mCurrentTile;
    int32_t heading = HeadingToward(at, first);
    const int32_t start = TileDistanceSquared(at, tower);
    const bool keepAvoid = k.mAvoidWall;
    int32_t count = 0;
    while (count < kMaxSteps)
    {
        int32_t turns = 0;
        while (IsBlocked(map, Add(at, kDirs[heading]), k))
        {
            heading = side ? kTurnOne[heading] : kTurnOther[heading];
            if (++turns > 8)
            {
                k.mAvoidWall = keepAvoid;
                return kMaxSteps + 1;
            }
        }
        at = Add(at, kDirs[heading]);
        ++count;
        heading = side ? kTurnOther[heading] : kTurnOne[heading];
        if (TileDistanceSquared(at, tower) < start)
            break;
    }
    // Only a measurement: the walk may not change what the invader avoids.
    k.mAvoidWall = keepAvoid;
    return count < kMaxSteps ? count : kMaxSteps + 1;
}

bool PassesAttackTest(TileMap& map, TileIndex tile, Kestrane& k)
{
    Cog* occupant = OccupantCog(map.GetTile(tile.first, tile.second));
    if (!occupant)
        return false;
    return IsTowerCog(occupant) || (IsWallCog(occupant) && !k.mAvoidWall) ||
        (CogHas(occupant, CollisionComp::kTypeId) && CogHas(occupant, TrapData::kTypeId));
}

void FaceTarget(TileMap& map, Kestrane& k)
{
    k.mRun.mDetourCount += 2;
    FaceToward(Owner(k), TileCentre(map, k.mRun.mTargetTile));
}

// The detour's first step: the shorter way round decides the side; the invader then faces
// along it, so the obstacle stays on the side the walk keeps it on.
void StartDetour(TileMap& map, Kestrane& k, TileIndex ahead, std::pair<TileIndex, TileIndex> sides, TileIndex towerTile)
{
    auto free = [&](TileIndex t) { return !IsBlocked(map, t, k); };
    const int32_t one = WallFollowLength(map, k, ahead, false, towerTile);
    const int32_t two = WallFollowLength(map, k, ahead, true, towerTile);
    k.mRun.mDetourSide = two <= one;
    TileIndex travel = k.mRun.mDetourSide ? sides.first : sides.second;
    const TileIndex other = k.mRun.mDetourSide ? sides.second : sides.first;
    if (!free(travel) && free(other))
    {
        travel = other;
        k.mRun.mDetourSide = !k.mRun.mDetourSide;
    }
    if (free(travel))
    {
        k.mRun.mTargetTile = travel;
        FaceTarget(map, k);
    }
    k.mRun.mDetourTowerDistance = TileDistanceSquared(k.mRun.mCurrentTile, towerTile);
    k.mRun.mTargetTile = k.mRun.mLastTile = k.mRun.mStartTile = k.mRun.mCurrentTile;
    k.mRun.mPhase = 2;
}

// True while a tile round the invader, or its own, is blocked: the obstacle is still beside it.
bool BlockedAround(TileMap& map, Kestrane& k)
{
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dz = -1; dz <= 1; ++dz)
            if (IsBlocked(map, {k.mRun.mCurrentTile.first + dx, k.mRun.mCurrentTile.second + dz}, k))
                return true;
    return false;
}

// Walking round, it turns on the tower the moment it passes beside it.
void AttackTowerBeside(TileMap& map, Kestrane& k, std::pair<TileIndex, TileIndex> sides)
{
    for (TileIndex side : {sides.first, sides.second})
    {
        if (IsTowerCog(OccupantCog(map.GetTile(side.first, side.second))))
        {
            k.mRun.mTargetTile = side;
            k.ChangeState(StateAttack);
            return;
        }
    }
}

// Nearer the tower than where the detour began, with the way toward it and the walk's side
// open: the obstacle is behind it.
bool BackOnCourse(TileMap& map, Kestrane& k, std::pair<TileIndex, TileIndex> sides, TileIndex towerTile)
{
    const TileIndex s = k.mRun.mDetourSide ? sides.second : sides.first;
    const TileIndex toward{k.mRun.mCurrentTile.first + Sign(towerTile.first - k.mRun.mCurrentTile.first),
                           k.mRun.mCurrentTile.second + Sign(towerTile.second - k.mRun.mCurrentTile.second)};
    return TileDistanceSquared(k.mRun.mCurrentTile, towerTile) < k.mRun.mDetourTowerDistance && !IsBlocked(map, s, k) &&
        !IsBlocked(map, toward, k);
}

// Turns toward the walk's side until the tile ahead is open, then aims at the side tile or,
// when that is blocked, straight on. Boxed in, it gives up the detour and stops avoiding.
void TurnAlongObstacle(TileMap& map, Kestrane& k, TileIndex ahead, std::pair<TileIndex, TileIndex> sides)
{
    auto free = [&](TileIndex t) { return !IsBlocked(map, t, k); };
    TileIndex s = k.mRun.mDetourSide ? sides.second : sides.first;
    int32_t turns = 0;
    while (!free(ahead))
    {
        k.mRun.mTargetTile = s;
        FaceTarget(map, k);
        // Turned on the spot: the next tile ahead is the one the new facing points at.
        ahead = Add(k.mRun.mCurrentTile,
                    {Sign(s.first - k.mRun.mCurrentTile.first), Sign(s.second - k.mRun.mCurrentTile.second)});
        sides = SideTiles(k.mRun.mCurrentTile, ahead);
        s = k.mRun.mDetourSide ? sides.second : sides.first;
        if (++turns > 5)
        {
            k.ChangeState(StateAdvance);
            k.mAvoidWall = false;
            k.mAvoidTrap = false;
            k.mRun.mDetourCount = 30;
            return;
        }
    }
    k.mRun.mTargetTile = free(s) ? s : ahead;
}
} // namespace

// ---- the standard behaviour

void BasicInvader::Think(Kestrane& k)
{
    if (HasLanded(k))
    {
        k.ChangeState(StateAdvance);
        return;
    }
    if (k.mRun.mGroup && !k.IsLeader() && k.mRun.mState != StateFollowTarget && k.mRun.mState != StateGrabbed &&
        k.mRun.mState != StateAirborne)
        k.ChangeState(StateFollowTarget);
    Dispatch(k);
}

void BasicInvader::Dispatch(Kestrane& k)
{
    switch (k.mRun.mState)
    {
    case StateFollowTarget:
        FollowTarget(k);
        break;
    case StateAttack:
        Attack(k);
        break;
    case StateGrabbed:
        if (k.mRun.mGroup)
            k.mRun.mGroup->RemoveMember(&k);
        break;
    case StateSpecial:
        Special(k);
        break;
    case StateNoTower:
        Introduce(k);
        break;
    case StateJump:
        Jump(k);
        break;
    case StateDetour:
        Detour(k);
        break;
    default:
        break;
    }
}

bool BasicInvader::HasLanded(Kestrane& k)
{
    if (k.mRun.mState != StateParachute)
        return false;
    const Vector3& p = k.Pos().GetPosition();
    return p.y - GroundHeight(p.x, p.z) < 1.5f * k.Pos().GetRadius();
}

void BasicInvader::OnLanded(Kestrane& k)
{
    if (k.mRun.mParachuteCogId != Kestrane::kNoCog)
        CogFactory::Instance().DestroyById(k.mRun.mParachuteCogId);
    k.mRun.mParachuteCogId = Kestrane::kNoCog;
    if (PhysicsComp* physics = k.Physics())
    {
        physics->mUseDrag = false;
        physics->mDragCoefficient = 0.0f;
    }
}

void BasicInvader::Spawn(Kestrane& k)
{
    ModelSeam& models = SceneModels();
    TerrainSeam& terrain = SceneTerrain();
    models.SetAnimationActive(Owner(k), true);
    Animate(k, "Stand", true);
    models.SetAnimationRate(Owner(k), 1.0f);
    if (terrain.HasHeightMap())
        StandOnGround(k, 50.0f);
    if (PhysicsComp* physics = k.Physics())
    {
        physics->mUseDrag = true;
        physics->mDragCoefficient = 250.0f;
    }
    if (Cog* parachute = CogFactory::Instance().Create("Parachute"))
    {
        if (Positional* at = parachute->Get<Positional>())
        {
            at->SetPosition(k.Pos().GetPosition() + Vector3(0.0f, 1.0f, 0.0f));
            at->SetOrientation(k.Pos().GetOrientation());
        }
        k.mRun.mParachuteCogId = parachute->GetID();
        SendFollow(*parachute, Owner(k));
    }
    if (Cog* tower = FindTower())
    {
        if (Positional* at = tower->Get<Positional>())
            SteerCogToward(Owner(k), at->GetPosition(), 10.0f);
    }
    else
    {
        Vector3 d = RandomUnitVector();
        d.y = 0.0f;
        if (!d.IsZero())
            k.Pos().SetOrientation(Quat::FromDirection(d.Normalized()));
    }
}

void BasicInvader::ChangeState(Kestrane& k, int32_t newState)
{
    // Jumps and landings change states many times a frame: the seam, the cog and the
    // animation names are fetched and made once.
    static const std::string kWalk = "Walk";
    static const std::string kAttack = "Attack";
    static const std::string kStruggle = "Struggle";
    static const std::string kSpecial = "Special";
    ModelSeam& models = SceneModels();
    Cog& self = Owner(k);
    models.SetAnimationActive(self, true);
    if (!CurrentTileMap())
        return;
    switch (k.mRun.mState)
    {
    case StateAdvance:
    case StateGrabbed:
        k.mRun.mTargetTile = k.mRun.mCurrentTile;
        k.mRun.mJumping = false;
        models.PlayAnimation(self, kWalk, true);
        break;
    case StateFollowTarget:
    case StateAttack:
    case StateNoTower:
    case StateDetour:
        k.mRun.mJumping = false;
        models.PlayAnimation(self, kWalk, true);
        break;
    case StateAirborne:
    case StateSpecial:
        models.PlayAnimation(self, kWalk, true);
        break;
    case StateParachute:
        OnLanded(k);
        break;
    default:
        break;
    }
    models.SetAnimationActive(self, true);
    k.mRun.mStateTime = GameNow();
    k.mRun.mPhase = newState == StateAttack ? 1 : 0;
    // What it says (-1: nothing) and plays as it enters a state; walking to a tile, only a
    // member on its way to its leader speaks of following.
    struct Entry
    {
        int32_t state;
        int32_t phrase;
        const std::string& animation;
        bool loop;
    };
    static const Entry kEntries[] = {
        {StateAdvance, kAdvancePhrase, kWalk, true},
        {StateFollowTarget, kFollowPhrase, kWalk, true},
        {StateAttack, -1, kAttack, false},
        {StateGrabbed, 2, kStruggle, true},
        {StateAirborne, -1, kWalk, true},
        {StateSpecial, 4, kSpecial, false},
        {StateNoTower, 5, kSpecial, false},
    };
    for (const Entry& entry : kEntries)
    {
        if (entry.state != newState)
            continue;
        if (newState == StateGrabbed)
            SayPhraseInstead(k, entry.phrase);
        else if (newState == StateFollowTarget)
            SayPhrase(k, FollowPhrase(k));
        else if (entry.phrase >= 0)
            SayPhrase(k, entry.phrase);
        models.PlayAnimation(self, entry.animation, entry.loop);
        break;
    }
}

void BasicInvader::FollowTarget(Kestrane& k)
{
    TileMap* map = CurrentTileMap();
    if (!map)
        return;
    const float s = (!k.mRun.mGroup || k.IsLeader()) ? k.mMoveSpeed : k.mRun.mCurrentSpeed;
    SteerToTile(k.Pos(), *map, k.mRun.mTargetTile, SpeedFactor() * s);
}

void BasicInvader::Attack(Kestrane& k)
{
    TileMap* map = CurrentTileMap();
    if (map)
        AttackCycle(k, map->GetTileScale(), false);
}

void BasicInvader::AttackCycle(Kestrane& k, float reach, bool soundAtWindUp)
{
    TileMap* map = CurrentTileMap();
    if (!map)
        return;
    Cog& self = Owner(k);
    if (k.mRun.mHitTime < 0.0f)
    {
        const float length = SceneModels().AnimationLength(self, "Attack");
        k.mRun.mAttackDuration = length >= 0.0f ? length : kHeadlessAttackLength;
        k.mRun.mHitTime = k.mRun.mAttackDuration * 0.5f;
    }
    if (static_cast<float>(TileDistanceSquared(k.mRun.mCurrentTile, k.mRun.mTargetTile)) > reach)
    {
        k.ChangeState(StateAdvance);
        return;
    }
    const Vector3 centre = TileCentre(*map, k.mRun.mTargetTile);
    FaceToward(k.Pos(), centre);
    const Vector3 v = FlatTo(k, centre);
    const float distance = v.Length();
    Tile& tile = map->GetTile(k.mRun.mTargetTile.first, k.mRun.mTargetTile.second);
    const float elapsed = GameNow() - k.mRun.mStateTime;
    const float walk = SpeedFactor() * k.mMoveSpeed;
    switch (k.mRun.mPhase)
    {
    case 1:
        SetVelocity(k, distance > 1.0f ? v.Normalized() * walk : Vector3());
        if (elapsed > k.mRun.mHitTime)
        {
            k.mRun.mPhase = 2;
            if (soundAtWindUp)
                SendSound(self, "PlaySound3D", "Attack");
        }
        break;
    case 2:
    {
        SetVelocity(k, Vector3());
        k.mRun.mPhase = 3;
        if (Cog* occupant = OccupantCog(tile))
        {
            if (CogHas(occupant, TrapData::kTypeId))
            {
                TrapData* trap = occupant->Get<TrapData>();
                if (trap->curHP - k.mAttackStrength <= 0.0f)
                {
                    k.mRun.mTargetTile = tile.occupant->GetCenterTile();
                    k.ChangeState(StateFollowTarget);
                }
            }
            SendDamage(*occupant, DamageInfo{static_cast<int32_t>(self.GetID()), -k.mAttackStrength, 6});
        }
        if (!soundAtWindUp)
            SendSound(self, "PlaySound3D", "Attack");
        break;
    }
    case 3:
        SetVelocity(k, distance < k.mAttackDistance && distance > 1.0f ? v.Normalized() * walk : Vector3());
        if (elapsed > k.mRun.mAttackDuration)
        {
            SetVelocity(k, Vector3());
            if (map->GetTile(k.mRun.mTargetTile.first, k.mRun.mTargetTile.second).occupant)
                k.ChangeState(StateAttack);
        }
        break;
    default:
        break;
    }
}

void BasicInvader::Special(Kestrane& k) { SendSound(Owner(k), "PlaySound3D", "Special"); }

void BasicInvader::RandomHop(Kestrane& k, bool speak)
{
    ModelSeam& models = SceneModels();
    Cog& self = Owner(k);
    switch (k.mRun.mPhase)
    {
    case 0:
        models.SetAnimationActive(self, false);
        if (GameNow() - k.mRun.mStateTime > 0.5f)
            k.mRun.mPhase = 2;
        break;
    case 2:
    {
        // One hop in five comes with a shout.
        if (speak && RandomInt(0, 4) == 0)
            ShowSpeech(k, "I'm a " + k.mName + "!");
        const Vector3 f(RandomFloat(-100.0f, 100.0f), RandomFloat(500.0f, 550.0f), RandomFloat(-100.0f, 100.0f));
        if (PhysicsComp* physics = k.Physics())
        {
            physics->AddForce(f, f.Length());
            physics->SetSpinFromDirection(f.Normalized(), 10.0f);
            physics->mUseGravity = true;
            physics->mDisableRotation = false;
        }
        if (k.Speed() <= 1.0f)
            SetVelocity(k, k.Pos().GetVelocity() + f * 0.1f);
        k.mRun.mPhase = 3;
        break;
    }
    case 3:
        models.SetAnimationActive(self, true);
        k.ChangeState(StateAirborne);
        break;
    default:
        break;
    }
}

void BasicInvader::Introduce(Kestrane& k) { RandomHop(k, true); }

void BasicInvader::Jump(Kestrane& k)
{
    SetVelocity(k, Vector3());
    k.mRun.mJumping = true;
    k.mRun.mTargetTile = k.mRun.mCurrentTile;
    HopInvader(k, k.Pos().GetOrientation().GetForward(), 0.0f, k.mRun.mHighJump ? 30.0f : 25.0f, 0.0f);
}

void BasicInvader::Die(Kestrane& k)
{
    if (!CurrentTileMap())
        return;
    Cog* death = CogFactory::Instance().Create("InvaderDeath");
    k.UncountTile();
    if (!death)
        return;
    // The cloud takes the shape of the kind's own death model when it ships one.
    const std::string own = "Models/" + k.mName + "DM.lmf";
    SceneEffects().SetEmitterDistanceMap(*death, 0, FileExists(DataFilePath(own)) ? own : std::string(kSharedDeathMap));
    if (Positional* at = death->Get<Positional>())
    {
        at->SetPosition(k.Pos().GetPosition());
        at->SetOrientation(k.Pos().GetOrientation());
    }
    // Every death is heard: a marker that nothing set kept the bank's death sounds silent.
    SendSound(*death, "PlaySound3D", "Death");
    LogicLoom* logic = LogicLoom::Instance();
    if (!logic || !logic->mPhraseBank)
        return;
    std::string phrase = logic->mPhraseBank->PickPhrase(1, k);
    if (!phrase.empty())
        logic->mPhraseBank->ShowBubble("Data/Effects/DeathSpeechBubble.xml", static_cast<int32_t>(death->GetID()),
                                       std::move(phrase));
}

void BasicInvader::Detour(Kestrane& k)
{
    Cog* tower = FindTower();
    if (!tower)
    {
        k.ChangeState(StateAdvance);
        return;
    }
    TileMap* mapPtr = CurrentTileMap();
    if (!mapPtr)
        return;
    TileMap& map = *mapPtr;
    k.mRun.mTowerId = tower->GetID();
    const TileIndex towerTile = TowerTile(map, *tower);
    const TileIndex ahead = TileAhead(map, k, 1.0f);
    const auto sides = SideTiles(k.mRun.mCurrentTile, ahead);
    if (k.mRun.mPhase == 0)
        k.mRun.mPhase = 1;
    if (k.mRun.mPhase == 1)
    {
        StartDetour(map, k, ahead, sides, towerTile);
        return;
    }
    if (k.mRun.mPhase == 3)
    {
        k.mRun.mPhase = 0;
        k.ChangeState(StateAdvance);
        return;
    }
    if (k.mRun.mDetourCount > 30)
    {
        k.mAvoidWall = false;
        k.mAvoidTrap = false;
    }
    if (PassesAttackTest(map, k.mRun.mTargetTile, k))
    {
        k.mRun.mPhase = 0;
        k.ChangeState(StateAttack);
        return;
    }
    if (!BlockedAround(map, k))
    {
        k.mRun.mPhase = 3;
        return;
    }
    const bool targetBlocked = IsBlocked(map, k.mRun.mTargetTile, k);
    if (k.mRun.mCurrentTile != k.mRun.mTargetTile && !targetBlocked)
    {
        FollowTarget(k);
        AttackTowerBeside(map, k, sides);
        return;
    }
    if (BackOnCourse(map, k, sides, towerTile))
    {
        k.mRun.mPhase = 3;
        return;
    }
    TurnAlongObstacle(map, k, ahead, sides);
}

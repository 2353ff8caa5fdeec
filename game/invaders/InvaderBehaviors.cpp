#include "game/invaders/InvaderBehaviors.h"

#include <cmath>
#include <cstdlib>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/math/Random.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/InvaderGroup.h"
#include "game/invaders/Kestrane.h"
#include "game/invaders/PathingTools.h"
#include "game/level/TileComp.h"
#include "game/logic/SceneSeam.h"
#include "game/traps/TrapData.h"
#include "physics/CollisionComp.h"
#include "physics/PhysicsComp.h"

namespace {
// Headless, an attack animation lasts this long.
constexpr float kHeadlessAttackLength = 1.0f;

// Directions of the detour walk by index, as (dx, dz); turning one way runs 0, 3, 1, 2.
constexpr TileIndex kDirs[4] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};
constexpr int32_t kTurnOne[4] = {3, 2, 0, 1};
constexpr int32_t kTurnOther[4] = {2, 3, 1, 0};

Cog& Owner(Kestrane& k)
{
    return *k.GetOwner();
}

void Animate(Kestrane& k, const char* name, bool loop)
{
    Scene().PlayAnimation(Owner(k), name, loop);
}

void SetVelocity(Kestrane& k, const Vector3& v)
{
    k.Pos().SetVelocity(v);
}

// The horizontal offset from the invader to the tile's centre.
Vector3 FlatTo(Kestrane& k, const Vector3& target)
{
    Vector3 v = target - k.Pos().GetPosition();
    v.y = 0.0f;
    return v;
}

void ReleaseFromCursor()
{
    static const std::string kCursor = "Cursor";
    if (Cog* cursor = CogFactory::Instance().FindCogByName(kCursor))
    {
        ParamBuffer params;
        params.PushBool(true);
        cursor->CallFunction("ReleaseGrabbed", params);
    }
}

CollisionComp* CollisionOf(Kestrane& k)
{
    Cog& cog = Owner(k);
    return CogHas(&cog, CollisionComp::kTypeId) ? static_cast<CollisionComp*>(cog.GetComponent(CollisionComp::kTypeId)) : nullptr;
}

Cog* CreateAtInvader(const std::string& name, Kestrane& k)
{
    return CogFactory::Instance().CreateAt(name, k.Pos().GetPosition());
}

void StandOnGround(Kestrane& k, float lift)
{
    Vector3 p = k.Pos().GetPosition();
    p.y = GroundHeight(p.x, p.z) + lift;
    k.Pos().SetPosition(p);
}

TileIndex Add(TileIndex a, TileIndex d)
{
    return {a.first + d.first, a.second + d.second};
}

int32_t Sign(int32_t v)
{
    return (v > 0) - (v < 0);
}

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
    TileIndex at = k.currentTile;
    int32_t heading = HeadingToward(at, first);
    const int32_t start = TileDistanceSquared(at, tower);
    const bool keepAvoid = k.AvoidWall;
    int32_t count = 0;
    while (count < kMaxSteps)
    {
        int32_t turns = 0;
        while (IsBlocked(map, Add(at, kDirs[heading]), k))
        {
            heading = side ? kTurnOne[heading] : kTurnOther[heading];
            if (++turns > 8)
            {
                k.AvoidWall = keepAvoid;
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
    k.AvoidWall = keepAvoid;
    return count < kMaxSteps ? count : kMaxSteps + 1;
}

bool PassesAttackTest(TileMap& map, TileIndex tile, Kestrane& k)
{
    Cog* occupant = OccupantCog(map.GetTile(tile.first, tile.second));
    if (!occupant)
        return false;
    return IsTowerCog(occupant) || (IsWallCog(occupant) && !k.AvoidWall) ||
           (CogHas(occupant, CollisionComp::kTypeId) && CogHas(occupant, TrapData::kTypeId));
}

void FaceTarget(TileMap& map, Kestrane& k)
{
    k.detourCount += 2;
    FaceToward(Owner(k), TileCentre(map, k.targetTile));
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
    if (k.group && !k.IsLeader() && k.state != StateFollowTarget && k.state != StateGrabbed && k.state != StateAirborne)
        k.ChangeState(StateFollowTarget);
    Dispatch(k);
}

void BasicInvader::Dispatch(Kestrane& k)
{
    switch (k.state)
    {
    case StateFollowTarget: FollowTarget(k); break;
    case StateAttack: Attack(k); break;
    case StateGrabbed:
        if (k.group)
            k.group->RemoveMember(&k);
        break;
    case StateSpecial: Special(k); break;
    case StateNoTower: Introduce(k); break;
    case StateJump: Jump(k); break;
    case StateDetour: Detour(k); break;
    default: break;
    }
}

bool BasicInvader::HasLanded(Kestrane& k)
{
    if (k.state != StateParachute)
        return false;
    const Vector3& p = k.Pos().GetPosition();
    return p.y - GroundHeight(p.x, p.z) < 1.5f * k.Pos().GetRadius();
}

void BasicInvader::OnLanded(Kestrane& k)
{
    if (k.parachuteCogId != Kestrane::kNoCog)
        CogFactory::Instance().des(k.parachuteCogId);
    k.parachuteCogId = Kestrane::kNoCog;
    if (PhysicsComp* physics = k.Physics())
    {
        physics->mUseDrag = false;
        physics->mDragCoefficient = 0.0f;
    }
}

void BasicInvader::Spawn(Kestrane& k)
{
    SceneSeam& scene = Scene();
    scene.SetAnimationActive(Owner(k), true);
    Animate(k, "Stand", true);
    scene.SetAnimationRate(Owner(k), 1.0f);
    if (scene.HasHeightMap())
        StandOnGround(k, 50.0f);
    if (PhysicsComp* physics = k.Physics())
    {
        physics->mUseDrag = true;
        physics->mDragCoefficient = 250.0f;
    }
    if (Cog* parachute = CogFactory::Instance().Create("Parachute"))
    {
        if (Positional* at = static_cast<Positional*>(parachute->GetComponent(1)))
        {
            at->SetPosition(k.Pos().GetPosition() + Vector3(0.0f, 1.0f, 0.0f));
            at->SetOrientation(k.Pos().GetOrientation());
        }
        k.parachuteCogId = parachute->GetID();
        SendFollow(*parachute, Owner(k));
    }
    if (Cog* tower = FindTower())
    {
        if (Positional* at = static_cast<Positional*>(tower->GetComponent(1)))
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
    SceneSeam& scene = Scene();
    scene.SetAnimationActive(Owner(k), true);
    if (!CurrentTileMap())
        return;
    switch (k.state)
    {
    case StateAdvance:
    case StateGrabbed:
        k.targetTile = k.currentTile;
        k.jumping = false;
        Animate(k, "Walk", true);
        break;
    case StateFollowTarget:
    case StateAttack:
    case StateNoTower:
    case StateDetour:
        k.jumping = false;
        Animate(k, "Walk", true);
        break;
    case StateAirborne:
    case StateSpecial:
        Animate(k, "Walk", true);
        break;
    case StateParachute:
        OnLanded(k);
        break;
    default:
        break;
    }
    scene.SetAnimationActive(Owner(k), true);
    k.stateTime = GameNow();
    k.phase = 0;
    switch (newState)
    {
    case StateAdvance: SayPhrase(k, 6); Animate(k, "Walk", true); break;
    case StateFollowTarget: SayPhrase(k, 7); Animate(k, "Walk", true); break;
    case StateAttack: k.phase = 1; Animate(k, "Attack", false); break;
    case StateGrabbed: SayPhrase(k, 2); Animate(k, "Struggle", true); break;
    case StateAirborne: Animate(k, "Walk", true); break;
    case StateSpecial: SayPhrase(k, 4); Animate(k, "Special", false); break;
    case StateNoTower: SayPhrase(k, 5); Animate(k, "Special", false); break;
    default: break;
    }
}

void BasicInvader::FollowTarget(Kestrane& k)
{
    TileMap* map = CurrentTileMap();
    if (!map)
        return;
    const float s = (!k.group || k.IsLeader()) ? k.MoveSpeed : k.currentSpeed;
    SteerCogToward(Owner(k), TileCentre(*map, k.targetTile), SpeedFactor() * s);
}

void BasicInvader::Attack(Kestrane& k)
{
    TileMap* map = CurrentTileMap();
    if (!map)
        return;
    Cog& self = Owner(k);
    if (k.hitTime < 0.0f)
    {
        const float length = Scene().AnimationLength(self, "Attack");
        k.attackDuration = length >= 0.0f ? length : kHeadlessAttackLength;
        k.hitTime = k.attackDuration * 0.5f;
    }
    if (static_cast<float>(TileDistanceSquared(k.currentTile, k.targetTile)) > map->GetTileScale())
    {
        k.ChangeState(StateAdvance);
        return;
    }
    const Vector3 centre = TileCentre(*map, k.targetTile);
    FaceToward(self, centre);
    const Vector3 v = FlatTo(k, centre);
    const float distance = v.Length();
    Tile& tile = map->GetTile(k.targetTile.first, k.targetTile.second);
    const float elapsed = GameNow() - k.stateTime;
    const float walk = SpeedFactor() * k.MoveSpeed;
    switch (k.phase)
    {
    case 1:
        SetVelocity(k, distance > 1.0f ? v.Normalized() * walk : Vector3());
        if (elapsed > k.hitTime)
            k.phase = 2;
        break;
    case 2:
    {
        SetVelocity(k, Vector3());
        k.phase = 3;
        if (Cog* occupant = OccupantCog(tile))
        {
            if (CogHas(occupant, TrapData::kTypeId))
            {
                TrapData* trap = static_cast<TrapData*>(occupant->GetComponent(TrapData::kTypeId));
                if (trap->curHP - k.AttackStrength <= 0.0f)
                {
                    k.targetTile = tile.occupant->GetCenterTile();
                    k.ChangeState(StateFollowTarget);
                }
            }
            SendDamage(*occupant, DamageInfo{static_cast<int32_t>(self.GetID()), -k.AttackStrength, 6});
        }
        SendSound(self, "PlaySound3D", "Attack");
        break;
    }
    case 3:
        SetVelocity(k, distance < k.AttackDistance && distance > 1.0f ? v.Normalized() * walk : Vector3());
        if (elapsed > k.attackDuration)
        {
            SetVelocity(k, Vector3());
            if (map->GetTile(k.targetTile.first, k.targetTile.second).occupant)
                k.ChangeState(StateAttack);
        }
        break;
    default:
        break;
    }
}

void BasicInvader::Special(Kestrane& k)
{
    SendSound(Owner(k), "PlaySound3D", "Special");
}

void BasicInvader::RandomHop(Kestrane& k, bool speak)
{
    SceneSeam& scene = Scene();
    Cog& self = Owner(k);
    switch (k.phase)
    {
    case 0:
        scene.SetAnimationActive(self, false);
        if (GameNow() - k.stateTime > 0.5f)
            k.phase = 2;
        break;
    case 2:
    {
        // One hop in five comes with a shout; the speech bubble that shows it belongs to the
        // phrase bank, so only the draw is kept here.
        if (speak)
            RandomInt(0, 4);
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
        k.phase = 3;
        break;
    }
    case 3:
        scene.SetAnimationActive(self, true);
        k.ChangeState(StateAirborne);
        break;
    default:
        break;
    }
}

void BasicInvader::Introduce(Kestrane& k)
{
    RandomHop(k, true);
}

void BasicInvader::Jump(Kestrane& k)
{
    SetVelocity(k, Vector3());
    k.jumping = true;
    k.targetTile = k.currentTile;
    HopInvader(k, k.Pos().GetOrientation().GetForward(), 0.0f, k.highJump ? 30.0f : 25.0f, 0.0f);
}

void BasicInvader::Die(Kestrane& k)
{
    if (!CurrentTileMap())
        return;
    Cog* death = CogFactory::Instance().Create("InvaderDeath");
    k.UncountTile();
    if (!death)
        return;
    if (Positional* at = static_cast<Positional*>(death->GetComponent(1)))
    {
        at->SetPosition(k.Pos().GetPosition());
        at->SetOrientation(k.Pos().GetOrientation());
    }
    if (k.deathSound == 1)
        SendSound(*death, "PlaySound3D", "Death");
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
    k.towerId = tower->GetID();
    const TileIndex towerTile = TowerTile(map, *tower);
    TileIndex ahead = TileAhead(map, k, 1.0f);
    auto sides = SideTiles(k.currentTile, ahead);
    auto free = [&](TileIndex t) { return !IsBlocked(map, t, k); };
    if (k.phase == 0)
        k.phase = 1;
    if (k.phase == 1)
    {
        // The shorter way round decides the side; the invader then faces along it, so the
        // obstacle stays on the side the walk keeps it on.
        const int32_t one = WallFollowLength(map, k, ahead, false, towerTile);
        const int32_t two = WallFollowLength(map, k, ahead, true, towerTile);
        k.detourSide = two <= one;
        TileIndex travel = k.detourSide ? sides.first : sides.second;
        const TileIndex other = k.detourSide ? sides.second : sides.first;
        if (!free(travel) && free(other))
        {
            travel = other;
            k.detourSide = !k.detourSide;
        }
        if (free(travel))
        {
            k.targetTile = travel;
            FaceTarget(map, k);
        }
        k.detourTowerDistance = TileDistanceSquared(k.currentTile, towerTile);
        k.targetTile = k.lastTile = k.startTile = k.currentTile;
        k.phase = 2;
        return;
    }
    if (k.phase == 3)
    {
        k.phase = 0;
        k.ChangeState(StateAdvance);
        return;
    }
    if (k.detourCount > 30)
    {
        k.AvoidWall = false;
        k.AvoidTrap = false;
    }
    if (PassesAttackTest(map, k.targetTile, k))
    {
        k.phase = 0;
        k.ChangeState(StateAttack);
        return;
    }
    bool anyBlocked = false;
    for (int32_t dx = -1; dx <= 1 && !anyBlocked; ++dx)
        for (int32_t dz = -1; dz <= 1 && !anyBlocked; ++dz)
            anyBlocked = !free({k.currentTile.first + dx, k.currentTile.second + dz});
    if (!anyBlocked)
    {
        k.phase = 3;
        return;
    }
    const bool targetBlocked = !free(k.targetTile);
    if (k.currentTile != k.targetTile && !targetBlocked)
    {
        FollowTarget(k);
        for (TileIndex side : {sides.first, sides.second})
        {
            if (IsTowerCog(OccupantCog(map.GetTile(side.first, side.second))))
            {
                k.targetTile = side;
                k.ChangeState(StateAttack);
                return;
            }
        }
        return;
    }
    TileIndex s = k.detourSide ? sides.second : sides.first;
    const TileIndex toward{k.currentTile.first + Sign(towerTile.first - k.currentTile.first),
                           k.currentTile.second + Sign(towerTile.second - k.currentTile.second)};
    if (TileDistanceSquared(k.currentTile, towerTile) < k.detourTowerDistance && free(s) && free(toward))
    {
        k.phase = 3;
        return;
    }
    int32_t turns = 0;
    while (!free(ahead))
    {
        k.targetTile = s;
        FaceTarget(map, k);
        // Turned on the spot: the next tile ahead is the one the new facing points at.
        ahead = Add(k.currentTile, {Sign(s.first - k.currentTile.first), Sign(s.second - k.currentTile.second)});
        sides = SideTiles(k.currentTile, ahead);
        s = k.detourSide ? sides.second : sides.first;
        if (++turns > 5)
        {
            k.ChangeState(StateAdvance);
            k.AvoidWall = false;
            k.AvoidTrap = false;
            k.detourCount = 30;
            return;
        }
    }
    k.targetTile = free(s) ? s : ahead;
}

// ---- kinds

namespace {
class BasicKind final : public BasicInvader {};

class NoBehaviorKind final : public BasicInvader
{
public:
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        BasicInvader::ChangeState(k, newState);
        Scene().SetAnimationActive(Owner(k), true);
        if (newState == StateGrabbed)
        {
            SayPhrase(k, 2);
            Animate(k, "Struggle", true);
        }
        else if (newState == StateAirborne)
            Animate(k, "Walk", true);
        else
        {
            SayPhrase(k, 6);
            Animate(k, "Stand", true);
        }
    }
};

class JumperKind final : public BasicInvader
{
public:
    void Special(Kestrane& k) override { RandomHop(k, false); }
};

class AntiGrabberKind final : public BasicInvader
{
public:
    void Think(Kestrane& k) override
    {
        // Lands first, so a parachuting AntiGrabber does not hang in state 9.
        if (HasLanded(k))
        {
            k.ChangeState(StateAdvance);
            return;
        }
        switch (k.state)
        {
        case StateFollowTarget: FollowTarget(k); break;
        case StateAttack: Attack(k); break;
        case StateSpecial: Special(k); break;
        case StateGrabbed:
            if (GameNow() - k.stateTime > 2.0f)
                ReleaseFromCursor();
            break;
        default: break;
        }
    }
};

class SpikerKind final : public BasicInvader
{
public:
    void Think(Kestrane& k) override
    {
        if (k.state != StateGrabbed)
        {
            BasicInvader::Think(k);
            return;
        }
        SetVelocity(k, Vector3());
        if (GameNow() - k.stateTime <= 2.0f)
            ReleaseFromCursor();
        else
            k.ChangeState(StateAdvance); // stored, so it does not freeze in state 3
    }
};

class KamikazeKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override { k.ChangeState(StateAdvance); }
    void OnLanded(Kestrane&) override {}
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        BasicInvader::ChangeState(k, newState);
        if (newState == StateAttack)
            Animate(k, "Special", false);
    }
    void Attack(Kestrane& k) override
    {
        TileMap* map = CurrentTileMap();
        if (!map)
            return;
        if (TileDistanceSquared(k.currentTile, k.targetTile) > 2 ||
            !map->GetTile(k.targetTile.first, k.targetTile.second).occupant)
        {
            k.ChangeState(StateAdvance);
            return;
        }
        const Vector3 centre = TileCentre(*map, k.targetTile);
        FaceToward(Owner(k), centre);
        if (k.phase == 1)
        {
            const Vector3 v = FlatTo(k, centre);
            SetVelocity(k, v.Length() > 1.0f ? v.Normalized() * (SpeedFactor() * k.MoveSpeed) : Vector3());
            k.phase = 2;
        }
        else if (k.phase == 2)
        {
            SetVelocity(k, Vector3());
            k.phase = 3;
            SendDamage(Owner(k), DamageInfo{0, k.CurHP * -2.0f, 5});
        }
    }
    void Die(Kestrane& k) override
    {
        CogFactory& cogs = CogFactory::Instance();
        if (Cog* blast = cogs.Allocate("KamikazeExplosion"))
        {
            if (Positional* at = static_cast<Positional*>(blast->GetComponent(1)))
                at->SetPosition(k.Pos().GetPosition());
            blast->Initialize();
        }
        BasicInvader::Die(k);
    }
};

class NinjaKind final : public BasicInvader
{
public:
    void OnLanded(Kestrane&) override {}
    void Spawn(Kestrane& k) override
    {
        StandOnGround(k, 0.5f);
        Animate(k, "Stand", true);
        Scene().SetAnimationRate(Owner(k), 1.0f);
        if (Cog* smoke = CreateAtInvader("NinjaSmoke", k))
            SendSound(*smoke, "PlaySound3D", "Poof");
    }
    void Special(Kestrane& k) override
    {
        SceneSeam& scene = Scene();
        const Vector3 forward = k.Pos().GetOrientation().GetForward();
        switch (k.phase)
        {
        case 0:
            k.hitTime = 2.0f;
            SetVelocity(k, Vector3());
            k.phase = 1;
            break;
        case 1:
            SetVelocity(k, forward * -2.0f);
            if (GameNow() - k.stateTime > 2.0f)
            {
                scene.SetAnimationActive(Owner(k), false);
                SetVelocity(k, Vector3());
                k.phase = 2;
            }
            break;
        case 2:
            k.jumping = true;
            k.phase = 3;
            HopInvader(k, forward, 15.0f, 35.0f, 5.0f);
            break;
        case 3:
            scene.SetAnimationActive(Owner(k), true);
            k.ChangeState(StateAirborne);
            break;
        default:
            break;
        }
    }
};

class StackerKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        StandOnGround(k, 100.0f);
        SetVelocity(k, RandomUnitVector() * 5.0f);
        Animate(k, "Stand", true);
        Scene().SetAnimationRate(Owner(k), 1.0f);
        k.settled = false;
    }
    void OnLanded(Kestrane& k) override
    {
        if (PhysicsComp* physics = k.Physics())
            physics->SetImpulse(Vector3());
        SetVelocity(k, Vector3());
        k.settled = true;
    }
    void Special(Kestrane& k) override { SetVelocity(k, Vector3()); }
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        TileMap* map = CurrentTileMap();
        if (k.state == StateSpecial && newState != StateSpecial)
        {
            if (CollisionComp* collision = CollisionOf(k))
                collision->SetActive(true);
            k.Pos().SetBoundingType(0);
            if (map)
                map->GetTile(k.currentTile.first, k.currentTile.second).subHeight -= 1;
        }
        BasicInvader::ChangeState(k, newState);
        if (newState == StateSpecial && k.state != StateSpecial)
        {
            if (CollisionComp* collision = CollisionOf(k))
                collision->SetActive(false);
            k.Pos().SetBoundingType(1);
            if (map)
            {
                FaceToward(Owner(k), TileCentre(*map, k.targetTile));
                k.Pos().SetPosition(TileCentre(*map, k.currentTile) + Vector3(0.0f, k.Pos().GetRadius(), 0.0f));
                map->GetTile(k.currentTile.first, k.currentTile.second).subHeight += 1;
            }
            SetVelocity(k, Vector3());
            Animate(k, "Special", false);
        }
    }
};

class PsychicKind final : public BasicInvader
{
public:
    void OnLanded(Kestrane&) override {}
    void Spawn(Kestrane& k) override
    {
        StandOnGround(k, 0.5f);
        Animate(k, "Stand", true);
        Scene().SetAnimationRate(Owner(k), 1.0f);
        if (Cog* sphere = CreateAtInvader("PsychicSphere", k))
            if (Positional* at = static_cast<Positional*>(sphere->GetComponent(1)))
                at->GetLocalSphere().radius = 1.1f;
    }
    void Special(Kestrane& k) override
    {
        TileMap* map = CurrentTileMap();
        if (!map)
            return;
        FaceToward(Owner(k), TileCentre(*map, k.targetTile));
        Tile& tile = map->GetTile(k.targetTile.first, k.targetTile.second);
        if (!tile.occupant)
        {
            k.ChangeState(StateAdvance);
            return;
        }
        switch (k.phase)
        {
        case 0: k.phase = 1; break;
        case 1:
            SetVelocity(k, Vector3());
            if (GameNow() - k.stateTime > 2.5f)
                k.phase = 2;
            break;
        case 2: Throw(k, *map, *tile.occupant); break;
        default: break;
        }
    }

private:
    static void Throw(Kestrane& k, TileMap& map, TileComp& footprint)
    {
        SetVelocity(k, Vector3());
        k.phase = 3;
        const int32_t w = footprint.widthSize;
        const int32_t d = footprint.depthSize;
        std::vector<TileIndex> places;
        for (int32_t dx = -2 * w; dx <= 2 * w; ++dx)
            for (int32_t dz = -2 * d; dz <= 2 * d; ++dz)
            {
                const TileIndex origin{footprint.tileX + dx, footprint.tileZ + dz};
                if (map.IsAreaFree(origin.first + w / 2, origin.second + d / 2, w, d))
                    places.push_back(origin);
            }
        if (places.empty())
        {
            k.ChangeState(StateAttack);
            return;
        }
        const TileIndex place = places[static_cast<size_t>(RandomInt(0, static_cast<int>(places.size()) - 1))];
        Positional* at = footprint.GetOwnerPositional();
        if (at)
            CogFactory::Instance().CreateAt("PsychicSphere", at->GetPosition());
        footprint.MoveTo(map.TileToWorldAligned(place.first + w / 2, place.second + d / 2, w, d));
        if (k.currentTile.first >= footprint.tileX && k.currentTile.first < footprint.tileX + w &&
            k.currentTile.second >= footprint.tileZ && k.currentTile.second < footprint.tileZ + d)
            SendDamage(Owner(k), DamageInfo{0, k.CurHP * -2.0f, 5});
        SendSound(Owner(k), "PlaySound3D", "Special");
        k.ChangeState(StateAdvance);
    }
};

class BomberKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        if (k.fuse < 0.0f)
            k.fuse = RandomFloat(20.0f, 90.0f);
        BasicInvader::Spawn(k);
    }
    void Think(Kestrane& k) override
    {
        if (k.state != StateGrabbed && k.state != StateAirborne)
        {
            const float old = k.fuse;
            k.fuse -= GameDt();
            for (int32_t mark = 0; mark <= 50; mark += 10)
            {
                const float t = static_cast<float>(mark);
                if (k.fuse < t && t < old)
                {
                    k.fuseMark = mark / 10;
                    if (mark == 0)
                        k.ChangeState(StateSpecial);
                    break;
                }
            }
        }
        BasicInvader::Think(k);
    }
    void Attack(Kestrane& k) override { Special(k); }
    void Special(Kestrane& k) override
    {
        SceneSeam& scene = Scene();
        switch (k.phase)
        {
        case 0:
            k.hitTime = 3.0f;
            k.phase = 1;
            break;
        case 1:
            if (GameNow() - k.stateTime > 3.0f)
            {
                scene.SetAnimationActive(Owner(k), false);
                k.phase = 2;
            }
            break;
        case 2:
            k.phase = 3;
            SendDamage(Owner(k), DamageInfo{0, -k.CurHP, 5});
            break;
        case 3:
            scene.SetAnimationActive(Owner(k), true);
            k.ChangeState(StateAirborne);
            break;
        default:
            break;
        }
    }
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        BasicInvader::ChangeState(k, newState);
        if (newState == StateAttack)
        {
            k.phase = 0;
            Animate(k, "Special", false);
        }
    }
    void Introduce(Kestrane&) override {}
    void Die(Kestrane& k) override
    {
        CreateAtInvader("BomberExplosion", k);
        BasicInvader::Die(k);
    }
};

class SquadKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        if (InvaderGroupList* list = CurrentGroupList())
            k.group = list->CreateGroup(&k);
        BasicInvader::Spawn(k);
    }
    void Think(Kestrane& k) override
    {
        BasicInvader::Think(k);
        if ((k.state == StateAttack || k.state == StateGrabbed || k.state == StateNoTower) && k.group)
            k.group->Disband();
    }
};

BasicKind gBasic;
NoBehaviorKind gNoBehavior;
JumperKind gJumper;
AntiGrabberKind gAntiGrabber;
SpikerKind gSpiker;
KamikazeKind gKamikaze;
NinjaKind gNinja;
StackerKind gStacker;
PsychicKind gPsychic;
BomberKind gBomber;
SquadKind gSquad;
} // namespace

void RegisterInvaderKinds(std::map<std::string, InvaderBehavior*>& map)
{
    map["Jumper"] = &gJumper;
    map["AntiGrabber"] = &gAntiGrabber;
    map["NoBehavior"] = &gNoBehavior;
    map["Basic"] = &gBasic;
    map["Stacker"] = &gStacker;
    map["Kamikaze"] = &gKamikaze;
    map["Ninja"] = &gNinja;
    map["Spiker"] = &gSpiker;
    map["Psychic"] = &gPsychic;
    map["Squad"] = &gSquad;
    map["Bomber"] = &gBomber;
}

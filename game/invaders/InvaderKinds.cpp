#include "game/invaders/InvaderBehaviors.h"

#include <cmath>
#include <vector>

#include "LOOM/console/Console.h"
#include "LOOM/math/Random.h"
#include "game/invaders/BehaviorSteps.h"
#include "game/invaders/InvaderGroup.h"
#include "game/invaders/PathingTools.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/ModelSeam.h"
#include "physics/PhysicsComp.h"

// The kinds: each replaces some operations of the standard behaviour.
namespace {
// Kinds that appear standing where they are put, with their own effect made at them.
Cog* AppearStanding(Kestrane& k, const std::string& effect)
{
    StandOnGround(k, 0.5f);
    Animate(k, "Stand", true);
    SceneModels().SetAnimationRate(Owner(k), 1.0f);
    return CreateAtInvader(effect, k);
}

class BasicKind final : public BasicInvader
{
};

class NoBehaviorKind final : public BasicInvader
{
public:
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        BasicInvader::ChangeState(k, newState);
        SceneModels().SetAnimationActive(Owner(k), true);
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
    // The arrival's hop, as high, but over what stands in its way: a hop to any side went back
    // as often as over the ledge, and the jumper hopped on the spot until a grunt broke through.
    void Special(Kestrane& k) override
    {
        if (k.mRun.mPhase != 2)
        {
            RandomHop(k, false);
            return;
        }
        Vector3 ahead = ForwardOf(k.Pos().GetOrientation());
        ahead.y = 0.0f;
        ahead = ahead.Length() > 1e-3f ? ahead.Normalized() : Vector3(1.0f, 0.0f, 0.0f);
        const Vector3 side(-ahead.z, 0.0f, ahead.x);
        const Vector3 f = ahead * RandomFloat(60.0f, 100.0f) + side * RandomFloat(-30.0f, 30.0f) +
            Vector3(0.0f, RandomFloat(500.0f, 550.0f), 0.0f);
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
    }
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
        // Of the standard state actions it keeps only walking, attacking and its special.
        switch (k.mRun.mState)
        {
        case StateFollowTarget:
        case StateAttack:
        case StateSpecial:
            Dispatch(k);
            break;
        case StateGrabbed:
            if (GameNow() - k.mRun.mStateTime > 2.0f)
                ReleaseFromCursor();
            break;
        default:
            break;
        }
    }
};

class SpikerKind final : public BasicInvader
{
public:
    void Think(Kestrane& k) override
    {
        if (k.mRun.mState != StateGrabbed)
        {
            BasicInvader::Think(k);
            return;
        }
        SetVelocity(k, Vector3());
        if (GameNow() - k.mRun.mStateTime <= 2.0f)
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
        if (TileDistanceSquared(k.mRun.mCurrentTile, k.mRun.mTargetTile) > 2 ||
            !map->GetTile(k.mRun.mTargetTile.first, k.mRun.mTargetTile.second).occupant)
        {
            k.ChangeState(StateAdvance);
            return;
        }
        const Vector3 centre = TileCentre(*map, k.mRun.mTargetTile);
        FaceToward(Owner(k), centre);
        if (k.mRun.mPhase == 1)
        {
            const Vector3 v = FlatTo(k, centre);
            SetVelocity(k, v.Length() > 1.0f ? v.Normalized() * (SpeedFactor() * k.mMoveSpeed) : Vector3());
            k.mRun.mPhase = 2;
        }
        else if (k.mRun.mPhase == 2)
        {
            SetVelocity(k, Vector3());
            k.mRun.mPhase = 3;
            SendDamage(Owner(k), DamageInfo{0, k.mCurHP * -2.0f, 5});
        }
    }
    void Die(Kestrane& k) override
    {
        CogFactory& cogs = CogFactory::Instance();
        if (Cog* blast = cogs.Allocate("KamikazeExplosion"))
        {
            if (Positional* at = blast->Get<Positional>())
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
        if (Cog* smoke = AppearStanding(k, "NinjaSmoke"))
            SendSound(*smoke, "PlaySound3D", "Poof");
    }
    void Special(Kestrane& k) override
    {
        ModelSeam& models = SceneModels();
        const Vector3 forward = k.Pos().GetOrientation().GetForward();
        switch (k.mRun.mPhase)
        {
        case 0:
            k.mRun.mHitTime = 2.0f;
            SetVelocity(k, Vector3());
            k.mRun.mPhase = 1;
            break;
        case 1:
            SetVelocity(k, forward * -2.0f);
            if (GameNow() - k.mRun.mStateTime > 2.0f)
            {
                models.SetAnimationActive(Owner(k), false);
                SetVelocity(k, Vector3());
                k.mRun.mPhase = 2;
            }
            break;
        case 2:
            k.mRun.mJumping = true;
            k.mRun.mPhase = 3;
            HopInvader(k, forward, 15.0f, 35.0f, 5.0f);
            break;
        case 3:
            models.SetAnimationActive(Owner(k), true);
            k.ChangeState(StateAirborne);
            break;
        default:
            break;
        }
    }
};

class StackerKind final : public BasicInvader
{
    // Where a stacker stands as a step: on its tile's centre.
    static Vector3 StepSpot(Kestrane& k, const TileMap& map)
    {
        return TileCentre(map, k.mRun.mCurrentTile) + Vector3(0.0f, k.Pos().GetRadius(), 0.0f);
    }

    // Another invader still on its way to the step: farther from the tower than the step (a
    // tile's grace), and not standing as a step itself.
    static bool AnyoneBehind(Kestrane& k, const Vector3& tower, float tile)
    {
        const DataController* data = CurrentDataController();
        if (!data)
            return true;
        const auto flat = [&](const Vector3& p) { return std::hypot(p.x - tower.x, p.z - tower.z); };
        const float step = flat(k.Pos().GetPosition());
        for (Comp* comp : data->mInvaders)
        {
            const Kestrane& other = *static_cast<const Kestrane*>(comp);
            if (&other == &k || other.IsDead() || !other.GetOwnerPositional())
                continue;
            if (other.mBehaviorName == "Stacker" && other.mRun.mState == StateSpecial)
                continue;
            if (flat(other.GetOwnerPositional()->GetPosition()) > step - tile)
                return true;
        }
        return false;
    }

    // A step no one is left to climb ends, or the level would wait for ever on its last
    // invader: once none has been behind it for longer than the waves of a level come apart.
    static bool StepOutlived(Kestrane& k)
    {
        Cog* tower = FindTower();
        const Positional* at = tower ? tower->Get<Positional>() : nullptr;
        const TileMap* map = CurrentTileMap();
        if (!at || !map || AnyoneBehind(k, at->GetPosition(), map->GetTileScale()))
        {
            k.mRun.mStepAloneSince = -1.0f;
            return false;
        }
        const float now = GameNow();
        if (k.mRun.mStepAloneSince < 0.0f || k.mRun.mStepAloneSince > now)
            k.mRun.mStepAloneSince = now;
        return now - k.mRun.mStepAloneSince > kStepWait;
    }

    static constexpr float kStepWait = 15.0f;

public:
    void Spawn(Kestrane& k) override
    {
        StandOnGround(k, 100.0f);
        SetVelocity(k, RandomUnitVector() * 5.0f);
        Animate(k, "Stand", true);
        SceneModels().SetAnimationRate(Owner(k), 1.0f);
        k.mRun.mSettled = false;
    }
    void OnLanded(Kestrane& k) override
    {
        if (PhysicsComp* physics = k.Physics())
            physics->SetImpulse(Vector3());
        SetVelocity(k, Vector3());
        k.mRun.mSettled = true;
    }
    void Special(Kestrane& k) override
    {
        SetVelocity(k, Vector3());
        if (StepOutlived(k))
        {
            // It breaks through the stone it stood before, as a grunt does, and walks on.
            k.mRun.mStepEnded = true;
            const TileIndex stone = k.mRun.mTargetTile;
            k.ChangeState(StateAttack);
            k.mRun.mTargetTile = stone;
            Console::Instance().Log("A stacker's step is left with no one to climb it: it walks on", LogGeneral);
            return;
        }
        // With its collision off the ground does not hold it up: it is held on its tile, where
        // the traps and the claw reach it.
        if (TileMap* map = CurrentTileMap())
        {
            const Vector3 spot = StepSpot(k, *map);
            if (!(k.Pos().GetPosition() == spot))
                k.Pos().SetPosition(spot);
        }
    }
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        TileMap* map = CurrentTileMap();
        if (k.mRun.mState == StateSpecial && newState != StateSpecial)
        {
            if (CollisionComp* collision = CollisionOf(k))
                collision->SetActive(true);
            k.Pos().SetBoundingType(0);
            if (map)
                map->GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second).subHeight -= 1;
        }
        BasicInvader::ChangeState(k, newState);
        if (newState == StateSpecial && k.mRun.mState != StateSpecial)
        {
            if (CollisionComp* collision = CollisionOf(k))
                collision->SetActive(false);
            k.Pos().SetBoundingType(1);
            if (map)
            {
                FaceToward(Owner(k), TileCentre(*map, k.mRun.mTargetTile));
                k.Pos().SetPosition(StepSpot(k, *map));
                map->GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second).subHeight += 1;
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
        if (Cog* sphere = AppearStanding(k, "PsychicSphere"))
            if (Positional* at = sphere->Get<Positional>())
                at->GetLocalSphere().radius = 1.1f;
    }
    void Special(Kestrane& k) override
    {
        TileMap* map = CurrentTileMap();
        if (!map)
            return;
        FaceToward(Owner(k), TileCentre(*map, k.mRun.mTargetTile));
        Tile& tile = map->GetTile(k.mRun.mTargetTile.first, k.mRun.mTargetTile.second);
        if (!tile.occupant)
        {
            k.ChangeState(StateAdvance);
            return;
        }
        switch (k.mRun.mPhase)
        {
        case 0:
            k.mRun.mPhase = 1;
            break;
        case 1:
            SetVelocity(k, Vector3());
            if (GameNow() - k.mRun.mStateTime > 2.5f)
                k.mRun.mPhase = 2;
            break;
        case 2:
            Throw(k, *map, *tile.occupant);
            break;
        default:
            break;
        }
    }

private:
    static void Throw(Kestrane& k, TileMap& map, TileComp& footprint)
    {
        SetVelocity(k, Vector3());
        k.mRun.mPhase = 3;
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
        if (k.mRun.mCurrentTile.first >= footprint.tileX && k.mRun.mCurrentTile.first < footprint.tileX + w &&
            k.mRun.mCurrentTile.second >= footprint.tileZ && k.mRun.mCurrentTile.second < footprint.tileZ + d)
            SendDamage(Owner(k), DamageInfo{0, k.mCurHP * -2.0f, 5});
        SendSound(Owner(k), "PlaySound3D", "Special");
        k.ChangeState(StateAdvance);
    }
};

class BomberKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        if (k.mRun.mFuse < 0.0f)
            k.mRun.mFuse = RandomFloat(20.0f, 90.0f);
        BasicInvader::Spawn(k);
    }
    void Think(Kestrane& k) override
    {
        if (k.mRun.mState != StateGrabbed && k.mRun.mState != StateAirborne)
        {
            const float old = k.mRun.mFuse;
            k.mRun.mFuse -= GameDt();
            for (int32_t mark = 0; mark <= 50; mark += 10)
            {
                const float t = static_cast<float>(mark);
                if (k.mRun.mFuse < t && t < old)
                {
                    k.mRun.mFuseMark = mark / 10;
                    ShowSpeech(k, std::to_string(k.mRun.mFuseMark));
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
        ModelSeam& models = SceneModels();
        switch (k.mRun.mPhase)
        {
        case 0:
            k.mRun.mHitTime = 3.0f;
            k.mRun.mPhase = 1;
            break;
        case 1:
            if (GameNow() - k.mRun.mStateTime > 3.0f)
            {
                models.SetAnimationActive(Owner(k), false);
                k.mRun.mPhase = 2;
            }
            break;
        case 2:
            k.mRun.mPhase = 3;
            SendDamage(Owner(k), DamageInfo{0, -k.mCurHP, 5});
            break;
        case 3:
            models.SetAnimationActive(Owner(k), true);
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
            k.mRun.mPhase = 0;
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

class DrillerKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        StandOnGround(k, 0.5f);
        Animate(k, "Special2", false);
    }
    // It has landed once its digging-out animation has played; headless, at once.
    bool HasLanded(Kestrane& k) override
    {
        return k.mRun.mState == StateParachute && !SceneModels().IsAnimationActive(Owner(k));
    }
    void OnLanded(Kestrane&) override {}
    void Attack(Kestrane& k) override { AttackCycle(k, 2.0f, true); }
    void ChangeState(Kestrane& k, int32_t newState) override
    {
        if (k.mRun.mState == StateAttack)
            SendSound(Owner(k), "StopSound", "Attack");
        BasicInvader::ChangeState(k, newState);
    }
    void Special(Kestrane& k) override
    {
        TileMap* map = CurrentTileMap();
        Cog* tower = FindTower();
        if (!map || !tower)
            return;
        Cog& self = Owner(k);
        Positional& at = k.Pos();
        const float elapsed = GameNow() - k.mRun.mStateTime;
        switch (k.mRun.mPhase)
        {
        case 0:
            Animate(k, "Special1", false);
            SendSound(self, "PlaySound3D", "Special1");
            SetVelocity(k, Vector3());
            k.mRun.mPhase = 1;
            break;
        case 1:
            if (elapsed > 1.5f)
            {
                if (PhysicsComp* physics = k.Physics())
                    physics->SetImpulse(Vector3());
                if (CollisionComp* collision = CollisionOf(k))
                    collision->SetActive(false);
                k.mRun.mPhase = 2;
            }
            break;
        case 2:
        {
            // Underground: sunk below the terrain, heading for the tower's tile.
            Vector3 p = at.GetPosition();
            p.y = GroundHeight(p.x, p.z) - 20.0f;
            at.SetPosition(p);
            const TileIndex goal = TowerTile(*map, *tower);
            SteerToward(at, TileCentre(*map, goal), SpeedFactor() * k.mMoveSpeed);
            Vector3 v = at.GetVelocity();
            v.y = 0.0f;
            at.SetVelocity(v);
            const TileIndex ahead = TileAhead(*map, k, 1.0f);
            if (IsTowerCog(OccupantCog(map->GetTile(ahead.first, ahead.second))))
                Surface(k, *map);
            break;
        }
        case 3:
            if (elapsed > k.mRun.mHitTime)
                k.ChangeState(StateFollowTarget);
            break;
        default:
            break;
        }
    }

private:
    static void Surface(Kestrane& k, TileMap& map)
    {
        Cog& self = Owner(k);
        Positional& at = k.Pos();
        at.SetPosition(TileCentre(map, k.mRun.mCurrentTile) + Vector3(0.0f, at.GetRadius(), 0.0f));
        if (CollisionComp* collision = CollisionOf(k))
            collision->SetActive(true);
        // Coming up inside an object is fatal; on open ground it walks on.
        if (map.GetTile(k.mRun.mCurrentTile.first, k.mRun.mCurrentTile.second).occupant)
            SendDamage(self, DamageInfo{0, k.mCurHP * -10.0f, 5});
        // The dig was for the tower: it walks on toward it.
        if (Cog* tower = FindTower())
            k.mRun.mTargetTile = TowerTile(map, *tower);
        SteerToward(at, TileCentre(map, k.mRun.mTargetTile), SpeedFactor() * k.mMoveSpeed);
        Animate(k, "Special2", false);
        SendSound(self, "PlaySound3D", "Special2");
        // Walks on for 1.5 s after surfacing.
        k.mRun.mHitTime = GameNow() - k.mRun.mStateTime + 1.5f;
        k.mRun.mPhase = 3;
    }
};

class SquadKind final : public BasicInvader
{
public:
    void Spawn(Kestrane& k) override
    {
        if (InvaderGroupList* list = CurrentGroupList())
            k.mRun.mGroup = list->CreateGroup(&k);
        BasicInvader::Spawn(k);
    }
    void Think(Kestrane& k) override
    {
        BasicInvader::Think(k);
        if ((k.mRun.mState == StateAttack || k.mRun.mState == StateGrabbed || k.mRun.mState == StateNoTower) &&
            k.mRun.mGroup)
            k.mRun.mGroup->Disband();
    }
};

BasicKind gBasic;
DrillerKind gDriller;
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
    map["Driller"] = &gDriller;
    map["Squad"] = &gSquad;
    map["Bomber"] = &gBomber;
}

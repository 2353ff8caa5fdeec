#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "game/level/TileMap.h"
#include "game/logic/LogicLoom.h"
#include "physics/CollisionData.h"

class CogFactory;
class InvaderBehavior;
class InvaderGroup;
class PathingBehavior;
class PhysicsComp;

// Invader states.
enum InvaderState : int32_t
{
    StateAdvance = 0,
    StateFollowTarget = 1,
    StateAttack = 2,
    StateGrabbed = 3,
    StateAirborne = 4,
    StateSpecial = 5,
    StateNoTower = 6,
    StateJump = 7,
    StateDetour = 8,
    StateParachute = 9,
};

// Status effects ("EffectState").
enum EffectState : int32_t
{
    EffectNone = 0,
    EffectDumb = 1,
    EffectBlind = 2,
    EffectMetallic = 3,
    EffectOnFire = 4,
    EffectPoisoned = 5,
};

// An invader (type id 100): its data and state, its frame (pathing step, then behaviour), its
// damage, collisions, upright turn after a tumble and one status effect at a time.
class Kestrane : public Comp
{
public:
    static constexpr uint32_t kTypeId = 100;
    static constexpr uint32_t kNoCog = 0xFFFFFFFFu;

    Kestrane();
    // Runs no strategy code: it leaves its group, gives back mass, speed, tile count and the
    // effect cog, and reports its removal.
    ~Kestrane() override;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Kestrane"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // Messages.
    void Update();
    void Damage(DamageInfo d);
    void CollideMap(CollisionData data);
    void CollideObj(int32_t otherId, CollisionData data);
    void Hop(float strength);
    void ChangeState(int32_t newState);
    void ChangeEffect(int32_t effect, float duration);

    int32_t GetState() const { return state; }
    int32_t GetStatusEffect() const { return statusEffect; }
    void SetBehavior(const std::string& name);
    void SetPathing(const std::string& name);
    PhysicsComp* Physics() const;
    Positional& Pos() const { return *GetOwnerPositional(); }
    float Speed() const;
    bool IsDead() const { return CurHP <= 0.0f; }
    bool IsLeader() const;

    // The invader counts on at most one tile; the helpers move or drop that count.
    void CountOnTile(TileIndex tile);
    void UncountTile();
    // Counts on the current tile while it stands there (not grabbed, airborne, parachuting or
    // stacked), else uncounts. Inline: every invader runs it every frame.
    void SyncTileCount()
    {
        // A stacked Stacker is part of the ground and a digging Driller is under it.
        const bool stacked = state == StateSpecial && (BehaviorName == "Stacker" || BehaviorName == "Driller");
        const bool standing = !IsDead() && state != StateGrabbed && state != StateAirborne && state != StateParachute && !stacked;
        if (standing)
            CountOnTile(currentTile);
        else if (mCountedMapId != 0)
            UncountTile();
    }
    bool IsCounted() const { return mCountedMapId != 0; }
    TileIndex CountedTile() const { return mCountedTile; }

    // Run-time state every frame reads, kept together at the front of the object.
    int32_t state = StateParachute;
    int32_t phase = 0;
    InvaderBehavior* behavior = nullptr;
    PathingBehavior* pathing = nullptr;
    InvaderGroup* group = nullptr;
    TileIndex currentTile{-1, -1};
    TileIndex targetTile{-1, -1};
    TileIndex lastTile{-1, -1};
    float stateTime = 0.0f;
    float lastGroundContact = 0.0f;
    int32_t detourCount = 0;
    bool jumping = false;
    bool highJump = false;

private:
    // Here rather than below: the tile count is synced every frame.
    uint32_t mCountedMapId = 0;  // the map cog the tile count is on; 0 when not counted
    TileIndex mCountedTile{-1, -1};

public:
    // Serialized (numbers first: the frame reads them).
    float CurHP = 10.0f;
    float MaxHP = 10.0f;
    float MoveHeight = 5.0f;
    float MoveSpeed = 10.0f;
    float AttackStrength = 10.0f;
    float AttackSpeed = 10.0f;
    float AttackDistance = 10.0f;
    float CreditWorth = 5.0f;
    float RotationResetRate = 1.0f;
    bool PermanentStatusEffect = false;
    bool AvoidWall = false;
    bool AvoidTrap = false;
    std::string Name;
    std::string PathingName = "Basic";
    std::string BehaviorName = "Basic";

    // Other run-time state.
    float hitTime = -0.25f;
    float attackDuration = -1.0f;
    TileIndex startTile{-1, -1};
    float currentSpeed = 10.0f;
    DamageInfo fatalDamage;
    bool damageTinted = false;
    float damageTintTime = 0.0f;
    Color savedColor{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t statusEffect = EffectNone;
    float effectStartTime = 0.0f;
    float effectDuration = 0.0f;
    uint32_t effectCogId = kNoCog;
    bool reactsToCollisions = true;
    bool rotationResetActive = false;
    float rotationStartTime = 0.0f;
    Quat rotationFrom;
    Quat rotationTo;
    uint32_t parachuteCogId = kNoCog;
    bool settled = true;
    bool detourSide = false;
    uint32_t towerId = 0; // the "Tower" cog the last detour step saw, by ID
    float fuse = -1.0f;
    int32_t fuseMark = -1; // the Bomber's last count-down mark shown
    int32_t searchRadius = 0;
    int32_t deathSound = 0;
    int32_t detourTowerDistance = 0;

private:
    void UpdateStatusEffect();
    void UpdateDamageTint();
    void UpdateTumble();
    bool ResetRotation();
    void CheckHitSound(const CollisionData& data);
    void EnterTumbleFromArrival();
    void ClearEffect(bool restoreMaterial);
    void RestoreMaterial();
    void SpawnEffectCog(const char* file);
    float Now() const;

    bool mFatal = false;
    bool mCounted = false;       // counted in the live invaders of mGeneration
    uint32_t mGeneration = 0;
};

void RegisterKestrane(CogFactory& cogs);

// The level's tile map, or null.
inline TileMap* CurrentTileMap()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic ? logic->mTileMap : nullptr;
}
// The game clock's time and frame time, 0 without an engine.
inline float GameNow()
{
    return gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetTime()) : 0.0f;
}
inline float GameDt()
{
    return gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetDt()) : 0.0f;
}
// The ground height under a point: the current physics ground, else 0.
float GroundHeight(float x, float z);

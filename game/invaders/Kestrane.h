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
#include "physics/collision/CollisionData.h"

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

    int32_t GetState() const { return mRun.mState; }
    int32_t GetStatusEffect() const { return mRun.mStatusEffect; }
    void SetBehavior(const std::string& name);
    void SetPathing(const std::string& name);
    PhysicsComp* Physics() const;
    Positional& Pos() const { return *GetOwnerPositional(); }
    float Speed() const;
    bool IsDead() const { return mCurHP <= 0.0f; }
    bool IsLeader() const;

    // The invader counts on at most one tile; the helpers move or drop that count.
    void CountOnTile(TileIndex tile);
    void UncountTile();
    // Counts on the current tile while it stands there (not grabbed, airborne, parachuting or
    // stacked), else uncounts. Inline: every invader runs it every frame.
    void SyncTileCount()
    {
        // A stacked Stacker is part of the ground and a digging Driller is under it.
        const int32_t state = mRun.mState;
        const bool stacked = state == StateSpecial && (mBehaviorName == "Stacker" || mBehaviorName == "Driller");
        const bool standing =
            !IsDead() && state != StateGrabbed && state != StateAirborne && state != StateParachute && !stacked;
        if (standing)
            CountOnTile(mRun.mCurrentTile);
        else if (mCountedMapId != 0)
            UncountTile();
    }
    bool IsCounted() const { return mCountedMapId != 0; }
    TileIndex CountedTile() const { return mCountedTile; }

    // Run-time state: set by the frame, the messages and the behaviours, never serialized.
    struct RunState
    {
        // What every frame reads first, kept together.
        int32_t mState = StateParachute;
        int32_t mPhase = 0;
        InvaderBehavior* mBehavior = nullptr;
        PathingBehavior* mPathing = nullptr;
        InvaderGroup* mGroup = nullptr;
        TileIndex mCurrentTile{-1, -1};
        TileIndex mTargetTile{-1, -1};
        TileIndex mLastTile{-1, -1};
        float mStateTime = 0.0f;
        float mLastGroundContact = 0.0f;
        int32_t mDetourCount = 0;
        bool mJumping = false;
        bool mHighJump = false;

        float mHitTime = -0.25f;
        float mAttackDuration = -1.0f;
        TileIndex mStartTile{-1, -1};
        float mCurrentSpeed = 10.0f;
        DamageInfo mFatalDamage;
        bool mDamageTinted = false;
        float mDamageTintTime = 0.0f;
        Color mSavedColor{1.0f, 1.0f, 1.0f, 1.0f};
        int32_t mStatusEffect = EffectNone;
        float mEffectStartTime = 0.0f;
        float mEffectDuration = 0.0f;
        uint32_t mEffectCogId = kNoCog;
        bool mReactsToCollisions = true;
        bool mRotationResetActive = false;
        float mRotationStartTime = 0.0f;
        Quat mRotationFrom;
        Quat mRotationTo;
        uint32_t mParachuteCogId = kNoCog;
        bool mSettled = true;
        bool mDetourSide = false;
        uint32_t mTowerId = 0; // the "Tower" cog the last detour step saw, by ID
        float mFuse = -1.0f;
        int32_t mFuseMark = -1; // the Bomber's last count-down mark shown
        int32_t mSearchRadius = 0;
        int32_t mDetourTowerDistance = 0;
        // A stacker's step: since when no one is left who could climb it (below 0: someone
        // is), and whether it gave up being a step for good.
        float mStepAloneSince = -1.0f;
        bool mStepEnded = false;
    };
    RunState mRun;

    // Serialized under the names of their fields.
    float mCurHP = 10.0f;
    float mMaxHP = 10.0f;
    float mMoveHeight = 5.0f;
    float mMoveSpeed = 10.0f;
    float mAttackStrength = 10.0f;
    float mAttackSpeed = 10.0f;
    float mAttackDistance = 10.0f;
    float mCreditWorth = 5.0f;
    float mRotationResetRate = 1.0f;
    bool mPermanentStatusEffect = false;
    bool mAvoidWall = false;
    bool mAvoidTrap = false;
    std::string mName;
    std::string mPathingName = "Basic";
    std::string mBehaviorName = "Basic";

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

    uint32_t mCountedMapId = 0; // the map cog the tile count is on; 0 when not counted
    TileIndex mCountedTile{-1, -1};
    bool mCounted = false; // counted in the live invaders of mGeneration
    uint32_t mGeneration = 0;
};

void RegisterKestrane(CogFactory& cogs);

// The game clock's time and frame time, 0 without an engine.
inline float GameNow() { return gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetTime()) : 0.0f; }
inline float GameDt() { return gCoreEngine ? static_cast<float>(gCoreEngine->GetGameClock().GetDt()) : 0.0f; }
// The ground height under a point: the current physics ground, else 0.
float GroundHeight(float x, float z);

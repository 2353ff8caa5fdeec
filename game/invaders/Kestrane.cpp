#include "game/invaders/Kestrane.h"

#include <algorithm>
#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/behaviors/BehaviorRegistry.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/InvaderGroup.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/ModelSeam.h"
#include "physics/PhysicsComp.h"
#include "physics/collision/Ground.h"

namespace {
class KestraneFactory : public CompFactoryOf<Kestrane>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::Damage));
        composer.BindMessage("CollideObj", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::CollideObj));
        composer.BindMessage("CollideMap", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::CollideMap));
        composer.BindMessage("Hop", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::Hop));
        composer.BindMessage("ChangeState", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::ChangeState));
        composer.BindMessage("ChangeEffect", MakeCompFunctor(Kestrane::kTypeId, &Kestrane::ChangeEffect));
        composer.AddOwnedUpdate(MakeCompFunctor(Kestrane::kTypeId, &Kestrane::Update));
    }
};

KestraneFactory gKestraneFactory;

constexpr Color kHitTint{1.0f, 0.25f, 0.25f, 1.0f};
constexpr float kDefaultRadius = 1.0f;

uint32_t MapCogId(TileMap& map) { return map.GetOwner() ? map.GetOwner()->GetID() : 0; }
} // namespace

void RegisterKestrane(CogFactory& cogs) { cogs.Types().RegisterComponent(Kestrane::kTypeId, &gKestraneFactory); }

float GroundHeight(float x, float z)
{
    const Ground* ground = Ground::Current();
    return ground ? ground->GetHeight(x, z) : 0.0f;
}

Kestrane::Kestrane()
{
    if (DataController* data = CurrentDataController())
        data->mInvaders.Add(this);
}

Kestrane::~Kestrane()
{
    // The group is unlinked whether or not the loom still lists it: no member may keep a
    // pointer to this invader.
    if (mRun.mGroup)
    {
        if (mRun.mGroup->GetLeader() == this)
        {
            mRun.mGroup->Scatter();
            if (InvaderGroupList* list = CurrentGroupList())
                list->RemoveGroupOf(this);
            else
                mRun.mGroup->Clear();
        }
        else
            mRun.mGroup->RemoveMember(this);
        mRun.mGroup = nullptr;
    }
    if (mName == "stacker" && mRun.mState == StateSpecial)
    {
        if (TileMap* map = CurrentTileMap())
        {
            Tile& tile = map->GetTile(mRun.mCurrentTile.first, mRun.mCurrentTile.second);
            if (tile.subHeight == 1)
                tile.subHeight = 0;
        }
    }
    // Only what the effect changed on this invader and its effect cog; no strategy runs here.
    CogFactory& cogs = CogFactory::Instance();
    switch (mRun.mStatusEffect)
    {
    case EffectMetallic:
        if (PhysicsComp* physics = Physics())
            physics->SetMass(physics->GetMass() * 0.2f);
        break;
    case EffectPoisoned:
        mMoveSpeed *= 3.0f;
        break;
    default:
        break;
    }
    if (mRun.mEffectCogId != kNoCog)
        cogs.DestroyById(mRun.mEffectCogId);
    UncountTile();
    if (DataController* data = CurrentDataController())
    {
        data->mInvaders.Remove(this);
        // Only this level's invaders report; a reset level has already zeroed its counters.
        if (mCounted && mGeneration == data->mLevelGeneration)
        {
            if (IsDead())
                data->RecordKill(mName, mRun.mFatalDamage.mType, CreditsToPoints(mCreditWorth));
            else
                data->mLiveInvaders -= 1;
            data->mLiveInvaders = std::max(data->mLiveInvaders, 0);
        }
    }
    if (mRun.mParachuteCogId != kNoCog && mRun.mParachuteCogId > 1)
        cogs.DestroyById(mRun.mParachuteCogId);
}

void Kestrane::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("Name", mName);
    s.SerializeRealField("CurHP", mCurHP);
    s.SerializeRealField("MaxHP", mMaxHP);
    s.SerializeRealField("MoveHeight", mMoveHeight);
    s.SerializeRealField("MoveSpeed", mMoveSpeed);
    s.SerializeRealField("AttackStrength", mAttackStrength);
    s.SerializeRealField("AttackSpeed", mAttackSpeed);
    s.SerializeRealField("AttackDistance", mAttackDistance);
    // A worth no kill can pay out is refused as it is read.
    s.SerializeRealField("CreditWorth", mCreditWorth, 0.0, double(kMaxCredits));
    s.SerializeString("PathingName", mPathingName);
    s.SerializeString("BehaviorName", mBehaviorName);
    s.SerializeRealField("RotationResetRate", mRotationResetRate);
    s.SerializeBoolField("PermanentStatusEffect", mPermanentStatusEffect);
    s.SerializeBoolField("AvoidWall", mAvoidWall);
    s.SerializeBoolField("AvoidTrap", mAvoidTrap);
}

void Kestrane::Initialize()
{
    TileMap* map = CurrentTileMap();
    auto placeTiles = [this, map]() {
        mRun.mCurrentTile =
            map && GetOwnerPositional() ? map->WorldToTile(Pos().GetPosition(), 1, 1) : TileIndex{-1, -1};
        mRun.mTargetTile = mRun.mLastTile = mRun.mStartTile = mRun.mCurrentTile;
    };
    placeTiles();
    if (!GetOwnerPositional())
        return;
    // A skinned model sizes the invader when it loads; until then it is a body of one unit.
    if (!(Pos().GetLocalSphere().radius > 0.0f))
    {
        Pos().GetLocalSphere().radius = kDefaultRadius;
        Pos().UpdateQuadTree();
    }
    SetBehavior(mBehaviorName);
    SetPathing(mPathingName);
    if (DataController* data = CurrentDataController())
    {
        data->mLiveInvaders += 1;
        mCounted = true;
        mGeneration = data->mLevelGeneration;
    }
    // The spawn may have moved it.
    placeTiles();
    SyncTileCount();
    SayPhrase(*this, 0);
}

void Kestrane::SetBehavior(const std::string& name)
{
    mRun.mBehavior = FindInvaderBehavior(name);
    mRun.mBehavior->Spawn(*this);
}

void Kestrane::SetPathing(const std::string& name)
{
    mRun.mPathing = FindPathingBehavior(name);
    if (mRun.mState != StateParachute)
    {
        ChangeState(StateAdvance);
        mRun.mPathing->FindTower(*this);
    }
}

PhysicsComp* Kestrane::Physics() const { return mOwner ? mOwner->Get<PhysicsComp>() : nullptr; }

float Kestrane::Speed() const { return GetOwnerPositional() ? Pos().GetVelocity().Length() : 0.0f; }

bool Kestrane::IsLeader() const { return mRun.mGroup && mRun.mGroup->GetLeader() == this; }

float Kestrane::Now() const { return GameNow(); }

void Kestrane::ChangeState(int32_t newState)
{
    mRun.mStateTime = Now();
    if (mRun.mBehavior)
        mRun.mBehavior->ChangeState(*this, newState);
    mRun.mState = newState;
    SyncTileCount();
}

void Kestrane::CountOnTile(TileIndex tile)
{
    TileMap* map = CurrentTileMap();
    if (!map || !map->InBounds(tile.first, tile.second))
    {
        UncountTile();
        return;
    }
    // Most frames the invader stays on its tile: the tile test first spares the map's ID.
    if (mCountedTile == tile && mCountedMapId == MapCogId(*map))
        return;
    const uint32_t mapId = MapCogId(*map);
    UncountTile();
    map->GetTile(tile.first, tile.second).invaderCount += 1;
    mCountedMapId = mapId;
    mCountedTile = tile;
}

void Kestrane::UncountTile()
{
    if (mCountedMapId == 0)
        return;
    TileMap* map = CurrentTileMap();
    // A count on a map that has gone went with it.
    if (map && MapCogId(*map) == mCountedMapId)
    {
        int32_t& count = map->GetTile(mCountedTile.first, mCountedTile.second).invaderCount;
        count = std::max(count - 1, 0);
    }
    mCountedMapId = 0;
    mCountedTile = {-1, -1};
}

void Kestrane::Update()
{
    if (!gCoreEngine || gCoreEngine->GetGameClock().IsPaused() || !GetOwnerPositional())
        return;
    if (TileMap* map = CurrentTileMap())
        mRun.mCurrentTile = map->WorldToTile(Pos().GetPosition(), 1, 1);
    UpdateStatusEffect();
    UpdateDamageTint();
    if (IsDead())
    {
        if (CogFactory::Instance().IsQueued(mOwner))
            return;
        mRun.mBehavior->Die(*this);
        UncountTile();
        CogFactory::Instance().Destroy(mOwner);
        return;
    }
    if (mRun.mState == StateAirborne)
    {
        UpdateTumble();
        mRun.mPathing->Step(*this);
        SyncTileCount();
        return;
    }
    mRun.mRotationResetActive = false;
    if (mRun.mState != StateParachute)
        mRun.mPathing->Step(*this);
    mRun.mBehavior->Think(*this);
    SyncTileCount();
}

void Kestrane::Damage(DamageInfo d)
{
    const bool wasAlive = mCurHP > 0.0f;
    mCurHP += d.mAmount;
    if (mCurHP <= 0.0f)
    {
        // The hit that crossed 0 is the one that counts.
        if (wasAlive)
            mRun.mFatalDamage = d;
        return;
    }
    if (!mOwner)
        return;
    ModelSeam& models = SceneModels();
    if (!models.HasModel(*mOwner))
        return;
    if (!mRun.mDamageTinted)
        models.GetModelColor(*mOwner, mRun.mSavedColor);
    models.SetModelColor(*mOwner, kHitTint);
    mRun.mDamageTintTime = Now();
    mRun.mDamageTinted = true;
}

void Kestrane::UpdateDamageTint()
{
    if (!mRun.mDamageTinted)
        return;
    float t = (Now() - mRun.mDamageTintTime) * 2.0f;
    if (t > 1.0f)
    {
        mRun.mDamageTinted = false;
        t = 1.0f;
    }
    const Color c(t * mRun.mSavedColor.r + (1.0f - t) * kHitTint.r, t * mRun.mSavedColor.g + (1.0f - t) * kHitTint.g,
                  t * mRun.mSavedColor.b + (1.0f - t) * kHitTint.b, t * mRun.mSavedColor.a + (1.0f - t) * kHitTint.a);
    SceneModels().SetModelColor(*mOwner, c);
}

void Kestrane::EnterTumbleFromArrival()
{
    mRun.mStateTime = Now();
    mRun.mBehavior->ChangeState(*this, StateAirborne);
    mRun.mState = StateAirborne;
    SyncTileCount();
}

void Kestrane::CollideMap(CollisionData data)
{
    mRun.mLastGroundContact = Now();
    if (!mRun.mReactsToCollisions || !GetOwnerPositional())
        return;
    if (mRun.mState == StateParachute)
        EnterTumbleFromArrival();
    CheckHitSound(data);
    const float speed = Speed();
    if (speed > 100.0f)
        Damage(DamageInfo{0, -speed, 1});
}

void Kestrane::CollideObj(int32_t otherId, CollisionData data)
{
    if (!mRun.mReactsToCollisions || !GetOwnerPositional())
        return;
    CheckHitSound(data);
    Cog* other = CogFactory::Instance().GetCog(static_cast<uint32_t>(otherId));
    Kestrane* invader = nullptr;
    if (other && CogHas(other, kTypeId))
        invader = other->Get<Kestrane>();
    if (invader)
    {
        SayPhrase(*this, 9);
        if (mRun.mStatusEffect == EffectOnFire && invader->mRun.mStatusEffect != EffectOnFire)
            invader->ChangeEffect(EffectOnFire, mRun.mEffectDuration);
        if (mRun.mState == StateParachute && invader->mRun.mState != StateParachute)
            ChangeState(StateAirborne);
    }
    else
    {
        if (mRun.mState == StateParachute)
            EnterTumbleFromArrival();
        const float speed = Speed();
        if (speed > 100.0f)
            Damage(DamageInfo{0, -speed, 1});
    }
    if (data.mNormal.y > 0.95f && Speed() < 10.0f)
    {
        if (invader && invader->mName == "stacker")
        {
            if (mRun.mState == StateAirborne)
                ChangeState(StateAdvance);
            return;
        }
        if (CogHas(other, TileComp::kTypeId))
        {
            // Standing on a tiled object stops it whole: a kept z drift would slide it off.
            Pos().SetVelocity(Vector3());
            mRun.mLastGroundContact = Now();
        }
    }
}

void Kestrane::CheckHitSound(const CollisionData& data)
{
    const float speed = Speed();
    if (speed <= 25.0f || mRun.mState != StateAirborne)
        return;
    const Vector3 v = Pos().GetVelocity().Normalized();
    if (std::fabs(DotProduct(v, data.mNormal)) > 0.25f)
        SendSound(*mOwner, "PlaySound3D", "Hit");
}

void Kestrane::UpdateTumble()
{
    PhysicsComp* physics = Physics();
    const float impulse = physics ? physics->GetImpulse().Length() : 0.0f;
    if (Speed() <= 0.75f && impulse <= 75.0f && Now() - mRun.mLastGroundContact <= 0.06f)
    {
        if (physics)
            physics->mDisableRotation = true;
        if (ResetRotation())
        {
            ChangeState(StateAdvance);
            mRun.mRotationResetActive = false;
        }
        return;
    }
    mRun.mRotationResetActive = false;
}

bool Kestrane::ResetRotation()
{
    Positional& at = Pos();
    const float now = Now();
    if (!mRun.mRotationResetActive)
    {
        mRun.mRotationStartTime = now;
        mRun.mRotationFrom = at.GetOrientation();
        Vector3 forward = mRun.mRotationFrom.GetForward();
        forward.y = 0.0f;
        if (forward.IsZero())
            forward = Vector3(0.0f, 0.0f, -1.0f);
        mRun.mRotationTo = Quat::FromDirection(forward.Normalized());
        mRun.mRotationResetActive = true;
    }
    const float t = mRotationResetRate > 0.0f ? (now - mRun.mRotationStartTime) / mRotationResetRate : 1.0f;
    if (t < 1.0f)
    {
        Vector3 upNow(0.0f, 1.0f, 0.0f), upTo(0.0f, 1.0f, 0.0f);
        at.GetOrientation().RotateVector(upNow);
        mRun.mRotationTo.RotateVector(upTo);
        const Vector3 forwardNow = at.GetOrientation().GetForward().Normalized();
        const Vector3 forwardTo = mRun.mRotationTo.GetForward().Normalized();
        if (DotProduct(upNow.Normalized(), upTo.Normalized()) > 0.95f && DotProduct(forwardNow, forwardTo) > 0.95f)
        {
            at.SetOrientation(mRun.mRotationTo);
            return true;
        }
        Quat q;
        Quat::Slerp(q, t, mRun.mRotationFrom, mRun.mRotationTo);
        at.SetOrientation(q);
        return false;
    }
    at.SetOrientation(mRun.mRotationTo);
    return true;
}

void Kestrane::Hop(float strength)
{
    if (!GetOwnerPositional())
        return;
    // Straight up: a zero direction would hop nowhere.
    HopInvader(*this, Pos().GetOrientation().GetForward(), 0.0f, strength, 0.0f);
}

void Kestrane::SpawnEffectCog(const char* file)
{
    Cog* cog = CogFactory::Instance().Create(file);
    if (!cog)
        return;
    mRun.mEffectCogId = cog->GetID();
    SendFollow(*cog, *mOwner);
    if (Positional* at = cog->Get<Positional>())
        at->SetPosition(Pos().GetPosition());
}

void Kestrane::RestoreMaterial() { SceneModels().SetMaterial(*mOwner, "Materials\\" + mName + "Mat.xml"); }

void Kestrane::ClearEffect(bool restoreMaterial)
{
    CogFactory& cogs = CogFactory::Instance();
    auto dropEffectCog = [this, &cogs]() {
        if (mRun.mEffectCogId != kNoCog)
            cogs.DestroyById(mRun.mEffectCogId);
        mRun.mEffectCogId = kNoCog;
    };
    switch (mRun.mStatusEffect)
    {
    case EffectDumb:
    case EffectBlind:
        if (restoreMaterial)
            RestoreMaterial();
        // Cleared first, so the pathing change below sees no effect left.
        mRun.mStatusEffect = EffectNone;
        SetPathing(mPathingName);
        dropEffectCog();
        break;
    case EffectMetallic:
        if (restoreMaterial)
            RestoreMaterial();
        mRun.mReactsToCollisions = true;
        if (PhysicsComp* physics = Physics())
            physics->SetMass(physics->GetMass() * 0.2f);
        break;
    case EffectOnFire:
        dropEffectCog();
        break;
    case EffectPoisoned:
        dropEffectCog();
        if (restoreMaterial)
            RestoreMaterial();
        mMoveSpeed *= 3.0f;
        break;
    default:
        break;
    }
}

void Kestrane::ChangeEffect(int32_t effect, float duration)
{
    if (mPermanentStatusEffect || effect == mRun.mStatusEffect || !mOwner || !GetOwnerPositional())
        return;
    ClearEffect(true);
    mRun.mEffectStartTime = Now();
    mRun.mEffectDuration = duration;
    mRun.mStatusEffect = effect;
    ModelSeam& models = SceneModels();
    switch (effect)
    {
    case EffectDumb:
        models.SetMaterial(*mOwner, "Materials\\DumbMat.xml");
        SpawnEffectCog("Data/DumbCog.xml");
        SetPathing("SeekDanger");
        break;
    case EffectBlind:
        models.SetMaterial(*mOwner, "Materials\\BlindMat.xml");
        SpawnEffectCog("Data/BlindCog.xml");
        SetPathing("Random");
        break;
    case EffectMetallic:
        models.SetMaterial(*mOwner, "Materials\\Metallic.xml");
        mRun.mReactsToCollisions = false;
        if (PhysicsComp* physics = Physics())
            physics->SetMass(physics->GetMass() * 5.0f);
        break;
    case EffectOnFire:
        SpawnEffectCog("Data/OnFireCog.xml");
        break;
    case EffectPoisoned:
        models.SetMaterial(*mOwner, "Materials\\DumbMat.xml");
        SpawnEffectCog("Data/PoisonedCog.xml");
        mMoveSpeed *= 0.33333334f;
        break;
    default:
        break;
    }
    SayPhrase(*this, 8);
}

void Kestrane::UpdateStatusEffect()
{
    if (mRun.mStatusEffect == EffectNone)
        return;
    if (Now() - mRun.mEffectStartTime > mRun.mEffectDuration)
    {
        ChangeEffect(EffectNone, 0.0f);
        return;
    }
    if (mRun.mStatusEffect == EffectOnFire || mRun.mStatusEffect == EffectPoisoned)
        Damage(DamageInfo{0, GameDt() * -12.0f, 3});
}

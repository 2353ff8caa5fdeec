#include "game/components/GameComponents.h"

#include <algorithm>

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/Explosives.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/PhraseBank.h"
#include "physics/RegionComp.h"

namespace {
class TimedDeathFactory : public CompFactoryOf<TimedDeathComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("ResetDeathTime",
                             MakeCompFunctor(TimedDeathComp::kTypeId, &TimedDeathComp::ResetDeathTime));
        composer.BindMessage("Pause", MakeCompFunctor(TimedDeathComp::kTypeId, &TimedDeathComp::Pause));
        composer.AddOwnedUpdate(MakeCompFunctor(TimedDeathComp::kTypeId, &TimedDeathComp::Update));
    }
};

class FollowerFactory : public CompFactoryOf<FollowerComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("SetFollowedObj", MakeCompFunctor(FollowerComp::kTypeId, &FollowerComp::SetFollowedObj));
        composer.AddOwnedUpdate(MakeCompFunctor(FollowerComp::kTypeId, &FollowerComp::Update));
    }
};

class StatusRegionFactory : public CompFactoryOf<StatusRegion>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.AddOwnedUpdate(MakeCompFunctor(StatusRegion::kTypeId, &StatusRegion::Update));
    }
};

class DamagableFactory : public CompFactoryOf<Damagable>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(Damagable::kTypeId, &Damagable::Damage));
    }
};

TimedDeathFactory gTimedDeathFactory;
FollowerFactory gFollowerFactory;
CompFactoryOf<PhraseComp> gPhraseFactory;
StatusRegionFactory gStatusRegionFactory;
DamagableFactory gDamagableFactory;

PhraseBank* Bank()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic ? logic->mPhraseBank.get() : nullptr;
}

// A blast removed before its delay has passed still deals its damage, once.
void QueueOwnDeath(Cog* owner)
{
    CogFactory& cogs = CogFactory::Instance();
    if (!owner || cogs.IsQueued(owner))
        return;
    if (RegionExplosionDamage* blast = owner->Get<RegionExplosionDamage>())
        blast->FireIfPending();
    cogs.Destroy(owner);
}
} // namespace

Positional* PosOf(Cog* cog) { return cog ? cog->Get<Positional>() : nullptr; }

void RegisterGameComponents(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(TimedDeathComp::kTypeId, &gTimedDeathFactory);
    cogs.Types().RegisterComponent(FollowerComp::kTypeId, &gFollowerFactory);
    RegisterRegionExplosionDamage(cogs);
    cogs.Types().RegisterComponent(PhraseComp::kTypeId, &gPhraseFactory);
    cogs.Types().RegisterComponent(StatusRegion::kTypeId, &gStatusRegionFactory);
    RegisterBombComp(cogs);
    cogs.Types().RegisterComponent(Damagable::kTypeId, &gDamagableFactory);
}

void TimedDeathComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("SecsTilDeath", SecsTilDeath);
    s.SerializeBoolField("StartPaused", StartPaused);
}

void TimedDeathComp::Pause(bool paused)
{
    // The time up to the message counts as it was: running or held.
    Count();
    StartPaused = paused;
}

void TimedDeathComp::ResetDeathTime()
{
    remaining = SecsTilDeath;
    mCountedTo = GameNow();
}

void TimedDeathComp::Count()
{
    // Game time since the last count, never the frame's whole step; a clock set back counts nothing.
    const float now = GameNow();
    const float passed = std::max(0.0f, now - mCountedTo);
    mCountedTo = now;
    if (!StartPaused)
        remaining -= passed;
}

void TimedDeathComp::Update()
{
    Count();
    if (!StartPaused && remaining <= 0.0f)
        QueueOwnDeath(mOwner);
}

void FollowerComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    SerializeSingle(s, "uint", "followedObjID", TypeUInt, followedObjID);
    s.SerializeBoolField("FollowPosition", FollowPosition);
    s.SerializeBoolField("FollowOrientation", FollowOrientation);
    s.SerializeBoolField("DestroyWhenNoFollow", DestroyWhenNoFollow);
    s.SerializeVector("offsetPosition", offsetPosition);
}

void FollowerComp::Update()
{
    Cog* followed = CogFactory::Instance().GetCog(followedObjID);
    if (!followed)
    {
        if (DestroyWhenNoFollow)
            QueueOwnDeath(mOwner);
        return;
    }
    Positional* target = PosOf(followed);
    Positional* own = GetOwnerPositional();
    if (!target || !own)
        return;
    if (FollowOrientation)
        own->SetOrientation(target->GetOrientation());
    if (FollowPosition)
    {
        Vector3 offset = offsetPosition;
        if (FollowOrientation)
            target->GetOrientation().RotateVector(offset);
        own->SetPosition(target->GetPosition() + offset);
        own->SetVelocity(target->GetVelocity());
    }
}

PhraseComp::~PhraseComp()
{
    if (mListedId == 0)
        return;
    if (PhraseBank* bank = Bank())
        bank->RemoveBubble(mListedId);
}

void PhraseComp::Initialize()
{
    PhraseBank* bank = Bank();
    if (!bank || !mOwner || mListedId != 0)
        return;
    mListedId = mOwner->GetID();
    bank->AddBubble(mListedId);
}

void StatusRegion::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeInt("StatusEffectType", StatusEffectType);
    s.SerializeRealField("EffectDuration", EffectDuration);
    s.SerializeInt("MaxUses", MaxUses);
    s.SerializeBoolField("KillAfterUses", KillAfterUses);
}

void StatusRegion::Update()
{
    RegionComp* region = mOwner ? mOwner->Get<RegionComp>() : nullptr;
    if (!region)
        return;
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : region->GetContacts())
    {
        Cog* cog = cogs.GetCog(id);
        Kestrane* invader = cog ? cog->Get<Kestrane>() : nullptr;
        if (!invader || invader->GetStatusEffect() == StatusEffectType)
            continue;
        invader->ChangeEffect(StatusEffectType, EffectDuration);
        if (MaxUses != 0)
            MaxUses -= 1;
    }
    if (KillAfterUses && MaxUses <= 0)
        QueueOwnDeath(mOwner);
}

void Damagable::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("MaxHP", MaxHP);
    s.SerializeString("spawnName", spawnName);
}

void Damagable::Damage(DamageInfo d)
{
    HP += d.mAmount;
    if (HP < 0.0f)
        QueueOwnDeath(mOwner);
}

#include "game/traps/TrapData.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/behaviors/BehaviorRegistry.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"

namespace {
class TrapDataFactory : public CompFactoryOf<TrapData>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(TrapData::kTypeId, &TrapData::Damage));
        composer.BindMessage("CollideMap", MakeCompFunctor(TrapData::kTypeId, &TrapData::CollideMap));
        composer.AddOwnedUpdate(MakeCompFunctor(TrapData::kTypeId, &TrapData::Update));
    }
};

TrapDataFactory gTrapDataFactory;
} // namespace

void RegisterTrapData(CogFactory& cogs) { cogs.Types().RegisterComponent(TrapData::kTypeId, &gTrapDataFactory); }

TrapData::TrapData()
{
    if (DataController* data = CurrentDataController())
        data->mTraps.Add(this);
}

TrapData::~TrapData()
{
    if (attachedCogId != 0)
        CogFactory::Instance().DestroyById(attachedCogId);
    if (DataController* data = CurrentDataController())
    {
        // Only a trap destroyed by damage is lost; a level reset or restart loses nothing.
        if (curHP <= 0.0f)
            data->RecordTrapLost(Name, fatalDamage.mType);
        data->mTraps.Remove(this);
    }
}

void TrapData::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("Name", Name);
    s.SerializeRealField("Max HP", MaxHP);
    s.SerializeRealField("Max Charge", MaxCharge);
    s.SerializeRealField("Recharge Rate", RechargeRate);
    s.SerializeString("BehaviorName", BehaviorName);
    s.SerializeRealField("ActivatingTime", ActivatingTime);
    s.SerializeRealField("ResetingTime", ResetingTime);
    s.SerializeRealField("gfxTime1", gfxTime1);
    s.SerializeRealField("gfxTime2", gfxTime2);
    s.SerializeRealField("EffectMagnitude", EffectMagnitude);
    s.SerializeEnum("StatusEffectType", StatusEffectType, "EffectState");
}

void TrapData::Initialize()
{
    curHP = MaxHP;
    behavior = FindTrapBehavior(BehaviorName);
    behavior->OnPlaced(*this);
    charge = MaxCharge;
}

void TrapData::Update()
{
    if (!gCoreEngine || gCoreEngine->GetGameClock().IsPaused() || !behavior || !mOwner)
        return;
    if (curHP <= 0.0f)
    {
        if (CogFactory::Instance().IsQueued(mOwner))
            return;
        behavior->Destroyed(*this);
        CogFactory::Instance().Destroy(mOwner);
        return;
    }
    behavior->Update(*this);
}

void TrapData::Damage(DamageInfo d)
{
    const bool wasAlive = curHP > 0.0f;
    curHP += d.mAmount;
    if (curHP <= 0.0f && wasAlive)
        fatalDamage = d;
}

bool TrapData::CollideMap(CollisionData)
{
    const bool was = landingFlag;
    landingFlag = false;
    return was;
}

float TrapData::GetChargeFraction() const { return MaxCharge > 0.0f ? charge / MaxCharge : 0.0f; }

void TrapData::UseCharge(float amount)
{
    charge -= amount;
    lastUseTime = GameNow();
    if (charge <= 0.0f)
    {
        if (behavior)
            behavior->ChargeDepleted(*this);
        charge = 0.0f;
    }
}

#include "game/traps/TrapBehaviors.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Random.h"
#include "game/components/RegionContacts.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/HudSeam.h"
#include "game/logic/ModelSeam.h"
#include "game/traps/TrapData.h"
#include "game/traps/TrapKinds.h"
#include "physics/RegionComp.h"

namespace {
constexpr Color kRed{1.0f, 0.0f, 0.0f, 1.0f};
constexpr Color kOrange{1.0f, 0.4f, 0.0f, 1.0f};
constexpr Color kGreen{0.0f, 1.0f, 0.0f, 1.0f};

class BasicTrapKind final : public BasicTrap
{
};
BasicTrapKind gBasicTrap;

RegionComp* RegionOf(TrapData& trap)
{
    Cog* owner = trap.GetOwner();
    return owner ? owner->Get<RegionComp>() : nullptr;
}

Kestrane* InvaderOf(Cog* cog) { return cog ? cog->Get<Kestrane>() : nullptr; }
} // namespace

void RegisterTrapKinds(std::map<std::string, TrapBehavior*>& map)
{
    RegisterMoreTrapKinds(map);
    map["Basic"] = &gBasicTrap;
    RegisterStatusTrapKind(map);
}

void TrapCycle::Update(TrapData& trap)
{
    Inactive(trap);
    if (trap.state == TrapReady)
    {
        if (ShouldActivate(trap))
            Activate(trap);
    }
    else
        ActiveUpdate(trap);
}

void ActivateLooping(TrapData& trap, bool loop)
{
    SendSound(*trap.GetOwner(), "PlaySound3D", "Activate");
    ActivateSilently(trap, loop);
}

void ActivateSilently(TrapData& trap, bool loop)
{
    Cog& cog = *trap.GetOwner();
    ModelSeam& models = SceneModels();
    models.SetAnimationActive(cog, true);
    models.PlayAnimation(cog, "Activate", loop);
    models.SetModelColor(cog, kRed);
    trap.stateTime = GameNow();
    trap.state = TrapActivating;
}

void BackToReady(TrapData& trap, bool restartAnimation)
{
    Cog& cog = *trap.GetOwner();
    ModelSeam& models = SceneModels();
    models.SetModelColor(cog, kGreen);
    trap.state = TrapReady;
    if (restartAnimation)
    {
        models.SetAnimationActive(cog, true);
        models.PlayAnimationIndex(cog, 0, true);
    }
}

void TrapCycle::Activate(TrapData& trap) { ActivateLooping(trap, false); }

void TrapCycle::ActiveUpdate(TrapData& trap)
{
    Cog& cog = *trap.GetOwner();
    const float elapsed = GameNow() - trap.stateTime;
    switch (trap.state)
    {
    case TrapActivating:
        if (elapsed > trap.ActivatingTime)
        {
            SceneModels().SetModelColor(cog, kOrange);
            trap.state = TrapFiring;
        }
        break;
    case TrapFiring:
        Effect(trap);
        if (trap.state == TrapResetting)
            trap.UseCharge(1.0f);
        Firing(trap);
        break;
    case TrapResetting:
        if (elapsed > trap.ResetingTime)
            BackToReady(trap, RestartsAnimationWhenReady());
        break;
    default:
        break;
    }
}

void TrapCycle::Destroyed(TrapData& trap)
{
    Positional* at = trap.GetOwnerPositional();
    if (!at)
        return;
    CogFactory& cogs = CogFactory::Instance();
    const int n = RandomInt(3, 7);
    for (int i = 0; i < n; ++i)
    {
        Cog* chunk = cogs.Create("ExplosionChunk");
        if (!chunk)
            return;
        Positional* piece = chunk->Get<Positional>();
        if (!piece)
            continue;
        const Vector3 velocity = RandomVectorInCone(Vector3(0.0f, 1.0f, 0.0f), 0.78f);
        piece->SetOrientation(Quat::FromDirection(RandomUnitVector()));
        piece->SetPosition(at->GetPosition() + velocity);
        piece->SetVelocity(velocity * 50.0f);
    }
}

void TrapCycle::Inactive(TrapData& trap)
{
    Cog& cog = *trap.GetOwner();
    ModelSeam& models = SceneModels();
    HudSeam& hud = SceneHud();
    std::string current;
    // Headless, the trap recharges as though its idle animation played.
    if (!models.CurrentAnimation(cog, current) || current == "Inactive")
    {
        trap.charge += GameDt() * trap.RechargeRate;
        if (trap.charge > trap.MaxCharge)
            trap.charge = trap.MaxCharge;
    }
    float t = (GameNow() - trap.GetLastUseTime() - 5.0f) * 0.4f;
    if (t > 1.0f)
    {
        hud.ShowBar(cog, false);
        return;
    }
    hud.ShowBar(cog, true);
    hud.SetBarPercent(cog, trap.GetChargeFraction());
    if (t < 0.0f)
        t = 0.0f;
    hud.SetHudAlpha(cog, 1.0f - t);
}

bool BasicTrap::ShouldActivate(TrapData& trap)
{
    if (trap.charge < 1.0f)
        return false;
    RegionComp* region = RegionOf(trap);
    if (!region)
        return false;
    if (!TakeContact(*region, [](Cog& cog, uint32_t) { return InvaderOf(&cog) != nullptr; }))
        return false;
    trap.state = TrapTriggered;
    return true;
}

void BasicTrap::Effect(TrapData& trap)
{
    Cog& owner = *trap.GetOwner();
    const DamageInfo hit{static_cast<int32_t>(owner.GetID()), -trap.EffectMagnitude, 2};
    if (RegionComp* region = RegionOf(trap))
    {
        CogFactory& cogs = CogFactory::Instance();
        // Damage changes no contacts, so the list holds still during the walk.
        for (uint32_t id : region->GetContacts())
            if (Kestrane* invader = InvaderOf(cogs.GetCog(id)))
                invader->Damage(hit);
    }
    ModelSeam& models = SceneModels();
    models.SetAnimationActive(owner, true);
    models.PlayAnimation(owner, "Deactivate", false);
    trap.state = TrapResetting;
}

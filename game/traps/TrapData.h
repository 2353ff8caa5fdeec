#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Comp.h"
#include "physics/collision/CollisionData.h"

class CogFactory;
class TrapBehavior;

// Trap firing states.
enum TrapState : int32_t
{
    TrapReady = 0,
    TrapTriggered = 1,
    TrapActivating = 2,
    TrapFiring = 3,
    TrapResetting = 4,
};

// A trap (type id 101): its data, health, charge and firing-cycle state; its strategy, found
// by "BehaviorName", runs the cycle every frame.
class TrapData : public Comp
{
public:
    static constexpr uint32_t kTypeId = 101;

    TrapData();
    ~TrapData() override;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "TrapData"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void Damage(DamageInfo d);
    bool CollideMap(CollisionData data);

    float GetCharge() const { return charge; }
    // 0 when "Max Charge" is not above 0.
    float GetChargeFraction() const;
    void UseCharge(float amount);
    float GetLastUseTime() const { return lastUseTime; }

    std::string Name;
    float MaxHP = 100.0f;
    float MaxCharge = 10.0f;
    float RechargeRate = 0.1f;
    std::string BehaviorName = "Basic";
    float ActivatingTime = 0.33f;
    float ResetingTime = 2.0f;
    float gfxTime1 = 0.0f;
    float gfxTime2 = 0.0f;
    float EffectMagnitude = 1.0f;
    int32_t StatusEffectType = 0;

    float curHP = 100.0f;
    DamageInfo fatalDamage;
    float charge = 10.0f;
    float lastUseTime = 0.0f;
    int32_t state = TrapReady;
    float stateTime = 0.0f;
    TrapBehavior* behavior = nullptr;
    bool landingFlag = false;
    uint32_t attachedCogId = 0;
    // Kept per trap, so two traps of a kind never share them.
    bool shotPending = false;
    float pointsAccumulator = 0.0f;
    std::vector<uint32_t> heldCogs; // invaders whose collision a pit switched off
};

void RegisterTrapData(CogFactory& cogs);

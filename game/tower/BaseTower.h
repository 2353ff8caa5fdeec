#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Comp.h"

class CogFactory;

// The tower the invaders attack (type id 405): hit points shown as up to five crumbling
// stages, a rate-limited alert banner, and an explosion when the hit points run out.
class BaseTower : public Comp
{
public:
    static constexpr uint32_t kTypeId = 405;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "BaseTower"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void AnimationCallback(std::string name);
    void Damage(DamageInfo d);
    void Update();

    // Intact stages: numLevels unhurt, 0 destroyed. MaxHP <= 0 counts as whole while HP > 0.
    int32_t GetDamageLevel();
    int32_t GetStage() const { return mStage; }

    DamageInfo fatalDamage;
    float hitPoints = 1000.0f;
    float MaxHP = 1000.0f;
    int32_t numLevels = 5;
    float lastAlertTime = 0.0f;

private:
    void Play(const std::string& name, bool loop);

    int32_t mStage = 5;
    bool mExploded = false;
};

void RegisterBaseTower(CogFactory& cogs);

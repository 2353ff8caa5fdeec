#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Comp.h"

class CogFactory;

// A destructible wall (type id 104): takes "Damage", is listed in the data controller, and its
// cog goes when the hit points run out. A SuperWall also blocks its tiles for walking.
class Wall : public Comp
{
public:
    static constexpr uint32_t kTypeId = 104;

    Wall();
    ~Wall() override;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "wall"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // The first hit that brings the hit points to 0 or below is kept as the fatal one.
    void Damage(DamageInfo d);
    void Update();

    DamageInfo mFatalDamage;
    float CurHP = 10.0f;
    bool SuperWall = false;
    float ReflectDamage = 0.0f;

private:
    bool mFatal = false;
};

void RegisterWall(CogFactory& cogs);

#pragma once
#include <cstdint>

#include "LOOM/cogs/Comp.h"

class CogFactory;

// A blast: at the first physics update after it appears, pushes every body within "Radius"
// away from its cog, by "Strength" at the centre falling to nothing at the edge.
class PhysicsExplosion : public Comp
{
public:
    static constexpr uint32_t kTypeId = 56;

    ~PhysicsExplosion() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "PhysicsExplosion"; }
    uint32_t GetTypeId() override { return kTypeId; }

    float mStrength = 100.0f;
    float mRadius = 10.0f;
    bool mFired = false;

private:
    bool mJoined = false;
};

void RegisterPhysicsExplosion(CogFactory& cogs);

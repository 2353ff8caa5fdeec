#pragma once
#include <cstdint>

#include "LOOM/cogs/Comp.h"

class CogFactory;

// Makes its cog solid: it touches the ground and other solid cogs, and hears of it through
// "CollideMap" and "CollideObj". Without a PhysicsComp beside it the cog never moves.
class CollisionComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 51;

    ~CollisionComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "CollisionComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    bool IsActive() const { return mActive; }
    // Off: the body passes through the ground and others and hears nothing, but others
    // still stop against it.
    void SetActive(bool active) { mActive = active; }

    bool mActive = true;
    int32_t mBodyIndex = -1;
    bool IsJoined() const { return mJoined; }

private:
    bool mJoined = false;
};

void RegisterCollisionComp(CogFactory& cogs);

#pragma once
#include <string>

#include "LOOM/engine/Loom.h"
#include "LOOM/math/Vector3.h"

// The physics subsystem. Its components and the step that moves them come later; for now it is
// the loom object the engine creates, starts, updates and shuts down last.
class PhysicsLoom : public Loom
{
public:
    static PhysicsLoom* Create();
    static PhysicsLoom* Instance();

    ~PhysicsLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override;
    std::string GetName() override;
    std::string GetTypeName() override;

    // Zero until the physics settings give it.
    const Vector3& GetGravity() const { return mGravity; }
    bool IsActive() const { return mActive; }

private:
    PhysicsLoom() = default;

    Vector3 mGravity;
    bool mActive = false;
};

#pragma once
#include <cstdint>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"

class CogFactory;

// Makes its cog a moving body: the physics step moves the cog's Positional by its velocity,
// pulls it down while "UseGravity" and spins it while rotation is allowed.
class PhysicsComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 50;

    ~PhysicsComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "PhysicsComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    float GetMass() const { return mMass; }
    // A mass that is not a positive finite number is refused.
    void SetMass(float mass);
    const Vector3& GetImpulse() const { return mImpulse; }
    void SetImpulse(const Vector3& impulse);
    // A velocity change, added to the impulse the next step spends.
    void AddVelocity(const Vector3& velocity);
    // normalize(direction) x magnitude over this frame's game time.
    void AddForce(const Vector3& direction, float magnitude);
    // Spin about the horizontal axis across the direction, at rate radians per second.
    void SetSpinFromDirection(const Vector3& direction, float rate);
    const Vector3& GetSpin() const { return mSpin; }
    void SetSpin(const Vector3& spin) { mSpin = spin; }

    // The step's share: the impulse as a velocity change, which it then forgets.
    Vector3 TakeImpulseVelocity();
    // Logs the refusal once for this component; later ones are silent.
    void Refuse(const char* what);

    bool mUseGravity = true;
    bool mDisableRotation = false;
    bool mUseDrag = false;
    float mDragCoefficient = 0.0f;
    // The physics loom's place for this body while it is in the step; -1 outside.
    int32_t mBodyIndex = -1;
    bool IsJoined() const { return mJoined; }

private:
    float mMass = 1.0f;
    Vector3 mImpulse;
    Vector3 mSpin;
    bool mRefusalLogged = false;
    bool mJoined = false;
};

void RegisterPhysicsComp(CogFactory& cogs);

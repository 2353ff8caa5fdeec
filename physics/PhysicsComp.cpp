#include "physics/PhysicsComp.h"

#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "physics/PhysicsLoom.h"

namespace {
CompFactoryOf<PhysicsComp> gPhysicsCompFactory;

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
} // namespace

PhysicsComp::~PhysicsComp() { LeavePhysics(*this, mJoined); }

void PhysicsComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("Mass", mMass);
    s.SerializeBoolField("UseGravity", mUseGravity);
    s.SerializeBoolField("DisableRotation", mDisableRotation);
    s.SerializeBoolField("UseDrag", mUseDrag);
    s.SerializeRealField("DragCoefficient", mDragCoefficient);
}

void PhysicsComp::Initialize()
{
    if (!(std::isfinite(mMass) && mMass > 0.0f))
    {
        Refuse("a Mass that is not a positive number (1 is used)");
        mMass = 1.0f;
    }
    JoinPhysics(*this, mJoined);
}

void PhysicsComp::Refuse(const char* what)
{
    if (mRefusalLogged)
        return;
    mRefusalLogged = true;
    const std::string cog = mOwner ? mOwner->GetName() + " (" + std::to_string(mOwner->GetID()) + ")" : "a cog";
    Console::Instance().Log(std::string("PhysicsComp of ") + cog + ": refused " + what +
                                "; later refusals for this cog are not logged",
                            LogError);
}

void PhysicsComp::SetMass(float mass)
{
    if (!(std::isfinite(mass) && mass > 0.0f))
        return Refuse("a mass that is not a positive number");
    mMass = mass;
}

void PhysicsComp::SetImpulse(const Vector3& impulse)
{
    if (!Finite(impulse))
        return Refuse("an impulse that is not finite");
    mImpulse = impulse;
}

void PhysicsComp::AddVelocity(const Vector3& velocity)
{
    const Vector3 change = velocity * mMass;
    if (!Finite(change))
        return Refuse("a velocity that is not finite");
    mImpulse += change;
}

void PhysicsComp::AddForce(const Vector3& direction, float magnitude)
{
    const PhysicsLoom* loom = PhysicsLoom::Instance();
    const float dt = loom ? loom->GetFrameTime() : 0.0f;
    const Vector3 change = direction.Normalized() * (magnitude * dt);
    if (!Finite(direction) || !std::isfinite(magnitude) || !Finite(change))
        return Refuse("a force that is not finite");
    mImpulse += change;
}

void PhysicsComp::SetSpinFromDirection(const Vector3& direction, float rate)
{
    Vector3 axis;
    CrossProduct(direction, Vector3(0.0f, 1.0f, 0.0f), axis);
    const Vector3 spin = axis.Normalized() * rate;
    if (!Finite(spin))
        return Refuse("a spin that is not finite");
    mSpin = spin;
}

Vector3 PhysicsComp::TakeImpulseVelocity()
{
    const Vector3 change = mImpulse * (1.0f / mMass);
    mImpulse = Vector3();
    return change;
}

void RegisterPhysicsComp(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(PhysicsComp::kTypeId, &gPhysicsCompFactory);
}

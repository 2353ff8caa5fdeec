#include "physics/PhysicsExplosion.h"

#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "physics/PhysicsLoom.h"

namespace {
CompFactoryOf<PhysicsExplosion> gPhysicsExplosionFactory;
}

PhysicsExplosion::~PhysicsExplosion() { LeavePhysics(*this, mJoined); }

void PhysicsExplosion::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("Strength", mStrength);
    s.SerializeRealField("Radius", mRadius);
}

void PhysicsExplosion::Initialize() { JoinPhysics(*this, mJoined); }

void RegisterPhysicsExplosion(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(PhysicsExplosion::kTypeId, &gPhysicsExplosionFactory);
}

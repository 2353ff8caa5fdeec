#include "physics/CollisionComp.h"

#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "physics/PhysicsLoom.h"

namespace {
CompFactoryOf<CollisionComp> gCollisionCompFactory;
}

CollisionComp::~CollisionComp() { LeavePhysics(*this, mJoined); }

void CollisionComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeBoolField("Active", mActive);
}

void CollisionComp::Initialize() { JoinPhysics(*this, mJoined); }

void RegisterCollisionComp(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(CollisionComp::kTypeId, &gCollisionCompFactory);
}

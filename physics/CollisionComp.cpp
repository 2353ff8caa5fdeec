#include "physics/CollisionComp.h"

#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "physics/PhysicsLoom.h"

namespace {
CompFactoryOf<CollisionComp> gCollisionCompFactory;
}

CollisionComp::~CollisionComp()
{
    if (mJoined)
        if (PhysicsLoom* loom = PhysicsLoom::Instance())
            loom->Leave(*this);
}

void CollisionComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeBoolField("Active", mActive);
}

void CollisionComp::Initialize()
{
    if (mJoined)
        return;
    if (PhysicsLoom* loom = PhysicsLoom::Instance())
    {
        loom->Join(*this);
        mJoined = true;
    }
}

void RegisterCollisionComp(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(CollisionComp::kTypeId, &gCollisionCompFactory);
}

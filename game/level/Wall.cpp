#include "game/level/Wall.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"

namespace {
class WallFactory : public CompFactoryOf<Wall>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Damage", MakeCompFunctor(Wall::kTypeId, &Wall::Damage));
        composer.AddOwnedUpdate(MakeCompFunctor(Wall::kTypeId, &Wall::Update));
    }
};

WallFactory gWallFactory;
} // namespace

void RegisterWall(CogFactory& cogs) { cogs.Types().RegisterComponent(Wall::kTypeId, &gWallFactory); }

Wall::Wall()
{
    // Components are also built before the logic loom starts (documentation export), when
    // there is no data controller to join.
    if (DataController* data = CurrentDataController())
        data->mWalls.Add(this);
}

Wall::~Wall()
{
    if (DataController* data = CurrentDataController())
        data->mWalls.Remove(this);
}

void Wall::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("CurHP", CurHP);
    s.SerializeBoolField("SuperWall", SuperWall);
    s.SerializeRealField("ReflectDamage", ReflectDamage);
}

void Wall::Initialize()
{
    if (!SuperWall || !mOwner)
        return;
    if (TileComp* tiles = mOwner->Get<TileComp>())
        tiles->SetPassable(false);
}

void Wall::Damage(DamageInfo d)
{
    CurHP += d.mAmount;
    if (CurHP <= 0.0f && !mFatal)
    {
        mFatalDamage = d;
        mFatal = true;
    }
}

void Wall::Update()
{
    if (CurHP <= 0.0f && mOwner)
        CogFactory::Instance().Destroy(mOwner);
}

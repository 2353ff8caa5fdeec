#include "game/components/Explosives.h"

#include <cmath>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/logic/TerrainSeam.h"
#include "game/tower/BaseTower.h"
#include "physics/RegionComp.h"

namespace {
class BombFactory : public CompFactoryOf<BombComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("CollideObj", MakeCompFunctor(BombComp::kTypeId, &BombComp::CollideObj));
        composer.BindMessage("CollideMap", MakeCompFunctor(BombComp::kTypeId, &BombComp::CollideMap));
        composer.AddOwnedUpdate(MakeCompFunctor(BombComp::kTypeId, &BombComp::Update));
    }
};

class ExplosionDamageFactory : public CompFactoryOf<RegionExplosionDamage>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("ResetStartTime",
                             MakeCompFunctor(RegionExplosionDamage::kTypeId, &RegionExplosionDamage::ResetStartTime));
        composer.AddOwnedUpdate(MakeCompFunctor(RegionExplosionDamage::kTypeId, &RegionExplosionDamage::Update));
    }
};

BombFactory gBombFactory;
ExplosionDamageFactory gExplosionDamageFactory;

constexpr DamageInfo kBombKill{0, -100000.0f, 7};
} // namespace

void RegisterBombComp(CogFactory& cogs) { cogs.Types().RegisterComponent(BombComp::kTypeId, &gBombFactory); }

void RegisterRegionExplosionDamage(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(RegionExplosionDamage::kTypeId, &gExplosionDamageFactory);
}

void KillCog(Cog& cog)
{
    if (cog.FindCogFunction("Damage"))
    {
        SendDamage(cog, kBombKill);
        return;
    }
    CogFactory& cogs = CogFactory::Instance();
    if (!cogs.IsQueued(&cog))
        cogs.Destroy(&cog);
}

void BombComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("ObjectToGenerate", ObjectToGenerate);
    s.SerializeBoolField("ExplodeWhenHitGround", ExplodeWhenHitGround);
    s.SerializeBoolField("ExplodeWhenHitTileTrap", ExplodeWhenHitTileTrap);
    s.SerializeBoolField("ExplodeAfterTime", ExplodeAfterTime);
    s.SerializeRealField("ExplodeTime", ExplodeTime);
}

void BombComp::Update()
{
    if (!ExplodeAfterTime)
        return;
    ExplodeTime -= GameDt();
    if (ExplodeTime <= 0.0f)
        Explode();
}

void BombComp::CollideObj(int32_t otherId, CollisionData)
{
    if (!ExplodeWhenHitTileTrap || mExploded)
        return;
    Cog* other = CogFactory::Instance().GetCog(static_cast<uint32_t>(otherId));
    if (!other || !CogHas(other, TileComp::kTypeId) || CogHas(other, BaseTower::kTypeId))
        return;
    KillCog(*other);
    Explode();
}

void BombComp::CollideMap(CollisionData)
{
    if (ExplodeWhenHitGround)
        Explode();
}

void BombComp::Explode()
{
    if (mExploded || !mOwner)
        return;
    mExploded = true;
    CogFactory& cogs = CogFactory::Instance();
    Positional* own = GetOwnerPositional();
    const Vector3 at = own ? own->GetPosition() : Vector3();
    if (Cog* blast = cogs.Allocate(ObjectToGenerate))
    {
        if (Positional* where = PosOf(blast))
            where->SetPosition(at);
        blast->Initialize();
    }
    if (!cogs.IsQueued(mOwner))
        cogs.Destroy(mOwner);
    if (!ExplodeWhenHitTileTrap)
        return;
    TileMap* map = CurrentTileMap();
    if (!map)
        return;
    TileComp* occupant = map->GetOccupantAt(at);
    Cog* standing = occupant ? occupant->GetOwner() : nullptr;
    if (standing && standing != mOwner && !CogHas(standing, BaseTower::kTypeId))
        KillCog(*standing);
}

void RegionExplosionDamage::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeEnum("DamageType", DamageType, "DamageTypes");
    s.SerializeRealField("DamageAmount", DamageAmount);
    s.SerializeBoolField("ContinuousDamage", ContinuousDamage);
    s.SerializeRealField("DamageStartTime", DamageStartTime);
    s.SerializeBoolField("TileBased", TileBased);
    s.SerializeRealField("DropoffRate", DropoffRate);
    s.SerializeBoolField("DamageTerrain", DamageTerrain);
    s.SerializeRealField("ContinuousTerrainDeformRate", ContinuousTerrainDeformRate);
    SerializeItemList(s, "damagableTypes", damagableTypes, "int",
                      [&s](int32_t& type) { s.SerializeInt(nullptr, type); });
}

void RegionExplosionDamage::ResetStartTime() { startTime = GameNow(); }

void RegionExplosionDamage::Update()
{
    if (!fired)
    {
        if (GameNow() - startTime > DamageStartTime)
        {
            // Marked first: a handler the damage reaches may remove this cog.
            fired = true;
            if (!ContinuousDamage)
                ApplyDamage();
        }
        return;
    }
    if (ContinuousDamage)
        ApplyDamage();
}

void RegionExplosionDamage::FireIfPending()
{
    if (fired || ContinuousDamage)
        return;
    fired = true;
    ApplyDamage();
}

void RegionExplosionDamage::ApplyDamage()
{
    if (!mOwner)
        return;
    SendSound(*mOwner, "PlaySound3D", "Explode");
    RegionComp* region = mOwner ? mOwner->Get<RegionComp>() : nullptr;
    if (!region)
        return;
    Positional* own = GetOwnerPositional();
    const uint32_t ownId = mOwner->GetID();
    CogFactory& cogs = CogFactory::Instance();
    // A handler may kill a cog of the set; the physics loom drops it at the next refresh, and
    // a dead ID simply finds no cog here.
    const std::vector<uint32_t>& contacts = region->GetContacts();
    for (size_t i = 0; i < contacts.size(); ++i)
    {
        Cog* target = cogs.GetCog(contacts[i]);
        if (!target)
            continue;
        bool damageable = false;
        for (int32_t type : damagableTypes)
            if (type >= 0 && CogHas(target, static_cast<uint32_t>(type)))
            {
                damageable = true;
                break;
            }
        if (!damageable)
            continue;
        float amount = -DamageAmount;
        if (ContinuousDamage)
            amount *= GameDt();
        if (DropoffRate > 0.00001f && own)
            if (Positional* where = PosOf(target))
            {
                amount += (where->GetPosition() - own->GetPosition()).Length() * DropoffRate;
                if (amount > 0.0f)
                    amount = 0.0f;
            }
        SendDamage(*target, DamageInfo{static_cast<int32_t>(ownId), amount, 4});
    }
    TerrainSeam& terrain = SceneTerrain();
    if (!DamageTerrain || !terrain.HasHeightMap() || GameNow() - lastDentTime <= ContinuousTerrainDeformRate)
        return;
    lastDentTime = GameNow();
    Positional& volume = region->GetVolume();
    float r = 0.0f;
    if (region->mRegionType == 0)
        r = volume.GetRadius();
    else
    {
        const BoundingBox& box = volume.GetLocalBox();
        const float x = box.max.x - box.min.x;
        const float z = box.max.z - box.min.z;
        r = std::sqrt(x * x + z * z);
    }
    const Vector3 at = volume.GetPosition();
    terrain.AddDeformation(at, 5.0f + 2.5f * r, 3.5f + 0.15f * r, 0.35f + 0.075f * r);
    if (r > 15.0f)
        terrain.AddDecal(at, r, 0, 120.0f);
    else
        terrain.AddDecal(at, r, 1, 60.0f);
}

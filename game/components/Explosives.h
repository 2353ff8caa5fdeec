#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "physics/collision/CollisionData.h"

class Cog;
class CogFactory;

// Turns its cog into another object (an "Explosion" by default) when it hits the ground, a
// tile-standing cog or its timer runs out (type id 129).
class BombComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 129;

    void Serialize(Serializer& s) override;
    std::string GetTypeName() override { return "BombComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void CollideObj(int32_t otherId, CollisionData data);
    void CollideMap(CollisionData data);
    // Once only: a hit and the timer in the same frame make one explosion.
    void Explode();

    std::string ObjectToGenerate = "Explosion";
    bool ExplodeWhenHitGround = false;
    bool ExplodeWhenHitTileTrap = true;
    bool ExplodeAfterTime = true;
    float ExplodeTime = 5.0f;

private:
    bool mExploded = false;
};

// Damages every damageable cog in its region after a delay, once or continuously, and dents
// the terrain (type id 123).
class RegionExplosionDamage : public Comp
{
public:
    static constexpr uint32_t kTypeId = 123;

    void Serialize(Serializer& s) override;
    void Initialize() override { ResetStartTime(); }
    std::string GetTypeName() override { return "RegionExplosionDamage"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void ResetStartTime();
    void ApplyDamage();
    // A one-shot blast that has not dealt its damage deals it now: its cog is being removed.
    void FireIfPending();

    int32_t DamageType = 9;
    float DamageAmount = 100.0f;
    bool ContinuousDamage = false;
    float DamageStartTime = 1.0f;
    bool TileBased = false;
    float DropoffRate = 0.0f;
    bool DamageTerrain = true;
    float ContinuousTerrainDeformRate = 1.0f;
    std::vector<int32_t> damagableTypes{100, 103};

    float startTime = 0.0f;
    bool fired = false;
    float lastDentTime = 0.0f;
};

// Asks the cog's own "Damage" handler for a bomb kill, or queues a cog without one.
void KillCog(Cog& cog);

void RegisterBombComp(CogFactory& cogs);
void RegisterRegionExplosionDamage(CogFactory& cogs);

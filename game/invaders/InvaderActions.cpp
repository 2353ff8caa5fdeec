#include "game/invaders/InvaderActions.h"

#include <algorithm>
#include <cmath>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/math/Quat.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/PhraseBank.h"
#include "physics/PhysicsComp.h"

namespace {
Positional* PositionalOf(Cog& cog)
{
    return static_cast<Positional*>(cog.GetComponent(1));
}
} // namespace

Quat FacingQuat(float dx, float dz)
{
    // The yaw of Quat::FromDirection for a level direction, from the half-angle identities
    // instead of an arc tangent: walkers turn every frame.
    const float h = std::sqrt(dx * dx + dz * dz);
    const float c = -dz / h; // cosine of the yaw
    const float s = dx / h;  // its sine
    // The larger half-angle term comes from its root, the other from sin = 2 sin/2 cos/2, so
    // neither loses its digits near a half turn.
    if (c >= 0.0f)
    {
        const float cosHalf = std::sqrt((1.0f + c) * 0.5f);
        return Quat(cosHalf, 0.0f, s / (2.0f * cosHalf), 0.0f);
    }
    float sinHalf = std::sqrt((1.0f - c) * 0.5f);
    if (std::signbit(dx))
        sinHalf = -sinHalf;
    return Quat(s / (2.0f * sinHalf), 0.0f, sinHalf, 0.0f);
}

void FaceToward(Positional& at, const Vector3& target)
{
    const float dx = target.x - at.GetPosition().x;
    const float dz = target.z - at.GetPosition().z;
    if (dx * dx + dz * dz > 1e-8f)
        at.SetOrientation(FacingQuat(dx, dz));
}

void FaceToward(Cog& cog, const Vector3& target)
{
    if (Positional* at = PositionalOf(cog))
        FaceToward(*at, target);
}

void SteerToward(Positional& at, const Vector3& target, float speed)
{
    const Vector3& from = at.GetPosition();
    const float dx = target.x - from.x;
    const float dz = target.z - from.z;
    const float flat = std::sqrt(dx * dx + dz * dz);
    if (!(flat > 1e-6f))
        return;
    // Follows the terrain: the slope toward the target, lifted slightly so it never digs in.
    const float dy = (GroundHeight(target.x, target.z) - GroundHeight(from.x, from.z)) / flat + 0.1f;
    const float scale = speed / std::sqrt(1.0f + dy * dy);
    Vector3 velocity(dx / flat * scale, dy * scale, dz / flat * scale);
    // The slope only bounds the climb: gravity keeps a physical body on the ground, where an
    // upward push every frame would float it off.
    velocity.y = std::min(velocity.y, at.GetVelocity().y);
    at.SetVelocity(velocity);
    at.SetOrientation(FacingQuat(dx, dz));
}

void SteerCogToward(Cog& cog, const Vector3& target, float speed)
{
    if (Positional* at = PositionalOf(cog))
        SteerToward(*at, target, speed);
}

void HopInvader(Kestrane& invader, const Vector3& direction, float forward, float up, float spin)
{
    const Vector3 f = direction * forward + Vector3(0.0f, 1.0f, 0.0f) * up;
    const float magnitude = f.Length();
    if (PhysicsComp* physics = invader.Physics())
    {
        physics->AddForce(f, magnitude);
        if (magnitude > 0.0f)
            physics->SetSpinFromDirection(f.Normalized(), spin);
        physics->mUseGravity = true;
        physics->mDisableRotation = false;
    }
    Positional& at = invader.Pos();
    at.SetVelocity(at.GetVelocity() + f);
    invader.ChangeState(StateAirborne);
}

void SendDamage(Cog& cog, const DamageInfo& damage)
{
    ParamBuffer params;
    ParamTraits<DamageInfo>::Push(params, damage);
    cog.CallFunction("Damage", params);
}

void SendSound(Cog& cog, const std::string& message, const std::string& sound)
{
    ParamBuffer params;
    params.PushStdString(sound);
    cog.CallFunction(message, params);
}

void SendFollow(Cog& follower, const Cog& followed)
{
    ParamBuffer params;
    params.PushInt(static_cast<int32_t>(followed.GetID()));
    follower.CallFunction("SetFollowedObj", params);
}

void SayPhrase(Kestrane& invader, int32_t situation)
{
    LogicLoom* logic = LogicLoom::Instance();
    if (logic && logic->mPhraseBank && invader.GetOwner())
        logic->mPhraseBank->SayPhrase(situation, invader.GetOwner());
}

float SpeedFactor()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic && logic->mDataController ? logic->mDataController->mInvaderBaseSpeed : 10.0f;
}

Cog* FindTower()
{
    static const std::string kTower = "Tower";
    return CogFactory::Instance().FindCogByName(kTower);
}

Vector3 TileCentre(const TileMap& map, TileIndex tile)
{
    Vector3 c = map.TileToWorld(tile.first, tile.second);
    c.y = GroundHeight(c.x, c.z);
    return c;
}

int32_t TileDistanceSquared(TileIndex a, TileIndex b)
{
    const int32_t dx = a.first - b.first;
    const int32_t dz = a.second - b.second;
    return dx * dx + dz * dz;
}

Cog* OccupantCog(const Tile& tile)
{
    return tile.occupant ? tile.occupant->GetOwner() : nullptr;
}

bool CogHas(Cog* cog, uint32_t typeId)
{
    if (!cog)
        return false;
    Comp* comp = cog->GetComponent(typeId);
    return comp && comp->GetTypeId() == typeId;
}

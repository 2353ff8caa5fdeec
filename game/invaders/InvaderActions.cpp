#include "game/invaders/InvaderActions.h"

#include <algorithm>
#include <cmath>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Quat.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/level/TileComp.h"
#include "game/logic/DataController.h"
#include "game/logic/EffectSeam.h"
#include "game/logic/LogicLoom.h"
#include "game/logic/PhraseBank.h"
#include "physics/PhysicsComp.h"
#include "physics/collision/Ground.h"

namespace {
Positional* PositionalOf(Cog& cog) { return cog.Get<Positional>(); }

// How much steering lifts the direction above the slope.
constexpr float kLift = 0.1f;

// FacingQuat with the direction's length h already taken.
Quat FacingOfLength(float dx, float dz, float h)
{
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
} // namespace

Quat FacingQuat(float dx, float dz)
{
    // The yaw of Quat::FromDirection for a level direction, from the half-angle identities
    // instead of an arc tangent: walkers turn every frame.
    return FacingOfLength(dx, dz, std::sqrt(dx * dx + dz * dz));
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

namespace {
float HeightOn(const Ground* ground, float x, float z) { return ground ? ground->GetHeight(x, z) : 0.0f; }

// SteerToward over that ground, with the height under the target already known.
void SteerOverGround(Positional& at, const Ground* ground, const Vector3& target, float targetGround, float speed)
{
    const Vector3& from = at.GetPosition();
    const float dx = target.x - from.x;
    const float dz = target.z - from.z;
    const float flat = std::sqrt(dx * dx + dz * dz);
    if (!(flat > 1e-6f))
        return;
    // Follows the terrain: the slope toward the target, lifted slightly so it never digs in.
    const float rise = targetGround - HeightOn(ground, from.x, from.z);
    // On level ground the slope is the lift alone and its length a constant: the same numbers
    // without a division and a root waiting on the distance.
    static const float kLevelLength = std::sqrt(1.0f + kLift * kLift);
    const float dy = rise == 0.0f ? kLift : rise / flat + kLift;
    const float scale = speed / (rise == 0.0f ? kLevelLength : std::sqrt(1.0f + dy * dy));
    Vector3 velocity(dx / flat * scale, dy * scale, dz / flat * scale);
    // The slope only bounds the climb: gravity keeps a physical body on the ground, where an
    // upward push every frame would float it off.
    velocity.y = std::min(velocity.y, at.GetVelocity().y);
    at.SetVelocity(velocity);
    // The same length the facing would take again.
    at.SetOrientation(FacingOfLength(dx, dz, flat));
}
} // namespace

void SteerToward(Positional& at, const Vector3& target, float speed)
{
    const Ground* ground = Ground::Current();
    SteerOverGround(at, ground, target, HeightOn(ground, target.x, target.z), speed);
}

void SteerToTile(Positional& at, const TileMap& map, TileIndex tile, float speed)
{
    // The centre's height is the ground under it: asked once, not again by the steering.
    const Ground* ground = Ground::Current();
    Vector3 centre = map.TileToWorld(tile.first, tile.second);
    centre.y = HeightOn(ground, centre.x, centre.z);
    SteerOverGround(at, ground, centre, centre.y, speed);
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

Cog* ShowSpeech(Kestrane& invader, const std::string& text)
{
    Cog* self = invader.GetOwner();
    if (!self)
        return nullptr;
    Cog* bubble = CogFactory::Instance().Create("Data/Effects/SpeechBubble.xml");
    if (!bubble)
        return nullptr;
    if (Positional* at = bubble->Get<Positional>())
        at->SetPosition(invader.Pos().GetPosition());
    SendFollow(*bubble, *self);
    // The phrase bank sees it as this invader's bubble and puts no second one over it.
    if (PhraseComp* phrase = bubble->Get<PhraseComp>())
        phrase->speakerId = static_cast<int32_t>(self->GetID());
    EffectSeam& effects = SceneEffects();
    effects.ClearEffectLoop(*bubble);
    effects.SetEffectText(*bubble, text);
    return bubble;
}

void SayPhrase(Kestrane& invader, int32_t situation)
{
    LogicLoom* logic = LogicLoom::Instance();
    if (logic && logic->mPhraseBank && invader.GetOwner())
        logic->mPhraseBank->SayPhrase(situation, invader.GetOwner());
}

void SayPhraseInstead(Kestrane& invader, int32_t situation)
{
    LogicLoom* logic = LogicLoom::Instance();
    if (!logic || !logic->mPhraseBank || !invader.GetOwner())
        return;
    logic->mPhraseBank->EndBubble(static_cast<int32_t>(invader.GetOwner()->GetID()));
    logic->mPhraseBank->SayPhrase(situation, invader.GetOwner());
}

float SpeedFactor()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic && logic->mDataController ? logic->mDataController->mInvaderBaseSpeed : 10.0f;
}

Vector3 TileCentre(const TileMap& map, TileIndex tile)
{
    Vector3 c = map.TileToWorld(tile.first, tile.second);
    c.y = GroundHeight(c.x, c.z);
    return c;
}

Cog* OccupantCog(const Tile& tile) { return tile.occupant ? tile.occupant->GetOwner() : nullptr; }

bool CogHas(Cog* cog, uint32_t typeId)
{
    if (!cog)
        return false;
    Comp* comp = cog->GetComponent(typeId);
    return comp && comp->GetTypeId() == typeId;
}

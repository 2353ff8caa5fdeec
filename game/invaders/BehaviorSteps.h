#pragma once
#include <string>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/ModelSeam.h"
#include "physics/CollisionComp.h"

// Small steps the standard behaviour and the kinds share.

inline Cog& Owner(Kestrane& k) { return *k.GetOwner(); }

inline void Animate(Kestrane& k, const char* name, bool loop) { SceneModels().PlayAnimation(Owner(k), name, loop); }

inline void SetVelocity(Kestrane& k, const Vector3& v) { k.Pos().SetVelocity(v); }

// The horizontal offset from the invader to the tile's centre.
inline Vector3 FlatTo(Kestrane& k, const Vector3& target)
{
    Vector3 v = target - k.Pos().GetPosition();
    v.y = 0.0f;
    return v;
}

inline void ReleaseFromCursor()
{
    static const std::string kCursor = "Cursor";
    if (Cog* cursor = CogFactory::Instance().FindCogByName(kCursor))
    {
        ParamBuffer params;
        params.PushBool(true);
        cursor->CallFunction("ReleaseGrabbed", params);
    }
}

inline CollisionComp* CollisionOf(Kestrane& k)
{
    Cog& cog = Owner(k);
    return CogHas(&cog, CollisionComp::kTypeId) ? cog.Get<CollisionComp>() : nullptr;
}

inline Cog* CreateAtInvader(const std::string& name, Kestrane& k)
{
    return CogFactory::Instance().CreateAt(name, k.Pos().GetPosition());
}

inline void StandOnGround(Kestrane& k, float lift)
{
    Vector3 p = k.Pos().GetPosition();
    p.y = GroundHeight(p.x, p.z) + lift;
    k.Pos().SetPosition(p);
}

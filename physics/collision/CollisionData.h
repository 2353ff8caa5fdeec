#pragma once
#include "LOOM/base/TypeCode.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/math/Vector3.h"

// What "CollideMap" and "CollideObj" carry: nine 32-bit words.
struct CollisionData
{
    Vector3 mPoint;    // where the two touch
    Vector3 mVelocity; // this body's velocity relative to the other (or to the ground)
    Vector3 mNormal;   // unit, from the other (or the ground) into this body
};
static_assert(sizeof(CollisionData) == 36, "CollisionData travels as nine words");

template <>
struct ParamTraits<CollisionData> : RecordParamTraits<CollisionData, TypeCollisionData>
{
};

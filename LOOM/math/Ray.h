#pragma once
#include "LOOM/math/Vector3.h"

// A half-line from origin along direction (not necessarily unit length).
struct Ray
{
    Vector3 origin;
    Vector3 direction;

    constexpr Ray() = default;
    constexpr Ray(const Vector3& originIn, const Vector3& directionIn) : origin(originIn), direction(directionIn) {}
};

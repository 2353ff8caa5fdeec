#pragma once
#include <cmath>

#include "LOOM/math/Vector3.h"

// Two unit vectors across a unit direction d (a x d = b): the axes of discs and of beam
// sides. A zero direction gives zero axes.
inline void BuildPerpendicularBasis(const Vector3& d, Vector3& a, Vector3& b)
{
    const float ax = std::fabs(d.x), ay = std::fabs(d.y);
    if (!(ay > ax))
    {
        const float len = std::sqrt(d.x * d.x + d.z * d.z);
        a = len > 0.0f ? Vector3(-d.z, 0.0f, d.x) * (1.0f / len) : Vector3();
    }
    else
    {
        const float len = std::sqrt(d.y * d.y + d.z * d.z);
        a = len > 0.0f ? Vector3(0.0f, d.z, -d.y) * (1.0f / len) : Vector3();
    }
    CrossProduct(a, d, b);
}

#include "LOOM/math/Plane.h"

#include <cmath>

namespace {
constexpr float kParallel = 1e-5f;
}

Plane Plane::FromPointNormal(const Vector3& point, const Vector3& normal)
{
    return {normal.x, normal.y, normal.z, -DotProduct(point, normal)};
}

Plane Plane::Normalized() const
{
    const float len = Normal().Length();
    if (len == 0.0f)
        return *this;
    const float inv = 1.0f / len;
    return {a * inv, b * inv, c * inv, d * inv};
}

bool Plane::IntersectRay(const Ray& ray, Vector3* out) const
{
    const Vector3 n = Normal();
    const float denom = DotProduct(n, ray.direction);
    const float originSide = DotCoord(ray.origin);
    if (std::fabs(denom) < kParallel && std::fabs(originSide) < kParallel)
    {
        if (out)
            *out = ray.origin;
        return true;
    }
    if (denom == 0.0f)
        return false;
    const float t = -originSide / denom;
    if (t < 0.0f)
        return false;
    if (out)
        *out = ray.origin + ray.direction * t;
    return true;
}

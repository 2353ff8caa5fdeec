#pragma once
#include "LOOM/math/Ray.h"
#include "LOOM/math/Vector3.h"

// The points p with a p.x + b p.y + c p.z + d = 0; (a, b, c) is the normal.
struct Plane
{
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;

    constexpr Plane() = default;
    constexpr Plane(float aIn, float bIn, float cIn, float dIn) : a(aIn), b(bIn), c(cIn), d(dIn) {}

    static Plane FromPointNormal(const Vector3& point, const Vector3& normal);
    // Scaled so the normal has unit length; a plane without a normal is returned as it is.
    Plane Normalized() const;
    Vector3 Normal() const { return {a, b, c}; }
    // a x + b y + c z + d: signed distance times the normal's length.
    float DotCoord(const Vector3& p) const { return a * p.x + b * p.y + c * p.z + d; }

    // True when the ray meets the plane at or ahead of its origin; out (may be null) gets the
    // point. A ray lying in the plane hits at its origin.
    bool IntersectRay(const Ray& ray, Vector3* out) const;
};

inline bool IntersectRayPlane(const Plane& plane, const Ray& ray, Vector3* out) { return plane.IntersectRay(ray, out); }

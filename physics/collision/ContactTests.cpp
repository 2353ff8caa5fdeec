#include "physics/collision/ContactTests.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "LOOM/space/Spatial.h"
#include "physics/collision/Ground.h"

namespace {
float Axis(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

Vector3 UnitAxis(int axis, float sign)
{
    return Vector3(axis == 0 ? sign : 0.0f, axis == 1 ? sign : 0.0f, axis == 2 ? sign : 0.0f);
}

bool SphereSphere(const BoundingSphere& a, const BoundingSphere& b, Touch& out)
{
    const Vector3 d = a.center - b.center;
    const float reach = a.radius + b.radius;
    const float dist2 = DotProduct(d, d);
    if (dist2 > reach * reach)
        return false;
    const float dist = std::sqrt(dist2);
    // Coincident centres: part them upward rather than not at all.
    out.mNormal = dist > 1e-6f ? d * (1.0f / dist) : Vector3(0.0f, 1.0f, 0.0f);
    out.mDepth = reach - dist;
    out.mPoint = b.center + out.mNormal * b.radius;
    return true;
}

// Normal from the box into the sphere.
bool SphereBox(const BoundingSphere& s, const BoundingBox& box, Touch& out)
{
    const Vector3 c = s.center;
    const Vector3 q(std::clamp(c.x, box.min.x, box.max.x), std::clamp(c.y, box.min.y, box.max.y),
                    std::clamp(c.z, box.min.z, box.max.z));
    const Vector3 d = c - q;
    const float dist2 = DotProduct(d, d);
    if (dist2 > s.radius * s.radius)
        return false;
    if (dist2 > 1e-12f)
    {
        const float dist = std::sqrt(dist2);
        out.mNormal = d * (1.0f / dist);
        out.mDepth = s.radius - dist;
        out.mPoint = q;
        return true;
    }
    // The centre is inside: leave through the nearest face.
    float best = FLT_MAX;
    for (int axis = 0; axis < 3; ++axis)
    {
        const float toMin = Axis(c, axis) - Axis(box.min, axis);
        const float toMax = Axis(box.max, axis) - Axis(c, axis);
        if (toMin < best)
        {
            best = toMin;
            out.mNormal = UnitAxis(axis, -1.0f);
        }
        if (toMax < best)
        {
            best = toMax;
            out.mNormal = UnitAxis(axis, 1.0f);
        }
    }
    out.mDepth = s.radius + best;
    out.mPoint = c + out.mNormal * best;
    return true;
}

bool BoxBox(const BoundingBox& a, const BoundingBox& b, Touch& out)
{
    float best = FLT_MAX;
    int bestAxis = 1;
    for (int axis = 0; axis < 3; ++axis)
    {
        const float overlap =
            std::min(Axis(a.max, axis), Axis(b.max, axis)) - std::max(Axis(a.min, axis), Axis(b.min, axis));
        if (overlap < 0.0f)
            return false;
        if (overlap < best)
        {
            best = overlap;
            bestAxis = axis;
        }
    }
    const float centreA = Axis(a.min, bestAxis) + Axis(a.max, bestAxis);
    const float centreB = Axis(b.min, bestAxis) + Axis(b.max, bestAxis);
    out.mNormal = UnitAxis(bestAxis, centreA >= centreB ? 1.0f : -1.0f);
    out.mDepth = best;
    const Vector3 low(std::max(a.min.x, b.min.x), std::max(a.min.y, b.min.y), std::max(a.min.z, b.min.z));
    const Vector3 high(std::min(a.max.x, b.max.x), std::min(a.max.y, b.max.y), std::min(a.max.z, b.max.z));
    out.mPoint = (low + high) * 0.5f;
    return true;
}

// The lowest signed distance of the point above the planes, less the radius, and that plane's
// normal; false without planes.
bool DeepestPlane(const Vector3& point, float radius, const std::vector<Plane>& planes, float& deepest, Vector3& normal)
{
    bool found = false;
    for (const Plane& plane : planes)
    {
        const float dist = plane.DotCoord(point) - radius;
        if (!found || dist < deepest)
        {
            deepest = dist;
            normal = plane.Normal();
            found = true;
        }
    }
    return found;
}
} // namespace

bool TouchShapes(const Spatial& a, const Spatial& b, Touch& out)
{
    if (!a.UsesBox() && !b.UsesBox())
        return SphereSphere(a.GetWorldSphere(), b.GetWorldSphere(), out);
    if (!a.UsesBox())
        return SphereBox(a.GetWorldSphere(), b.GetWorldBox(), out);
    if (!b.UsesBox())
    {
        if (!SphereBox(b.GetWorldSphere(), a.GetWorldBox(), out))
            return false;
        out.mNormal = -out.mNormal;
        return true;
    }
    return BoxBox(a.GetWorldBox(), b.GetWorldBox(), out);
}

bool TouchGround(const Spatial& a, const Ground& ground, std::vector<Plane>& planes, Touch& out)
{
    planes.clear();
    float deepest = FLT_MAX;
    if (!a.UsesBox())
    {
        const BoundingSphere sphere = a.GetWorldSphere();
        ground.GatherCollisionPlanes(sphere.center, sphere.radius, planes);
        if (!DeepestPlane(sphere.center, sphere.radius, planes, deepest, out.mNormal) || deepest > 0.0f)
            return false;
        out.mDepth = -deepest;
        out.mPoint = sphere.center - out.mNormal * sphere.radius;
        return true;
    }
    const BoundingBox box = a.GetWorldBox();
    const Vector3 centre = (box.min + box.max) * 0.5f;
    const float halfX = (box.max.x - box.min.x) * 0.5f;
    const float halfZ = (box.max.z - box.min.z) * 0.5f;
    ground.GatherCollisionPlanes(centre, std::sqrt(halfX * halfX + halfZ * halfZ), planes);
    const Vector3 corners[4] = {{box.min.x, box.min.y, box.min.z},
                                {box.max.x, box.min.y, box.min.z},
                                {box.min.x, box.min.y, box.max.z},
                                {box.max.x, box.min.y, box.max.z}};
    for (const Vector3& corner : corners)
    {
        Vector3 normal;
        float dist = 0.0f;
        if (DeepestPlane(corner, 0.0f, planes, dist, normal) && dist < deepest)
        {
            deepest = dist;
            out.mNormal = normal;
            out.mPoint = corner;
        }
    }
    if (!(deepest <= 0.0f))
        return false;
    out.mDepth = -deepest;
    return true;
}

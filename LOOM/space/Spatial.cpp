#include "LOOM/space/Spatial.h"

#include <algorithm>
#include <cmath>

#include "LOOM/space/QTree.h"

namespace {
// A negative radius is no bound at all, not a sphere that squares to a positive size.
float SafeRadius(float radius) { return std::max(radius, 0.0f); }

bool SphereMeetsSphere(const BoundingSphere& a, const BoundingSphere& b)
{
    const Vector3 d = a.center - b.center;
    const float reach = SafeRadius(a.radius) + SafeRadius(b.radius);
    return d.x * d.x + d.y * d.y + d.z * d.z <= reach * reach;
}

float AxisGap(float c, float low, float high)
{
    if (c < low)
        return (c - low) * (c - low);
    if (c > high)
        return (c - high) * (c - high);
    return 0.0f;
}

bool SphereMeetsBox(const BoundingSphere& s, const BoundingBox& b)
{
    const float gap = AxisGap(s.center.x, b.min.x, b.max.x) + AxisGap(s.center.y, b.min.y, b.max.y) +
        AxisGap(s.center.z, b.min.z, b.max.z);
    const float radius = SafeRadius(s.radius);
    return gap <= radius * radius;
}

bool BoxMeetsBox(const BoundingBox& a, const BoundingBox& b)
{
    return a.max.x >= b.min.x && a.min.x <= b.max.x && a.max.y >= b.min.y && a.min.y <= b.max.y && a.max.z >= b.min.z &&
        a.min.z <= b.max.z;
}
} // namespace

Spatial::Spatial(const Spatial& other)
    : mPosition(other.mPosition), mBoundingType(other.mBoundingType), mLocalBox(other.mLocalBox),
      mLocalSphere(other.mLocalSphere)
{
}

Spatial& Spatial::operator=(const Spatial& other)
{
    mPosition = other.mPosition;
    mBoundingType = other.mBoundingType;
    mLocalBox = other.mLocalBox;
    mLocalSphere = other.mLocalSphere;
    return *this;
}

Spatial::~Spatial()
{
    if (mTree)
        mTree->Remove(this);
}

bool Spatial::Intersects(const Spatial& other) const
{
    if (UsesBox() && other.UsesBox())
        return BoxMeetsBox(GetWorldBox(), other.GetWorldBox());
    if (UsesBox())
        return SphereMeetsBox(other.GetWorldSphere(), GetWorldBox());
    if (other.UsesBox())
        return SphereMeetsBox(GetWorldSphere(), other.GetWorldBox());
    return SphereMeetsSphere(GetWorldSphere(), other.GetWorldSphere());
}

float Spatial::GetReach() const
{
    if (UsesBox())
        return std::max({std::fabs(mLocalBox.min.x), std::fabs(mLocalBox.max.x), std::fabs(mLocalBox.min.z),
                         std::fabs(mLocalBox.max.z)});
    const float radius = SafeRadius(mLocalSphere.radius);
    return std::max(std::fabs(mLocalSphere.center.x), std::fabs(mLocalSphere.center.z)) + radius;
}

void Spatial::GetHeightRange(float& low, float& high) const
{
    if (UsesBox())
    {
        low = mPosition.y + mLocalBox.min.y;
        high = mPosition.y + mLocalBox.max.y;
        return;
    }
    const float radius = SafeRadius(mLocalSphere.radius);
    const float y = mPosition.y + mLocalSphere.center.y;
    low = y - radius;
    high = y + radius;
}

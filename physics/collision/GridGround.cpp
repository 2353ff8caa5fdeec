#include "physics/collision/GridGround.h"

#include <algorithm>
#include <cmath>

GridGround::GridGround(uint32_t width, uint32_t depth, float tileScale)
    : mWidth(std::max(width, 2u)), mDepth(std::max(depth, 2u)),
      mTileScale(tileScale > 0.0f && std::isfinite(tileScale) ? tileScale : 1.0f), mInvTileScale(1.0f / mTileScale),
      mHeights(size_t(mWidth) * mDepth, 0.0f), mNormals(size_t(mWidth) * mDepth, Vector3(0.0f, 1.0f, 0.0f))
{
}

void GridGround::SetHeight(uint32_t x, uint32_t z, float height)
{
    if (x < mWidth && z < mDepth)
        mHeights[Index(x, z)] = height;
}

void GridGround::ComputeNormals()
{
    for (uint32_t z = 0; z < mDepth; ++z)
    {
        for (uint32_t x = 0; x < mWidth; ++x)
        {
            const uint32_t x0 = x > 0 ? x - 1 : x;
            const uint32_t x1 = x + 1 < mWidth ? x + 1 : x;
            const uint32_t z0 = z > 0 ? z - 1 : z;
            const uint32_t z1 = z + 1 < mDepth ? z + 1 : z;
            const float slopeX = (mHeights[Index(x1, z)] - mHeights[Index(x0, z)]) / (float(x1 - x0) * mTileScale);
            const float slopeZ = (mHeights[Index(x, z1)] - mHeights[Index(x, z0)]) / (float(z1 - z0) * mTileScale);
            mNormals[Index(x, z)] = Vector3(-slopeX, 1.0f, -slopeZ).Normalized();
        }
    }
}

void GridGround::Cell(float x, float z, uint32_t& ix, uint32_t& iz, float& fx, float& fz) const
{
    const float u = std::clamp(x * mInvTileScale, 0.0f, float(mWidth - 2));
    const float w = std::clamp(z * mInvTileScale, 0.0f, float(mDepth - 2));
    ix = static_cast<uint32_t>(u);
    iz = static_cast<uint32_t>(w);
    fx = x * mInvTileScale - float(ix);
    fz = z * mInvTileScale - float(iz);
}

float GridGround::GetHeight(float x, float z) const
{
    if (!(x >= 0.0f && z >= 0.0f) || x * mInvTileScale > float(mWidth - 1) || z * mInvTileScale > float(mDepth - 1))
        return 0.0f;
    uint32_t ix, iz;
    float fx, fz;
    Cell(x, z, ix, iz, fx, fz);
    const float h00 = mHeights[Index(ix, iz)], h10 = mHeights[Index(ix + 1, iz)];
    const float h01 = mHeights[Index(ix, iz + 1)], h11 = mHeights[Index(ix + 1, iz + 1)];
    return fz * ((1.0f - fx) * h01 + fx * h11) + (1.0f - fz) * ((1.0f - fx) * h00 + fx * h10);
}

Vector3 GridGround::GetNormal(float x, float z) const
{
    if (!(std::isfinite(x) && std::isfinite(z)))
        return Vector3(0.0f, 1.0f, 0.0f);
    uint32_t ix, iz;
    float fx, fz;
    Cell(x, z, ix, iz, fx, fz);
    const Vector3& n00 = mNormals[Index(ix, iz)];
    const Vector3& n10 = mNormals[Index(ix + 1, iz)];
    const Vector3& n01 = mNormals[Index(ix, iz + 1)];
    const Vector3& n11 = mNormals[Index(ix + 1, iz + 1)];
    return (n01 * (1.0f - fx) + n11 * fx) * fz + (n00 * (1.0f - fx) + n10 * fx) * (1.0f - fz);
}

void GridGround::GatherCollisionPlanes(const Vector3& centre, float radius, std::vector<Plane>& out) const
{
    if (!(std::isfinite(centre.x) && std::isfinite(centre.z) && std::isfinite(radius)))
        return;
    auto range = [this](float low, float high, uint32_t count, int32_t& first, int32_t& end) {
        first = std::clamp(static_cast<int32_t>(std::floor(low * mInvTileScale)), 0, int32_t(count));
        end = std::clamp(static_cast<int32_t>(std::ceil(high * mInvTileScale)), 0, int32_t(count));
    };
    int32_t x0, x1, z0, z1;
    range(centre.x - radius, centre.x + radius, mWidth, x0, x1);
    range(centre.z - radius, centre.z + radius, mDepth, z0, z1);
    // A circle smaller than a tile still gets the vertex it lies next to.
    if (x1 == x0 && x0 < int32_t(mWidth))
        ++x1;
    if (z1 == z0 && z0 < int32_t(mDepth))
        ++z1;
    for (int32_t z = z0; z < z1; ++z)
    {
        for (int32_t x = x0; x < x1; ++x)
        {
            const Vector3 point(float(x) * mTileScale, mHeights[Index(x, z)], float(z) * mTileScale);
            out.push_back(Plane::FromPointNormal(point, mNormals[Index(x, z)]).Normalized());
        }
    }
}

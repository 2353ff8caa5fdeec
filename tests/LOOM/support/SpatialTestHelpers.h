#pragma once
#include <array>
#include <cmath>
#include <random>

#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Plane.h"
#include "LOOM/space/Spatial.h"

// The six inward-facing planes of a view-projection matrix (row vectors, depth 0..1), not
// normalised: the tree must not rely on unit normals.
inline std::array<Plane, 6> FrustumPlanes(const Matrix4& viewProj)
{
    auto column = [&](int j) {
        return std::array<float, 4>{viewProj.m[j], viewProj.m[4 + j], viewProj.m[8 + j], viewProj.m[12 + j]};
    };
    const auto c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    auto make = [](const std::array<float, 4>& p, const std::array<float, 4>& q, float s) {
        return Plane(p[0] + s * q[0], p[1] + s * q[1], p[2] + s * q[2], p[3] + s * q[3]);
    };
    const std::array<float, 4> none{0, 0, 0, 0};
    return {make(c3, c0, 1.0f),  make(c3, c0, -1.0f),  make(c3, c1, 1.0f),
            make(c3, c1, -1.0f), make(c2, none, 0.0f), make(c3, c2, -1.0f)};
}

// A camera at eye turned by yaw and pitch, looking along +z before turning.
inline std::array<Plane, 6> CameraFrustum(const Vector3& eye, float yaw, float pitch, float fovY, float farPlane)
{
    Matrix4 world;
    world.FromYawPitchRoll(yaw, pitch, 0.0f);
    world.m[12] = eye.x;
    world.m[13] = eye.y;
    world.m[14] = eye.z;
    Matrix4 view;
    world.Inverse(view);
    return FrustumPlanes(view * Matrix4::PerspectiveFovLH(fovY, 4.0f / 3.0f, 1.0f, farPlane));
}

// Reference test: the bound in use is not wholly behind any plane.
inline bool MeetsFrustum(const Spatial& obj, const std::array<Plane, 6>& frustum)
{
    for (const Plane& p : frustum)
    {
        if (obj.UsesBox())
        {
            const BoundingBox box = obj.GetWorldBox();
            const float v = p.d + (p.a > 0 ? p.a * box.max.x : p.a * box.min.x) +
                (p.b > 0 ? p.b * box.max.y : p.b * box.min.y) + (p.c > 0 ? p.c * box.max.z : p.c * box.min.z);
            if (v < 0.0f)
                return false;
        }
        else
        {
            const BoundingSphere s = obj.GetWorldSphere();
            const float length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
            if (p.DotCoord(s.center) + std::fmax(s.radius, 0.0f) * length < 0.0f)
                return false;
        }
    }
    return true;
}

// Random bounds of every size, some offset from the position, some boxes.
inline void RandomBounds(Spatial& obj, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float size = unit(rng) < 0.05f ? 30.0f + unit(rng) * 90.0f : unit(rng) * 6.0f;
    if (unit(rng) < 0.3f)
    {
        obj.SetBoundingType(Spatial::kBoundingBox);
        obj.GetLocalBox().min = Vector3(-size * unit(rng), -size * unit(rng), -size * unit(rng));
        obj.GetLocalBox().max = Vector3(size * unit(rng), size * unit(rng), size * unit(rng));
    }
    else
    {
        obj.SetBoundingType(unit(rng) < 0.5f ? 0u : 2u);
        const float offset = unit(rng) < 0.2f ? size : 0.0f;
        obj.GetLocalSphere().center =
            Vector3(offset * (unit(rng) - 0.5f), offset * (unit(rng) - 0.5f), offset * (unit(rng) - 0.5f));
        obj.GetLocalSphere().radius = unit(rng) < 0.05f ? 0.0f : size;
    }
}

#pragma once
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

inline ::testing::AssertionResult VectorNear(const Vector3& actual, const Vector3& expected, float tolerance)
{
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
        std::fabs(actual.z - expected.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << ") vs ("
                                         << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

inline ::testing::AssertionResult QuatNear(const Quat& actual, const Quat& expected, float tolerance)
{
    if (std::fabs(actual.w - expected.w) <= tolerance && std::fabs(actual.x - expected.x) <= tolerance &&
        std::fabs(actual.y - expected.y) <= tolerance && std::fabs(actual.z - expected.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.w << ", " << actual.x << ", " << actual.y << ", " << actual.z
                                         << ") vs (" << expected.w << ", " << expected.x << ", " << expected.y << ", "
                                         << expected.z << ")";
}

inline ::testing::AssertionResult MatrixNear(const Matrix4& actual, const Matrix4& expected, float tolerance)
{
    for (int i = 0; i < 16; ++i)
    {
        if (!(std::fabs(actual.m[i] - expected.m[i]) <= tolerance))
            return ::testing::AssertionFailure() << "element " << i << ": " << actual.m[i] << " vs " << expected.m[i];
    }
    return ::testing::AssertionSuccess();
}

// Uniform random unit quaternion (normalised 4-D Gaussian) from a fixed-seed test source.
inline Quat RandomUnitQuat(std::mt19937& rng)
{
    std::normal_distribution<float> n(0.0f, 1.0f);
    for (;;)
    {
        Quat q(n(rng), n(rng), n(rng), n(rng));
        const float len = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
        if (len > 1e-3f)
            return q.Scaled(1.0f / len);
    }
}

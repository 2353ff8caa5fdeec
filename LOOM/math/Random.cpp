#include "LOOM/math/Random.h"

#include "LOOM/math/MathUtil.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kRandomScale = 3.051851e-5f; // 1 / 32767
}

RandomGenerator& EngineRandom()
{
    static RandomGenerator generator;
    return generator;
}

void RandomSeed(uint32_t seed) { EngineRandom().Seed(seed); }

int RandomInt(int min, int max)
{
    if (max == min)
        return min;
    // Drawn from the lower end so that reversed bounds stay in range; 64-bit so that the span
    // of extreme bounds does not overflow.
    const int64_t lo = std::min(min, max);
    const int64_t hi = std::max(min, max);
    return int(lo + EngineRandom().Next() % (hi - lo + 1));
}

float RandomFloat(float min, float max)
{
    if (max == min)
        return min;
    const float lo = std::min(min, max);
    const float hi = std::max(min, max);
    // The scale rounds slightly above 1/32767, so the top draw would land just past hi.
    const float unit = std::min(float(EngineRandom().Next()) * kRandomScale, 1.0f);
    return std::clamp(unit * (hi - lo) + lo, lo, hi);
}

Vector3 RandomUnitVector()
{
    const float z = RandomFloat(-1.0f, 1.0f);
    const float angle = RandomFloat(-PI, PI);
    const float r = std::sqrt(std::max(0.0f, 1.0f - z * z));
    return {std::cos(angle) * r, std::sin(angle) * r, z};
}

Vector3 RandomVectorInConeRange(const Vector3& direction, float minAngle, float maxAngle)
{
    const Vector3 d = direction.Normalized();
    // Spherical angles of the direction: theta from +z, phi about z.
    // r in double: a tiny x or y must not underflow to r = 0 and make d.y / r NaN.
    const double r = std::sqrt(double(d.x) * d.x + double(d.y) * d.y);
    const float theta = ClampedAcos(d.z);
    float phi = 0.0f;
    if (r != 0.0)
    {
        const float sinPhi = float(d.y / r);
        phi = d.x < 0.0f ? PI - ClampedAsin(sinPhi) : ClampedAsin(sinPhi);
    }

    const float side = RandomFloat(-PI, PI);
    const float deviation = RandomFloat(minAngle, maxAngle);
    const float phiOut = phi + std::cos(side) * deviation;
    const float thetaOut = theta + std::sin(side) * deviation;
    const Vector3 out(std::cos(phiOut) * std::sin(thetaOut), std::sin(phiOut) * std::sin(thetaOut), std::cos(thetaOut));
    return out.Normalized();
}

Vector3 RandomVectorInCone(const Vector3& direction, float spread)
{
    return RandomVectorInConeRange(direction, 0.0f, std::fabs(spread));
}

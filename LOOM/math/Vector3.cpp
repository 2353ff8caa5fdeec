#include "LOOM/math/Vector3.h"

#include <cmath>

float Vector3::Length() const
{
    // Summed in double so that tiny vectors do not underflow to a length of 0.
    const double sum = double(x) * x + double(y) * y + double(z) * z;
    return float(std::sqrt(sum));
}

Vector3& Vector3::Normalize()
{
    const double sum = double(x) * x + double(y) * y + double(z) * z;
    if (sum == 0.0)
        return *this;
    const double inv = 1.0 / std::sqrt(sum);
    x = float(x * inv);
    y = float(y * inv);
    z = float(z * inv);
    return *this;
}

Vector3 Vector3::Normalized() const
{
    Vector3 copy = *this;
    copy.Normalize();
    return copy;
}

bool Vector3::IsZero() const
{
    constexpr float kZero = 1e-5f;
    return std::fabs(x) < kZero && std::fabs(y) < kZero && std::fabs(z) < kZero;
}

#include "LOOM/math/Quat.h"

#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Matrix4.h"

#include <cmath>

namespace {
constexpr Vector3 kForward(0.0f, 0.0f, -1.0f);
constexpr float kNormalizeZero = 1e-5f;
constexpr float kSlerpThreshold = 1e-4f;
} // namespace

Quat Quat::Multiply(const Quat& o) const
{
    return {w * o.w - x * o.x - y * o.y - z * o.z, w * o.x + x * o.w + y * o.z - z * o.y,
            w * o.y - x * o.z + y * o.w + z * o.x, w * o.z + x * o.y - y * o.x + z * o.w};
}

Quat Quat::Inverse() const
{
    const float n = w * w + x * x + y * y + z * z;
    if (!(n > 0.0f))
        return {0.0f, 0.0f, 0.0f, 0.0f};
    const float inv = 1.0f / n;
    return {w * inv, -x * inv, -y * inv, -z * inv};
}

Quat& Quat::Normalize()
{
    const float sum = w * w + x * x + y * y + z * z;
    if (std::fabs(sum) < kNormalizeZero)
    {
        Set(1.0f, 0.0f, 0.0f, 0.0f);
        return *this;
    }
    const float inv = 1.0f / std::sqrt(sum);
    w *= inv;
    x *= inv;
    y *= inv;
    z *= inv;
    return *this;
}

Quat Quat::FromAxisAngle(const Vector3& axis, float angle)
{
    const float s = std::sin(angle * 0.5f);
    return {std::cos(angle * 0.5f), axis.x * s, axis.y * s, axis.z * s};
}

Matrix4 Quat::ToMatrix() const
{
    const float ww = w * w, xx = x * x, yy = y * y, zz = z * z;
    Matrix4 out;
    float* m = out.m;
    m[0] = ww + xx - yy - zz;
    m[1] = 2.0f * (x * y - w * z);
    m[2] = 2.0f * (w * y + x * z);
    m[3] = 0.0f;
    m[4] = 2.0f * (w * z + x * y);
    m[5] = ww - xx + yy - zz;
    m[6] = 2.0f * (y * z - w * x);
    m[7] = 0.0f;
    m[8] = 2.0f * (x * z - w * y);
    m[9] = 2.0f * (w * x + y * z);
    m[10] = ww - xx - yy + zz;
    m[11] = 0.0f;
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
    return out;
}

Quat Quat::FromMatrix(const Matrix4& matrix)
{
    const float* m = matrix.m;
    const float trace = m[0] + m[5] + m[10];
    if (trace > 0.0f)
    {
        const float s = std::sqrt(trace + 1.0f);
        const float t = 0.5f / s;
        return {s * 0.5f, (m[9] - m[6]) * t, (m[2] - m[8]) * t, (m[4] - m[1]) * t};
    }

    // Largest diagonal element; ties keep the lower index. The root's argument is then at least 1.
    int i = 0;
    if (m[5] > m[0])
        i = 1;
    if (m[10] > m[i * 5])
        i = 2;
    static constexpr int kNext[3] = {1, 2, 0};
    const int j = kNext[i];
    const int k = kNext[j];
    auto at = [m](int row, int col) { return m[row * 4 + col]; };

    const float s = std::sqrt(at(i, i) - at(j, j) - at(k, k) + 1.0f);
    const float t = 0.5f / s;
    float v[3];
    v[i] = s * 0.5f;
    v[j] = (at(j, i) + at(i, j)) * t;
    v[k] = (at(k, i) + at(i, k)) * t;
    Quat q((at(k, j) - at(j, k)) * t, v[0], v[1], v[2]);
    // Same rotation either way; keeping w >= 0 makes FromMatrix(ToMatrix(q)) return q itself.
    if (q.w < 0.0f)
        q = q.Scaled(-1.0f);
    return q;
}

void Quat::RotateVector(Vector3& v) const
{
    const Matrix4 r = ToMatrix();
    v = r.RotateVector(v);
}

void Quat::RotateInto(Vector3& out, const Vector3& v) const
{
    const Matrix4 r = ToMatrix();
    const float* m = r.m;
    out = Vector3(m[0] * v.x + m[1] * v.y + m[2] * v.z, m[4] * v.x + m[5] * v.y + m[6] * v.z,
                  m[8] * v.x + m[9] * v.y + m[10] * v.z);
}

Vector3 Quat::GetForward() const
{
    Vector3 v = kForward;
    RotateVector(v);
    return v;
}

void Quat::Slerp(Quat& out, float t, const Quat& from, const Quat& to)
{
    float c = from.w * to.w + from.x * to.x + from.y * to.y + from.z * to.z;
    float sign = 1.0f;
    if (c < 0.0f)
    {
        c = -c;
        sign = -1.0f;
    }
    const float angle = ClampedAcos(c);
    if (std::fabs(angle) < kSlerpThreshold)
    {
        out = from;
        return;
    }
    const float inv = 1.0f / std::sin(angle);
    const float kTo = std::sin(t * angle) * inv * sign;
    const float kFrom = std::sin((1.0f - t) * angle) * inv;
    out = to.Scaled(kTo).Add(from.Scaled(kFrom));
}

Quat Quat::FromDirection(float dx, float dy, float dz)
{
    // Yaw about the vertical axis from the horizontal part, then pitch (elevation) about -x.
    // Written with atan2 rather than the arc cosine of a dot product: the same angles, but they
    // keep full precision next to the axes, where acos of a value near +-1 loses most digits.
    const double h = std::sqrt(double(dx) * dx + double(dz) * dz);
    // A vertical (or zero) direction has no horizontal part; a quarter-turn yaw fixes its roll.
    const float yaw = h == 0.0 ? HALF_PI : float(std::atan2(double(dx), -double(dz)));
    const float pitch = (h == 0.0 && dy == 0.0f) ? HALF_PI : float(std::atan2(double(dy), h));

    const Quat qYaw = FromAxisAngle(Vector3(0.0f, 1.0f, 0.0f), yaw);
    const Quat qPitch = FromAxisAngle(Vector3(-1.0f, 0.0f, 0.0f), pitch);
    return qPitch.Multiply(qYaw);
}

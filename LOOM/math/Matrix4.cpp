#include "LOOM/math/Matrix4.h"

#include "LOOM/math/Plane.h"
#include "LOOM/math/Quat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

Matrix4::Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13, float m20,
                 float m21, float m22, float m23, float m30, float m31, float m32, float m33)
    : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33}
{
}

Matrix4 Matrix4::Zero()
{
    Matrix4 out;
    std::memset(out.m, 0, sizeof(out.m));
    return out;
}

void Matrix4::SetIdentity()
{
    std::memset(m, 0, sizeof(m));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Matrix4::Multiply(const Matrix4& other, Matrix4& out) const
{
    const float* a = m;
    const float* b = other.m;
    float r[16];
    for (int row = 0; row < 4; ++row)
    {
        for (int col = 0; col < 4; ++col)
        {
            r[row * 4 + col] = a[row * 4 + 0] * b[0 * 4 + col] + a[row * 4 + 1] * b[1 * 4 + col] +
                a[row * 4 + 2] * b[2 * 4 + col] + a[row * 4 + 3] * b[3 * 4 + col];
        }
    }
    std::memcpy(out.m, r, sizeof(r));
}

Matrix4& Matrix4::operator*=(const Matrix4& other)
{
    Multiply(other, *this);
    return *this;
}

Matrix4 Matrix4::operator*(const Matrix4& other) const
{
    Matrix4 out;
    Multiply(other, out);
    return out;
}

void Matrix4::MultiplyAffine(const Matrix4& a, const Matrix4& b, Matrix4& out)
{
    const float* p = a.m;
    const float* q = b.m;
    float r[16];
    for (int row = 0; row < 3; ++row)
    {
        for (int col = 0; col < 3; ++col)
            r[row * 4 + col] = p[row * 4] * q[col] + p[row * 4 + 1] * q[4 + col] + p[row * 4 + 2] * q[8 + col];
        r[row * 4 + 3] = 0.0f;
    }
    for (int col = 0; col < 3; ++col)
        r[12 + col] = p[12] * q[col] + p[13] * q[4 + col] + p[14] * q[8 + col] + q[12 + col];
    r[15] = 1.0f;
    std::memcpy(out.m, r, sizeof(r));
}

void Matrix4::PreMultiplyAffine(const Matrix4& a, Matrix4& b) { MultiplyAffine(a, b, b); }

Matrix4 Matrix4::Transposed() const
{
    Matrix4 out;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            out.m[col * 4 + row] = m[row * 4 + col];
    return out;
}

bool Matrix4::Inverse(Matrix4& out) const
{
    // Gauss-Jordan elimination on [M | I] with partial pivoting, in double to keep
    // near-singular camera matrices usable.
    double a[4][8];
    double largest = 0.0;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
        {
            a[row][col] = m[row * 4 + col];
            a[row][col + 4] = row == col ? 1.0 : 0.0;
            if (!std::isfinite(a[row][col]))
                return false;
            largest = std::max(largest, std::fabs(a[row][col]));
        }
    // Rounding leaves a singular matrix pivots of a few ulps instead of zero.
    const double tiny = largest * 0x1p-44;

    for (int col = 0; col < 4; ++col)
    {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col]))
                pivot = row;
        if (!(std::fabs(a[pivot][col]) > tiny))
            return false;
        if (pivot != col)
            std::swap(a[pivot], a[col]);
        const double scale = 1.0 / a[col][col];
        for (double& value : a[col])
            value *= scale;
        for (int row = 0; row < 4; ++row)
        {
            const double factor = a[row][col];
            if (row == col || factor == 0.0)
                continue;
            for (int k = 0; k < 8; ++k)
                a[row][k] -= factor * a[col][k];
        }
    }

    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            out.m[row * 4 + col] = float(a[row][col + 4]);
    return true;
}

void Matrix4::Translate(const Vector3& p)
{
    m[12] += p.x * m[0] + p.y * m[4] + p.z * m[8];
    m[13] += p.x * m[1] + p.y * m[5] + p.z * m[9];
    m[14] += p.x * m[2] + p.y * m[6] + p.z * m[10];
}

void Matrix4::FromPosQuat(const Vector3& position, const Quat& q)
{
    FromPosQuatScale(position, q, Vector3(1.0f, 1.0f, 1.0f));
}

void Matrix4::FromPosQuatScale(const Vector3& position, const Quat& q, const Vector3& scale)
{
    const float w = q.w, x = q.x, y = q.y, z = q.z;
    m[0] = (1.0f - 2.0f * (y * y + z * z)) * scale.x;
    m[1] = 2.0f * (x * y - w * z) * scale.x;
    m[2] = 2.0f * (w * y + x * z) * scale.x;
    m[3] = 0.0f;
    m[4] = 2.0f * (w * z + x * y) * scale.y;
    m[5] = (1.0f - 2.0f * (x * x + z * z)) * scale.y;
    m[6] = 2.0f * (y * z - w * x) * scale.y;
    m[7] = 0.0f;
    m[8] = 2.0f * (x * z - w * y) * scale.z;
    m[9] = 2.0f * (w * x + y * z) * scale.z;
    m[10] = (1.0f - 2.0f * (x * x + y * y)) * scale.z;
    m[11] = 0.0f;
    m[12] = position.x;
    m[13] = position.y;
    m[14] = position.z;
    m[15] = 1.0f;
}

void Matrix4::FromPosQuatUniformScale(const Vector3& position, const Quat& q, float scale)
{
    FromPosQuatScale(position, q, Vector3(scale, scale, scale));
}

void Matrix4::FromPosScale(const Vector3& position, const Vector3& scale)
{
    std::memset(m, 0, sizeof(m));
    m[0] = scale.x;
    m[5] = scale.y;
    m[10] = scale.z;
    m[12] = position.x;
    m[13] = position.y;
    m[14] = position.z;
    m[15] = 1.0f;
}

void Matrix4::FromYawPitchRoll(float yaw, float pitch, float roll)
{
    const float cr = std::cos(roll), sr = std::sin(roll);
    const float cp = std::cos(pitch), sp = std::sin(pitch);
    const Matrix4 rz(cr, -sr, 0, 0, sr, cr, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const Matrix4 rx(1, 0, 0, 0, 0, cp, -sp, 0, 0, sp, cp, 0, 0, 0, 0, 1);
    Matrix4 ry;
    MakeRotationY(ry, yaw);
    Matrix4 rzx;
    rz.Multiply(rx, rzx);
    rzx.Multiply(ry, *this);
}

Matrix4 Matrix4::Translation(const Vector3& position)
{
    Matrix4 out;
    out.m[12] = position.x;
    out.m[13] = position.y;
    out.m[14] = position.z;
    return out;
}

Matrix4 Matrix4::PerspectiveFovLH(float fovY, float aspect, float nearPlane, float farPlane)
{
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float q = farPlane / (farPlane - nearPlane);
    Matrix4 out = Zero();
    out.m[0] = xScale;
    out.m[5] = yScale;
    out.m[10] = q;
    out.m[11] = 1.0f;
    out.m[14] = -q * nearPlane;
    return out;
}

Matrix4 Matrix4::Reflect(const Plane& plane)
{
    const Plane p = plane.Normalized();
    if (p.a == 0.0f && p.b == 0.0f && p.c == 0.0f)
        return Matrix4();
    const float a = p.a, b = p.b, c = p.c, d = p.d;
    // x' = x - 2 (n.x + d) n, written for row vectors.
    return Matrix4(1.0f - 2.0f * a * a, -2.0f * b * a, -2.0f * c * a, 0.0f, -2.0f * a * b, 1.0f - 2.0f * b * b,
                   -2.0f * c * b, 0.0f, -2.0f * a * c, -2.0f * b * c, 1.0f - 2.0f * c * c, 0.0f, -2.0f * a * d,
                   -2.0f * b * d, -2.0f * c * d, 1.0f);
}

Vector3 Matrix4::RotateVector(const Vector3& v) const
{
    return {v.x * m[0] + v.y * m[4] + v.z * m[8], v.x * m[1] + v.y * m[5] + v.z * m[9],
            v.x * m[2] + v.y * m[6] + v.z * m[10]};
}

Vector3 Matrix4::TransformPoint(const Vector3& v) const
{
    return {v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12], v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13],
            v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14]};
}

Vector3 Matrix4::TransformCoord(const Vector3& v) const
{
    const float w = v.x * m[3] + v.y * m[7] + v.z * m[11] + m[15];
    return TransformPoint(v).Divided(w);
}

Vector3 Matrix4::TransformVector4(float x, float y, float z, float w) const
{
    return {x * m[0] + y * m[4] + z * m[8] + w * m[12], x * m[1] + y * m[5] + z * m[9] + w * m[13],
            x * m[2] + y * m[6] + z * m[10] + w * m[14]};
}

void Matrix4::TransformVector4(const float in[4], float out[4]) const
{
    float r[4];
    for (int col = 0; col < 4; ++col)
        r[col] = in[0] * m[col] + in[1] * m[4 + col] + in[2] * m[8 + col] + in[3] * m[12 + col];
    std::memcpy(out, r, sizeof(r));
}

bool Matrix4::operator==(const Matrix4& other) const
{
    for (int i = 0; i < 16; ++i)
        if (m[i] != other.m[i])
            return false;
    return true;
}

void MakeRotationY(Matrix4& out, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    out.SetIdentity();
    out.m[0] = c;
    out.m[2] = s;
    out.m[8] = -s;
    out.m[10] = c;
}

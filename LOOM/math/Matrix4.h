#pragma once
#include "LOOM/math/Vector3.h"

struct Quat;
struct Plane;

// 4 x 4, row-major (element i is row i / 4, column i % 4). Points are row vectors transformed
// as v x M, so the translation sits in elements 12, 13 and 14. Left-handed; projections map
// depth to 0..1. Default-constructed as the identity.
struct Matrix4
{
    float m[16];

    Matrix4() { SetIdentity(); }
    Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13, float m20,
            float m21, float m22, float m23, float m30, float m31, float m32, float m33);

    static Matrix4 Identity() { return Matrix4(); }
    static Matrix4 Zero();
    void SetIdentity();

    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }

    // out := this x other; out may be either operand.
    void Multiply(const Matrix4& other, Matrix4& out) const;
    Matrix4& operator*=(const Matrix4& other);
    Matrix4 operator*(const Matrix4& other) const;
    // Uses only the 3 x 3 parts and the translations; out is affine. out may be a or b.
    static void MultiplyAffine(const Matrix4& a, const Matrix4& b, Matrix4& out);
    // b := a x b, affine.
    static void PreMultiplyAffine(const Matrix4& a, Matrix4& b);
    Matrix4 Transposed() const;
    // General inverse; false (out untouched) when the matrix is singular. out may be this.
    bool Inverse(Matrix4& out) const;

    Vector3 GetTranslation() const { return {m[12], m[13], m[14]}; }
    // Moves along the matrix's own axes: translation += p x (3 x 3 part).
    void Translate(const Vector3& p);

    void FromPosQuat(const Vector3& position, const Quat& q);
    // Rotation rows 0, 1, 2 scaled by scale.x, scale.y, scale.z.
    void FromPosQuatScale(const Vector3& position, const Quat& q, const Vector3& scale);
    void FromPosQuatUniformScale(const Vector3& position, const Quat& q, float scale);
    void FromPosScale(const Vector3& position, const Vector3& scale);
    // Rz(roll) x Rx(pitch) x Ry(yaw): a row vector is rolled, then pitched, then yawed. Each turn
    // matches Quat::FromAxisAngle about that axis, so Ry(a) is MakeRotationY(a).
    void FromYawPitchRoll(float yaw, float pitch, float roll);

    static Matrix4 Translation(const Vector3& position);
    // Left-handed perspective with depth 0..1: element 11 = 1, element 15 = 0.
    static Matrix4 PerspectiveFovLH(float fovY, float aspect, float nearPlane, float farPlane);
    // Mirror through the plane (normalised first); identity for a plane without a normal.
    static Matrix4 Reflect(const Plane& plane);

    // v x (3 x 3 part).
    Vector3 RotateVector(const Vector3& v) const;
    // v x M with the translation, no division.
    Vector3 TransformPoint(const Vector3& v) const;
    // (v x M) / w.
    Vector3 TransformCoord(const Vector3& v) const;
    // First three components of (x, y, z, w) x M.
    Vector3 TransformVector4(float x, float y, float z, float w) const;
    // All four components of in x M; out may be in.
    void TransformVector4(const float in[4], float out[4]) const;

    bool operator==(const Matrix4& other) const;
};

// Rotation about the vertical axis: x' = x cos - z sin, z' = x sin + z cos.
void MakeRotationY(Matrix4& out, float angle);

#pragma once
#include "LOOM/math/Vector3.h"

struct Matrix4;

// A rotation as a quaternion, stored w first (16 bytes; scripts and streams rely on the layout).
// Products chain like row-vector matrices: rotating by a.Multiply(b) rotates by a, then by b,
// and ToMatrix(a.Multiply(b)) == ToMatrix(a) x ToMatrix(b).
struct Quat
{
    float w = 1.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Quat() = default;
    constexpr Quat(float wIn, float xIn, float yIn, float zIn) : w(wIn), x(xIn), y(yIn), z(zIn) {}

    void Set(float wIn, float xIn, float yIn, float zIn) { *this = Quat(wIn, xIn, yIn, zIn); }

    Quat Add(const Quat& other) const { return {w + other.w, x + other.x, y + other.y, z + other.z}; }
    Quat Scaled(float s) const { return {w * s, x * s, y * s, z * s}; }
    // Hamilton product this x other.
    Quat Multiply(const Quat& other) const;
    // Conjugate over the squared norm; all zero for a zero quaternion.
    Quat Inverse() const;
    // A quaternion whose squared norm is below 1e-5 becomes the identity.
    Quat& Normalize();

    // The axis is used as given, not normalised.
    static Quat FromAxisAngle(const Vector3& axis, float angle);
    Matrix4 ToMatrix() const;
    static Quat FromMatrix(const Matrix4& matrix);

    // v := v x rotation matrix (row vector), in place.
    void RotateVector(Vector3& v) const;
    // out := rotation matrix x v (column vector): the opposite turn to RotateVector.
    void RotateInto(Vector3& out, const Vector3& v) const;
    // The forward axis (0, 0, -1) turned by this rotation.
    Vector3 GetForward() const;

    // Along the shorter arc; out may be from or to.
    static void Slerp(Quat& out, float t, const Quat& from, const Quat& to);
    // Turns the forward axis (0, 0, -1) onto the direction, without roll.
    static Quat FromDirection(float dx, float dy, float dz);
    static Quat FromDirection(const Vector3& direction) { return FromDirection(direction.x, direction.y, direction.z); }

    bool operator==(const Quat& other) const = default;
};

static_assert(sizeof(Quat) == 16, "Quat must stay four packed floats");

inline Quat ScaledQuat(float s, const Quat& q) { return q.Scaled(s); }

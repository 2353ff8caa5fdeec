#pragma once

// A point or direction in 3-D; plain data, 12 bytes (scripts and streams rely on the layout).
struct Vector3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float xIn, float yIn, float zIn) : x(xIn), y(yIn), z(zIn) {}

    Vector3& operator+=(const Vector3& other)
    {
        x += other.x;
        y += other.y;
        z += other.z;
        return *this;
    }
    Vector3& operator-=(const Vector3& other)
    {
        x -= other.x;
        y -= other.y;
        z -= other.z;
        return *this;
    }
    Vector3& operator*=(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    Vector3& operator/=(float s)
    {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }

    Vector3 Add(const Vector3& other) const { return {x + other.x, y + other.y, z + other.z}; }
    Vector3 Subtract(const Vector3& other) const { return {x - other.x, y - other.y, z - other.z}; }
    Vector3 Negated() const { return {-x, -y, -z}; }
    Vector3 ScaledCopy(float s) const { return {x * s, y * s, z * s}; }
    Vector3 Divided(float s) const { return ScaledCopy(1.0f / s); }

    float Length() const;
    // A vector of length exactly 0 stays as it is; returns *this.
    Vector3& Normalize();
    Vector3 Normalized() const;
    // Each component below 1e-5 in size.
    bool IsZero() const;

    Vector3 operator+(const Vector3& other) const { return Add(other); }
    Vector3 operator-(const Vector3& other) const { return Subtract(other); }
    Vector3 operator-() const { return Negated(); }
    Vector3 operator*(float s) const { return ScaledCopy(s); }
    bool operator==(const Vector3& other) const = default;
};

static_assert(sizeof(Vector3) == 12, "Vector3 must stay three packed floats");

inline Vector3 ScaleVector3(float s, const Vector3& v) { return {v.x * s, v.y * s, v.z * s}; }

inline float DotProduct(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// out may be a or b.
inline void CrossProduct(const Vector3& a, const Vector3& b, Vector3& out)
{
    out = Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

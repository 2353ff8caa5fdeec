#pragma once
#include <cstdint>

// A colour with alpha, components nominally 0..1 (16 bytes; scripts rely on the layout).
struct Color
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    constexpr Color() = default;
    constexpr Color(float rIn, float gIn, float bIn, float aIn) : r(rIn), g(gIn), b(bIn), a(aIn) {}

    void Set(float rIn, float gIn, float bIn, float aIn) { *this = Color(rIn, gIn, bIn, aIn); }
    void Set(float all) { r = g = b = a = all; }
    // Bytes 0..255 per component.
    void SetBytes(int rIn, int gIn, int bIn, int aIn);

    // 0 r, 1 g, 2 b, 3 a; any other index reads alpha rather than memory past the colour.
    float& operator[](int i);
    float operator[](int i) const;
    float GetR() const { return r; }
    float GetG() const { return g; }
    float GetB() const { return b; }
    float GetA() const { return a; }

    void Assign(const Color& other) { *this = other; }

    Color& operator+=(float s)
    {
        r += s;
        g += s;
        b += s;
        a += s;
        return *this;
    }
    Color& operator-=(float s)
    {
        r -= s;
        g -= s;
        b -= s;
        a -= s;
        return *this;
    }
    Color& operator*=(float s)
    {
        r *= s;
        g *= s;
        b *= s;
        a *= s;
        return *this;
    }
    Color& operator/=(float s) { return *this *= 1.0f / s; }
    Color& operator+=(const Color& o)
    {
        r += o.r;
        g += o.g;
        b += o.b;
        a += o.a;
        return *this;
    }
    Color& operator*=(const Color& o)
    {
        r *= o.r;
        g *= o.g;
        b *= o.b;
        a *= o.a;
        return *this;
    }

    Color Add(const Color& o) const { return {r + o.r, g + o.g, b + o.b, a + o.a}; }
    Color Subtract(const Color& o) const { return {r - o.r, g - o.g, b - o.b, a - o.a}; }
    Color Add(float s) const { return {r + s, g + s, b + s, a + s}; }
    Color Subtract(float s) const { return {r - s, g - s, b - s, a - s}; }
    Color Scaled(float s) const { return {r * s, g * s, b * s, a * s}; }
    Color Divided(float s) const { return Scaled(1.0f / s); }

    // Each component, alpha included, becomes 1 - component.
    void Invert()
    {
        r = 1.0f - r;
        g = 1.0f - g;
        b = 1.0f - b;
        a = 1.0f - a;
    }

    // (A << 24) | (R << 16) | (G << 8) | B, each byte the component x 255 truncated; components
    // outside 0..1 (or NaN) saturate first, so overbright colours stay white instead of wrapping.
    uint32_t ToARGB() const;

    bool operator==(const Color& other) const = default;
};

static_assert(sizeof(Color) == 16, "Color must stay four packed floats");

inline Color ScaledColor(float s, const Color& c) { return c.Scaled(s); }

#include "graphics/terrain/Noise.h"

namespace {
// p^n by repeated squaring.
float IntPow(float p, uint32_t n)
{
    float result = 1.0f;
    while (n)
    {
        if (n & 1u)
            result *= p;
        p *= p;
        n >>= 1;
    }
    return result;
}

constexpr int kOctaves = 8;
} // namespace

float NoiseHash(int32_t value)
{
    uint32_t n = static_cast<uint32_t>(value);
    n ^= n << 13;
    const uint32_t m = (n * (n * n * 15731u + 789221u) - 771171059u) & 0x7FFFFFFFu;
    return 1.0f - static_cast<float>(static_cast<double>(m) * 9.313225746154785e-10);
}

float SmoothNoise1D(int32_t n)
{
    const uint32_t u = static_cast<uint32_t>(n);
    return NoiseHash(n) / 2.0f + NoiseHash(static_cast<int32_t>(u - 1u)) / 4.0f +
        NoiseHash(static_cast<int32_t>(u + 1u)) / 4.0f;
}

float SmoothNoise2D(int32_t x, int32_t y)
{
    const uint32_t k = static_cast<uint32_t>(x) + 57u * static_cast<uint32_t>(y);
    auto at = [k](int32_t offset) { return NoiseHash(static_cast<int32_t>(k + static_cast<uint32_t>(offset))); };
    const float corners = (at(-58) + at(-56) + at(56) + at(58)) / 16.0f;
    const float sides = (at(-1) + at(1) + at(-57) + at(57)) / 8.0f;
    return corners + sides + at(0) / 4.0f;
}

float InterpolatedNoise1D(float x)
{
    const int32_t i = static_cast<int32_t>(x);
    const float f = x - static_cast<float>(i);
    const int32_t next = static_cast<int32_t>(static_cast<uint32_t>(i) + 1u);
    return SmoothNoise1D(i) * (1.0f - f) + SmoothNoise1D(next) * f;
}

float InterpolatedNoise2D(float x, float y)
{
    const int32_t ix = static_cast<int32_t>(x);
    const int32_t iy = static_cast<int32_t>(y);
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);
    const int32_t ix1 = static_cast<int32_t>(static_cast<uint32_t>(ix) + 1u);
    const int32_t iy1 = static_cast<int32_t>(static_cast<uint32_t>(iy) + 1u);
    const float a = SmoothNoise2D(ix, iy) * (1.0f - fx) + SmoothNoise2D(ix1, iy) * fx;
    const float b = SmoothNoise2D(ix, iy1) * (1.0f - fx) + SmoothNoise2D(ix1, iy1) * fx;
    return a * (1.0f - fy) + b * fy;
}

float Noise1D(float x)
{
    float sum = 0.0f;
    for (int k = 0; k < kOctaves; ++k)
        sum += InterpolatedNoise1D(static_cast<float>(2 * k) * 0.05f * x) * (static_cast<float>(k) * 0.65f);
    return sum;
}

float Noise2D(float x, float y)
{
    float sum = 0.0f;
    for (int k = 0; k < kOctaves; ++k)
    {
        const float s = static_cast<float>(2 * k) * 0.05f;
        sum += InterpolatedNoise2D(s * x, s * y) * (static_cast<float>(k) * 0.65f);
    }
    return sum;
}

float NoiseAmplitudeSum(float persistence, float /*frequency*/)
{
    float sum = 0.0f;
    for (uint32_t i = 0; i < kOctaves; ++i)
        sum += IntPow(persistence, i);
    return sum;
}

float FractalNoise2D(float persistence, float frequency, float octaveOffset, float x, float y)
{
    float sum = 0.0f;
    for (uint32_t i = 0; i < kOctaves; ++i)
    {
        const float f = IntPow(2.0f, i) * frequency;
        const float shift = static_cast<float>(i) * octaveOffset;
        sum += IntPow(persistence, i) * InterpolatedNoise2D(f * x + shift, f * y + shift);
    }
    return sum;
}

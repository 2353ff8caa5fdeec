#pragma once
#include <algorithm>
#include <cmath>

// Shared angle constants (float, like every other value in the math library).
inline constexpr float PI = 3.14159265358979323846f;
inline constexpr float HALF_PI = PI * 0.5f;
inline constexpr float INV_PI = 1.0f / PI;
inline constexpr float DEG_TO_RAD = PI / 180.0f;

// Rounding can push a dot product of unit vectors just past +-1; acos and asin would then return NaN.
inline float ClampedAcos(float value) { return std::acos(std::clamp(value, -1.0f, 1.0f)); }

inline float ClampedAsin(float value) { return std::asin(std::clamp(value, -1.0f, 1.0f)); }

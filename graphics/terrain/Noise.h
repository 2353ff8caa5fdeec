#pragma once
#include <cstdint>

// Deterministic value noise: lattice values from an integer hash (32-bit wrap-around),
// blended linearly, summed over eight octaves. No tables, no state.
float NoiseHash(int32_t n);
float SmoothNoise1D(int32_t n);
float SmoothNoise2D(int32_t x, int32_t y);
float InterpolatedNoise1D(float x);
float InterpolatedNoise2D(float x, float y);
float Noise1D(float x);
float Noise2D(float x, float y);
// The sum of the eight octave amplitudes of FractalNoise2D; frequency plays no part.
float NoiseAmplitudeSum(float persistence, float frequency);
float FractalNoise2D(float persistence, float frequency, float octaveOffset, float x, float y);

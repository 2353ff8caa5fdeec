#include <gtest/gtest.h>

#include <cmath>

#include "graphics/terrain/Noise.h"

TEST(Noise, HashValuesAreFixedAndInRange)
{
    EXPECT_NEAR(NoiseHash(0), -0.28179098, 1e-7);
    EXPECT_NEAR(NoiseHash(-1), 0.90012629, 1e-7);
    EXPECT_EQ(NoiseHash(12345), NoiseHash(12345));
    for (int32_t n : {INT32_MIN, -1000003, -57, 1, 58, 99991, INT32_MAX})
    {
        const float v = NoiseHash(n);
        EXPECT_GT(v, -1.0f) << n;
        EXPECT_LE(v, 1.0f) << n;
    }
}

TEST(Noise, SmoothAndOneDimensionalSums)
{
    EXPECT_FLOAT_EQ(SmoothNoise1D(7), NoiseHash(7) / 2 + NoiseHash(6) / 4 + NoiseHash(8) / 4);
    const float centre = SmoothNoise2D(3, 2); // k = 117
    float expected = NoiseHash(117) / 4;
    for (int side : {-1, 1, -57, 57})
        expected += NoiseHash(117 + side) / 8;
    for (int corner : {-58, -56, 56, 58})
        expected += NoiseHash(117 + corner) / 16;
    EXPECT_NEAR(centre, expected, 1e-6);
    EXPECT_NEAR(Noise1D(0.0f), 18.2f * SmoothNoise1D(0), 1e-6);
    EXPECT_NEAR(Noise1D(0.0f), 0.5012792, 1e-6);
}

TEST(Noise, AmplitudeSumIgnoresFrequency)
{
    EXPECT_FLOAT_EQ(NoiseAmplitudeSum(0.5f, 0.01f), 1.9921875f);
    EXPECT_FLOAT_EQ(NoiseAmplitudeSum(0.5f, 9.0f), 1.9921875f);
    EXPECT_FLOAT_EQ(NoiseAmplitudeSum(1.0f, 3.0f), 8.0f);
}

TEST(Noise, InterpolationTruncatesTowardZero)
{
    // -0.5 truncates to 0: lattice points 0 and 1 blend with weights 1.5 and -0.5.
    EXPECT_NEAR(InterpolatedNoise2D(-0.5f, 0.0f), 1.5f * SmoothNoise2D(0, 0) - 0.5f * SmoothNoise2D(1, 0), 1e-6);
    EXPECT_NEAR(InterpolatedNoise1D(2.25f), 0.75f * SmoothNoise1D(2) + 0.25f * SmoothNoise1D(3), 1e-6);
    // Only the first octave counts at persistence 0; octave offsets move the others away.
    EXPECT_NEAR(FractalNoise2D(0.0f, 0.1f, 257.0f, 13.0f, 7.0f), InterpolatedNoise2D(1.3f, 0.7f), 1e-6);
    EXPECT_NEAR(FractalNoise2D(1.0f, 0.1f, 257.0f, 0.0f, 0.0f),
                InterpolatedNoise2D(0.0f, 0.0f) + InterpolatedNoise2D(257.0f, 257.0f) +
                    InterpolatedNoise2D(514.0f, 514.0f) + InterpolatedNoise2D(771.0f, 771.0f) +
                    InterpolatedNoise2D(1028.0f, 1028.0f) + InterpolatedNoise2D(1285.0f, 1285.0f) +
                    InterpolatedNoise2D(1542.0f, 1542.0f) + InterpolatedNoise2D(1799.0f, 1799.0f),
                1e-5);
}

#include "LOOM/math/Color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }
} // namespace

TEST(Color, ToARGB_TruncatesEachComponent)
{
    EXPECT_EQ(Color(1.0f, 0.5f, 0.0f, 1.0f).ToARGB(), Argb(255, 255, 127, 0));
    EXPECT_EQ(Color(1.0f, 1.0f, 1.0f, 0.0f).ToARGB(), Argb(0, 255, 255, 255));
    EXPECT_EQ(Color(0.2f, 0.4f, 0.6f, 0.8f).ToARGB(), Argb(204, 51, 102, 153));
    EXPECT_EQ(Color(0.999f, 0.0f, 0.0f, 0.0f).ToARGB(), Argb(0, 254, 0, 0));
}

TEST(Color, ToARGB_OutOfRangeComponentsSaturate)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Color(1.5f, -0.1f, 300.0f, 2.0f).ToARGB(), Argb(255, 255, 0, 255));
    EXPECT_EQ(Color(nan, inf, -inf, 1e30f).ToARGB(), Argb(255, 0, 255, 0));
    EXPECT_EQ(Color(-1e30f, 1.0000001f, 0.0f, -0.0f).ToARGB(), Argb(0, 0, 255, 0));
}

TEST(Color, SetVariants)
{
    Color c;
    c.Set(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(c, Color(0.1f, 0.2f, 0.3f, 0.4f));
    c.Set(0.5f);
    EXPECT_EQ(c, Color(0.5f, 0.5f, 0.5f, 0.5f));
    c.SetBytes(255, 0, 51, 255);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 0.0f);
    EXPECT_FLOAT_EQ(c.b, 0.2f);
    // Full bytes survive the 1/255 scale despite it rounding a hair above 1.
    EXPECT_EQ(c.ToARGB() & 0xFFFFFF00u, 0xFFFF0000u);
}

TEST(Color, Index_ReadsAndWritesComponentsWithoutOverrun)
{
    Color c(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(c[0], 0.1f);
    EXPECT_EQ(c[1], 0.2f);
    EXPECT_EQ(c[2], 0.3f);
    EXPECT_EQ(c[3], 0.4f);
    c[2] = 0.9f;
    EXPECT_EQ(c.GetB(), 0.9f);
    // Bad indices land on alpha instead of memory beyond the colour.
    c[7] = 0.7f;
    EXPECT_EQ(c.GetA(), 0.7f);
    const Color& constC = c;
    EXPECT_EQ(constC[-1], 0.7f);
    EXPECT_EQ(c.GetR(), 0.1f);
    EXPECT_EQ(c.GetG(), 0.2f);
}

TEST(Color, Arithmetic_TouchesAllFourComponents)
{
    Color c(0.2f, 0.4f, 0.6f, 0.8f);
    c += 0.5f;
    EXPECT_EQ(c, Color(0.7f, 0.9f, 1.1f, 1.3f));
    c -= 0.5f;
    c *= 2.0f;
    EXPECT_TRUE(std::fabs(c.a - 1.6f) < 1e-6f);
    c /= 2.0f;
    EXPECT_TRUE(std::fabs(c.r - 0.2f) < 1e-6f);
    c += Color(1.0f, 1.0f, 1.0f, 1.0f);
    c *= Color(0.5f, 0.0f, 1.0f, 2.0f);
    EXPECT_NEAR(c.r, 0.6f, 1e-6f);
    EXPECT_EQ(c.g, 0.0f);
    EXPECT_NEAR(c.b, 1.6f, 1e-6f);
    EXPECT_NEAR(c.a, 3.6f, 1e-6f);

    const Color a(0.5f, 0.25f, 1.0f, 0.0f);
    const Color b(0.25f, 0.25f, 0.5f, 1.0f);
    EXPECT_EQ(a.Add(b), Color(0.75f, 0.5f, 1.5f, 1.0f));
    EXPECT_EQ(a.Subtract(b), Color(0.25f, 0.0f, 0.5f, -1.0f));
    EXPECT_EQ(a.Add(1.0f), Color(1.5f, 1.25f, 2.0f, 1.0f));
    EXPECT_EQ(a.Subtract(0.25f), Color(0.25f, 0.0f, 0.75f, -0.25f));
    EXPECT_EQ(a.Scaled(2.0f), Color(1.0f, 0.5f, 2.0f, 0.0f));
    EXPECT_EQ(ScaledColor(2.0f, a), a.Scaled(2.0f));
    EXPECT_EQ(a.Divided(0.5f), Color(1.0f, 0.5f, 2.0f, 0.0f));
}

TEST(Color, Invert_IncludesAlpha)
{
    Color c(0.25f, 1.0f, 0.0f, 0.75f);
    c.Invert();
    EXPECT_EQ(c, Color(0.75f, 0.0f, 1.0f, 0.25f));
}

TEST(Color, AssignAndInequality)
{
    Color c;
    c.Assign(Color(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_FALSE(c != Color(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_TRUE(c != Color(0.1f, 0.2f, 0.3f, 0.5f));
    EXPECT_TRUE(c != Color(0.0f, 0.2f, 0.3f, 0.4f));
}

#include "LOOM/math/Vector3.h"

#include "tests/LOOM/support/MathTestHelpers.h"

#include <gtest/gtest.h>

TEST(Vector3, Normalize_ZeroVectorStaysZero)
{
    Vector3 v(0.0f, 0.0f, 0.0f);
    Vector3& result = v.Normalize();
    EXPECT_EQ(&result, &v);
    EXPECT_EQ(v, Vector3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(Vector3().Normalized(), Vector3());
}

TEST(Vector3, Normalize_DividesByLength)
{
    Vector3 v(3.0f, 0.0f, 4.0f);
    v.Normalize();
    EXPECT_TRUE(VectorNear(v, Vector3(0.6f, 0.0f, 0.8f), 1e-7f));
    EXPECT_TRUE(VectorNear(Vector3(0.0f, -2.0f, 0.0f).Normalized(), Vector3(0.0f, -1.0f, 0.0f), 0.0f));
}

TEST(Vector3, Normalize_TinyVectorStillReachesUnitLength)
{
    // The squared length of these underflows in float.
    Vector3 v(1e-25f, 0.0f, -1e-25f);
    v.Normalize();
    EXPECT_NEAR(v.Length(), 1.0f, 1e-6f);
    EXPECT_NEAR(Vector3(1e-30f, 0.0f, 0.0f).Normalized().x, 1.0f, 1e-6f);
}

TEST(Vector3, IsZero_EachComponentBelowThreshold)
{
    EXPECT_FALSE(Vector3(0.0f, 5.0f, 0.0f).IsZero());
    EXPECT_TRUE(Vector3(0.0f, 0.0f, 0.0f).IsZero());
    EXPECT_TRUE(Vector3(9e-6f, -9e-6f, 9e-6f).IsZero());
    EXPECT_FALSE(Vector3(0.0f, 0.0f, 1e-5f).IsZero());
    EXPECT_FALSE(Vector3(-2e-5f, 0.0f, 0.0f).IsZero());
}

TEST(Vector3, Length_IsEuclidean)
{
    EXPECT_FLOAT_EQ(Vector3(3.0f, 4.0f, 12.0f).Length(), 13.0f);
    EXPECT_FLOAT_EQ(Vector3().Length(), 0.0f);
}

TEST(Vector3, Arithmetic_InPlaceAndCopies)
{
    Vector3 v(1.0f, 2.0f, 3.0f);
    v += Vector3(1.0f, 1.0f, 1.0f);
    EXPECT_EQ(v, Vector3(2.0f, 3.0f, 4.0f));
    v -= Vector3(2.0f, 2.0f, 2.0f);
    EXPECT_EQ(v, Vector3(0.0f, 1.0f, 2.0f));
    v *= 3.0f;
    EXPECT_EQ(v, Vector3(0.0f, 3.0f, 6.0f));
    v /= 3.0f;
    EXPECT_EQ(v, Vector3(0.0f, 1.0f, 2.0f));

    const Vector3 a(1.0f, -2.0f, 4.0f);
    const Vector3 b(0.5f, 0.5f, -1.0f);
    EXPECT_EQ(a.Add(b), Vector3(1.5f, -1.5f, 3.0f));
    EXPECT_EQ(a.Subtract(b), Vector3(0.5f, -2.5f, 5.0f));
    EXPECT_EQ(a.Negated(), Vector3(-1.0f, 2.0f, -4.0f));
    EXPECT_EQ(a.ScaledCopy(2.0f), Vector3(2.0f, -4.0f, 8.0f));
    EXPECT_EQ(ScaleVector3(2.0f, a), Vector3(2.0f, -4.0f, 8.0f));
    EXPECT_EQ(a.Divided(4.0f), Vector3(0.25f, -0.5f, 1.0f));
    EXPECT_EQ(a + b, a.Add(b));
    EXPECT_EQ(a - b, a.Subtract(b));
    EXPECT_EQ(-a, a.Negated());
    EXPECT_FLOAT_EQ(DotProduct(a, b), 0.5f - 1.0f - 4.0f);
}

TEST(Vector3, CrossProduct_LeftHandedAxesAndAliasing)
{
    Vector3 out;
    CrossProduct(Vector3(1.0f, 0.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f), out);
    EXPECT_EQ(out, Vector3(0.0f, 0.0f, 1.0f));
    CrossProduct(Vector3(0.0f, 1.0f, 0.0f), Vector3(0.0f, 0.0f, -1.0f), out);
    EXPECT_EQ(out, Vector3(-1.0f, 0.0f, 0.0f));

    Vector3 a(1.0f, 2.0f, 3.0f);
    const Vector3 b(-4.0f, 0.5f, 2.0f);
    Vector3 expected;
    CrossProduct(a, b, expected);
    CrossProduct(a, b, a);
    EXPECT_EQ(a, expected);
    EXPECT_EQ(expected, Vector3(2.0f * 2.0f - 3.0f * 0.5f, 3.0f * -4.0f - 1.0f * 2.0f, 1.0f * 0.5f - 2.0f * -4.0f));
}

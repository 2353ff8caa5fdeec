#include "LOOM/math/Plane.h"

#include "tests/LOOM/support/MathTestHelpers.h"

#include <gtest/gtest.h>

namespace {
const Plane kGround(0.0f, 1.0f, 0.0f, 0.0f);
}

TEST(Plane, IntersectRay_HitsAheadOfOrigin)
{
    Vector3 hit;
    ASSERT_TRUE(kGround.IntersectRay(Ray(Vector3(1.0f, 10.0f, 2.0f), Vector3(1.0f, -2.0f, 0.0f)), &hit));
    EXPECT_TRUE(VectorNear(hit, Vector3(6.0f, 0.0f, 2.0f), 1e-6f));

    // y = 25 plane: a y + d = 0 with d = -25.
    const Plane hover(0.0f, 1.0f, 0.0f, -25.0f);
    ASSERT_TRUE(hover.IntersectRay(Ray(Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 5.0f, 5.0f)), &hit));
    EXPECT_TRUE(VectorNear(hit, Vector3(0.0f, 25.0f, 25.0f), 1e-5f));
}

TEST(Plane, IntersectRay_OutMayBeNull)
{
    EXPECT_TRUE(kGround.IntersectRay(Ray(Vector3(0, 1, 0), Vector3(0, -1, 0)), nullptr));
    EXPECT_TRUE(kGround.IntersectRay(Ray(Vector3(0, 0, 0), Vector3(1, 0, 0)), nullptr));
}

TEST(Plane, IntersectRay_RayInPlaneReturnsOrigin)
{
    Vector3 hit(9, 9, 9);
    ASSERT_TRUE(kGround.IntersectRay(Ray(Vector3(3.0f, 0.0f, -4.0f), Vector3(1.0f, 0.0f, 1.0f)), &hit));
    EXPECT_EQ(hit, Vector3(3.0f, 0.0f, -4.0f));
}

TEST(Plane, IntersectRay_PointingAwayMisses)
{
    Vector3 hit(9, 9, 9);
    EXPECT_FALSE(kGround.IntersectRay(Ray(Vector3(0.0f, 5.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f)), &hit));
    EXPECT_FALSE(kGround.IntersectRay(Ray(Vector3(0.0f, -5.0f, 0.0f), Vector3(0.3f, -1.0f, 0.0f)), &hit));
    EXPECT_EQ(hit, Vector3(9, 9, 9));
}

TEST(Plane, IntersectRay_ParallelBesideMisses)
{
    Vector3 hit(9, 9, 9);
    EXPECT_FALSE(kGround.IntersectRay(Ray(Vector3(0.0f, 3.0f, 0.0f), Vector3(1.0f, 0.0f, 0.0f)), &hit));
    EXPECT_EQ(hit, Vector3(9, 9, 9));
}

TEST(Plane, FromPointNormal_ContainsPoint)
{
    const Vector3 point(1.0f, 2.0f, 3.0f);
    const Plane p = Plane::FromPointNormal(point, Vector3(0.0f, 0.6f, 0.8f));
    EXPECT_NEAR(p.DotCoord(point), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p.d, -(0.6f * 2.0f + 0.8f * 3.0f));
    EXPECT_NEAR(p.DotCoord(point + Vector3(0.0f, 0.6f, 0.8f)), 1.0f, 1e-6f);
}

TEST(Plane, Normalized_UnitNormalSamePoints)
{
    const Plane p = Plane(0.0f, 0.0f, 4.0f, -8.0f).Normalized();
    EXPECT_EQ(p.Normal(), Vector3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(p.d, -2.0f);
    const Plane none = Plane().Normalized();
    EXPECT_EQ(none.Normal(), Vector3());
}

TEST(Plane, IntersectRayPlane_SameAsMember)
{
    Vector3 a, b;
    const Ray ray(Vector3(2.0f, 4.0f, 2.0f), Vector3(-1.0f, -1.0f, 0.5f));
    ASSERT_TRUE(IntersectRayPlane(kGround, ray, &a));
    ASSERT_TRUE(kGround.IntersectRay(ray, &b));
    EXPECT_EQ(a, b);
}

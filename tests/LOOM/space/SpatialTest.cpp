#include <gtest/gtest.h>

#include "LOOM/space/Spatial.h"

namespace {
void MakeSphere(Spatial& obj, const Vector3& position, float radius, uint32_t type = 0)
{
    obj.StorePosition(position);
    obj.SetBoundingType(type);
    obj.GetLocalSphere().radius = radius;
}

void MakeBox(Spatial& obj, const Vector3& position, const Vector3& min, const Vector3& max)
{
    obj.StorePosition(position);
    obj.SetBoundingType(Spatial::kBoundingBox);
    obj.GetLocalBox() = BoundingBox{min, max};
}
} // namespace

TEST(Spatial, SpheresTouchingIntersectAndApartDoNot)
{
    Spatial a, b;
    MakeSphere(a, Vector3(10, 0, 10), 1);
    MakeSphere(b, Vector3(12, 0, 10), 1);
    EXPECT_TRUE(a.Intersects(b));
    EXPECT_TRUE(b.Intersects(a));
    b.StorePosition(Vector3(12.0001f, 0, 10));
    EXPECT_FALSE(a.Intersects(b));
    EXPECT_FALSE(b.Intersects(a));
}

TEST(Spatial, AnyTypeOtherThanOneIsASphere)
{
    Spatial a, b;
    MakeSphere(a, Vector3(0, 0, 0), 1, 2);
    MakeSphere(b, Vector3(0, 2, 0), 1, 7);
    b.GetLocalBox() = BoundingBox{Vector3(-100, -100, -100), Vector3(100, 100, 100)}; // ignored
    EXPECT_TRUE(a.Intersects(b));
    b.StorePosition(Vector3(0, 2.001f, 0));
    EXPECT_FALSE(a.Intersects(b));
}

TEST(Spatial, SphereAndBoxTouchingEitherWayRound)
{
    Spatial sphere, box;
    MakeBox(box, Vector3(10, 0, 10), Vector3(-1, -1, -1), Vector3(1, 1, 1));
    MakeSphere(sphere, Vector3(13, 0, 10), 2); // touches the face x = 11
    EXPECT_TRUE(sphere.Intersects(box));
    EXPECT_TRUE(box.Intersects(sphere));
    sphere.StorePosition(Vector3(13.001f, 0, 10));
    EXPECT_FALSE(sphere.Intersects(box));
    EXPECT_FALSE(box.Intersects(sphere));
    // Near a corner the distance is to the corner, not to the faces' planes.
    sphere.StorePosition(Vector3(12.5f, 2.5f, 10));
    EXPECT_FALSE(sphere.Intersects(box)); // sqrt(1.5^2 + 1.5^2) = 2.12 > 2
    sphere.StorePosition(Vector3(12.4f, 2.4f, 10));
    EXPECT_TRUE(sphere.Intersects(box));
    // A sphere inside the box.
    sphere.StorePosition(Vector3(10, 0, 10));
    sphere.GetLocalSphere().radius = 0.1f;
    EXPECT_TRUE(box.Intersects(sphere));
}

TEST(Spatial, BoxesTouchingOnAFaceIntersect)
{
    Spatial a, b;
    MakeBox(a, Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(2, 2, 2));
    MakeBox(b, Vector3(2, 1, 1), Vector3(0, 0, 0), Vector3(1, 1, 1));
    EXPECT_TRUE(a.Intersects(b));
    EXPECT_TRUE(b.Intersects(a));
    b.StorePosition(Vector3(2.001f, 1, 1));
    EXPECT_FALSE(a.Intersects(b));
    b.StorePosition(Vector3(1, 1, 2.5f)); // apart on z only
    EXPECT_FALSE(a.Intersects(b));
}

TEST(Spatial, BoundsUseTheLocalOffsetsMovedByThePosition)
{
    Spatial obj;
    obj.StorePosition(Vector3(10, 20, 30));
    obj.GetLocalSphere() = BoundingSphere{Vector3(1, 2, 3), 4};
    obj.GetLocalBox() = BoundingBox{Vector3(-1, -2, -3), Vector3(3, 2, 1)};
    EXPECT_EQ(obj.GetWorldSphereCenter(), Vector3(11, 22, 33));
    EXPECT_EQ(obj.GetWorldSphere().radius, 4.0f);
    EXPECT_EQ(obj.GetWorldBoxCenter(), Vector3(11, 20, 29));
    EXPECT_EQ(obj.GetWorldBox().min, Vector3(9, 18, 27));
    EXPECT_EQ(obj.GetWorldBox().max, Vector3(13, 22, 31));
    EXPECT_EQ(obj.GetBoxExtents(), Vector3(4, 4, 4));
}

TEST(Spatial, ReachAndHeightCoverTheBoundInUse)
{
    Spatial obj;
    obj.StorePosition(Vector3(0, 10, 0));
    obj.GetLocalSphere() = BoundingSphere{Vector3(0, 5, -3), 2};
    obj.GetLocalBox() = BoundingBox{Vector3(-7, -1, -1), Vector3(1, 4, 1)};
    float low, high;
    EXPECT_EQ(obj.GetReach(), 5.0f);
    obj.GetHeightRange(low, high);
    EXPECT_EQ(low, 13.0f);
    EXPECT_EQ(high, 17.0f);
    obj.SetBoundingType(Spatial::kBoundingBox);
    EXPECT_EQ(obj.GetReach(), 7.0f);
    obj.GetHeightRange(low, high);
    EXPECT_EQ(low, 9.0f);
    EXPECT_EQ(high, 14.0f);
}

TEST(Spatial, NegativeRadiusIsNoBound)
{
    Spatial a, b;
    MakeSphere(a, Vector3(0, 0, 0), -5);
    MakeSphere(b, Vector3(9, 0, 0), -5); // (-10)^2 >= 81 must not count
    EXPECT_FALSE(a.Intersects(b));
    b.StorePosition(Vector3(0, 0, 0));
    EXPECT_TRUE(a.Intersects(b)); // two points at one place
    EXPECT_EQ(a.GetReach(), 0.0f);
}

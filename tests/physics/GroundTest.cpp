#include <gtest/gtest.h>

#include "tests/physics/PhysicsFixture.h"

TEST(GridGround, HeightsBlendBetweenVerticesAndAreZeroOutside)
{
    GridGround ground(3, 3, 2.0f);
    ground.SetHeight(1, 0, 4.0f);
    ground.SetHeight(1, 1, 8.0f);
    ground.ComputeNormals();
    const struct
    {
        float x, z, height;
    } cases[] = {
        {0.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 4.0f}, {1.0f, 0.0f, 2.0f},  {2.0f, 1.0f, 6.0f},
        {1.0f, 1.0f, 3.0f}, {3.0f, 2.0f, 4.0f}, {-0.5f, 1.0f, 0.0f}, {4.5f, 1.0f, 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(ground.GetHeight(c.x, c.z), c.height) << c.x << ", " << c.z;
    // Up a slope rising toward +x on the left half: the normal leans back toward -x.
    EXPECT_LT(ground.GetNormal(0.5f, 0.5f).x, 0.0f);
    EXPECT_GT(ground.GetNormal(0.5f, 0.5f).y, 0.0f);
}

TEST(GridGround, PlanesCoverTheVerticesAroundTheCircle)
{
    GridGround ground(10, 10, 1.0f);
    ground.ComputeNormals();
    std::vector<Plane> planes;
    ground.GatherCollisionPlanes(Vector3(4.5f, 0.0f, 4.5f), 1.0f, planes);
    EXPECT_EQ(planes.size(), 9u); // x and z from 3 to 5
    ground.GatherCollisionPlanes(Vector3(-50.0f, 0.0f, 4.5f), 1.0f, planes);
    EXPECT_EQ(planes.size(), 9u + 3u) << "outside the grid the nearest edge vertices stand in";
    for (const Plane& plane : planes)
        EXPECT_FLOAT_EQ(plane.b, 1.0f);
}

TEST(GroundSeam, OnlyTheCurrentGroundClearsItself)
{
    Ground* saved = Ground::Current();
    GridGround first(2, 2, 1.0f);
    GridGround second(2, 2, 1.0f);
    Ground::SetCurrent(&first);
    Ground::SetCurrent(&second);
    Ground::ClearCurrent(&first);
    EXPECT_EQ(Ground::Current(), &second);
    Ground::ClearCurrent(&second);
    EXPECT_EQ(Ground::Current(), nullptr);
    Ground::SetCurrent(saved);
}

using GroundContact = PhysicsFixture;

TEST_F(GroundContact, BoxRestsOnItsBottomAndABodyBelowTheSurfaceComesUp)
{
    for (uint32_t x = 0; x < 65; ++x)
        for (uint32_t z = 0; z < 65; ++z)
            mGround.SetHeight(x, z, 5.0f);
    mGround.ComputeNormals();
    Cog* crate = SpawnBox("Ball", Vector3(60.0f, 12.0f, 60.0f), Vector3(1.0f, 2.0f, 1.0f));
    // Tunnelled: its centre is far below the surface.
    Cog* sunk = Spawn("Ball", Vector3(120.0f, -20.0f, 120.0f), 0.5f);
    Run(120);
    EXPECT_NEAR(Pos(crate)->GetPosition().y, 7.0f, 0.05f);
    EXPECT_NEAR(Pos(sunk)->GetPosition().y, 5.5f, 0.05f);
    EXPECT_GE(Count(sunk->GetID(), "CollideMap"), 60);
}

TEST_F(GroundContact, SphereOnASlopeMeetsItAlongTheSlopeNormal)
{
    // A ramp rising 1 in 4 toward +x.
    for (uint32_t x = 0; x < 65; ++x)
        for (uint32_t z = 0; z < 65; ++z)
            mGround.SetHeight(x, z, float(x));
    mGround.ComputeNormals();
    Cog* ball = Spawn("Ball", Vector3(100.0f, 30.0f, 100.0f), 1.0f);
    Run(60);
    ASSERT_GE(Count(ball->GetID(), "CollideMap"), 1);
    const Vector3 normal = HeardLog().back().mData.mNormal;
    EXPECT_NEAR(normal.x, -0.2425f, 1e-3f);
    EXPECT_NEAR(normal.y, 0.9701f, 1e-3f);
    // Never below the surface under its centre.
    const Vector3 at = Pos(ball)->GetPosition();
    EXPECT_GE(at.y, mGround.GetHeight(at.x, at.z));
}

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "LOOM/space/QTree.h"
#include "tests/LOOM/support/SpatialTestHelpers.h"

namespace {
constexpr float kWorld = 256.0f;

class QTreeQuery : public ::testing::Test
{
protected:
    void Fill(size_t count, uint32_t seed)
    {
        ASSERT_TRUE(mTree.Allocate(6));
        ASSERT_TRUE(mTree.BuildTree(kWorld));
        mRng.seed(seed);
        mObjects = std::vector<Spatial>(count);
        for (Spatial& obj : mObjects)
        {
            RandomBounds(obj, mRng);
            obj.StorePosition(RandomPosition());
            mTree.UpdateObject(&obj);
        }
    }

    // Mostly inside the world, some just outside every edge.
    Vector3 RandomPosition()
    {
        std::uniform_real_distribution<float> ground(-12.0f, kWorld + 12.0f);
        std::uniform_real_distribution<float> height(-40.0f, 120.0f);
        return Vector3(ground(mRng), height(mRng), ground(mRng));
    }

    std::vector<Spatial*> BruteOverlaps(const Spatial& obj)
    {
        std::vector<Spatial*> out;
        for (Spatial& other : mObjects)
            if (other.IsInTree() && obj.Intersects(other))
                out.push_back(&other);
        std::sort(out.begin(), out.end());
        return out;
    }

    void CheckAllOverlaps()
    {
        std::vector<Spatial*> out;
        size_t pairs = 0;
        for (Spatial& obj : mObjects)
        {
            mTree.QueryOverlaps(&obj, out);
            std::sort(out.begin(), out.end());
            ASSERT_EQ(out, BruteOverlaps(obj)) << "object at " << obj.GetPosition().x << ", " << obj.GetPosition().z;
            pairs += out.size();
        }
        // The comparison means something only when there are overlaps to find.
        EXPECT_GT(pairs, mObjects.size());
    }

    QTree mTree;
    std::mt19937 mRng;
    std::vector<Spatial> mObjects;
};
} // namespace

TEST_F(QTreeQuery, OverlapsMatchBruteForce)
{
    Fill(3000, 11);
    CheckAllOverlaps();
}

TEST_F(QTreeQuery, OverlapsMatchBruteForceAfterObjectsMoveAndResize)
{
    Fill(2000, 12);
    std::uniform_real_distribution<float> step(-6.0f, 6.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int frame = 0; frame < 5; ++frame)
    {
        for (Spatial& obj : mObjects)
        {
            if (unit(mRng) < 0.1f)
                RandomBounds(obj, mRng);
            obj.StorePosition(obj.GetPosition() + Vector3(step(mRng), step(mRng), step(mRng)));
            mTree.UpdateObject(&obj);
        }
    }
    CheckAllOverlaps();
}

TEST_F(QTreeQuery, QueryingObjectItselfStaysInTheResult)
{
    Fill(10, 13);
    Spatial lone;
    lone.StorePosition(Vector3(100, 500, 100)); // far above everything else
    lone.GetLocalSphere().radius = 1;
    mTree.UpdateObject(&lone);
    std::vector<Spatial*> out;
    mTree.QueryOverlaps(&lone, out);
    EXPECT_EQ(out, std::vector<Spatial*>{&lone});
}

TEST_F(QTreeQuery, UnfiledObjectStillFindsOthers)
{
    Fill(0, 14);
    Spatial inside, outside;
    inside.StorePosition(Vector3(1, 0, 1));
    inside.GetLocalSphere().radius = 20;
    outside.StorePosition(Vector3(-20, 0, 1)); // far more than its cell below 0
    outside.GetLocalSphere().radius = 2;
    mTree.UpdateObject(&inside);
    mTree.UpdateObject(&outside);
    ASSERT_FALSE(outside.IsInTree());
    std::vector<Spatial*> out;
    mTree.QueryOverlaps(&outside, out);
    EXPECT_EQ(out, std::vector<Spatial*>{&inside});
    mTree.QueryOverlaps(&inside, out);
    EXPECT_EQ(out, std::vector<Spatial*>{&inside}); // the unfiled one is not found
}

TEST_F(QTreeQuery, ViewQueryNeverDropsAnObjectInTheFrustum)
{
    Fill(3000, 21);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    size_t culled = 0;
    for (int view = 0; view < 200; ++view)
    {
        const Vector3 eye(unit(mRng) * 300.0f - 22.0f, unit(mRng) * 200.0f - 20.0f, unit(mRng) * 300.0f - 22.0f);
        std::array<Plane, 6> frustum = CameraFrustum(eye, unit(mRng) * 6.3f, (unit(mRng) - 0.5f) * 3.1f,
                                                     0.3f + unit(mRng) * 1.2f, 20.0f + unit(mRng) * 300.0f);
        // Scale some planes: only the side a point lies on may matter.
        for (Plane& p : frustum)
        {
            const float s = 0.01f + unit(mRng) * 100.0f;
            p = Plane(p.a * s, p.b * s, p.c * s, p.d * s);
        }
        for (Spatial& obj : mObjects)
            obj.SetSeen(false);
        mTree.MarkVisible(frustum);
        for (Spatial& obj : mObjects)
        {
            if (!obj.IsInTree())
                continue;
            if (MeetsFrustum(obj, frustum))
            {
                ASSERT_TRUE(obj.IsSeen()) << "view " << view << " dropped an object at " << obj.GetPosition().x << ", "
                                          << obj.GetPosition().y << ", " << obj.GetPosition().z;
            }
            else if (!obj.IsSeen())
            {
                ++culled;
            }
        }
    }
    // The tree must also leave things out, or it would be no help to the renderer.
    EXPECT_GT(culled, 200u * 1000u);
}

TEST_F(QTreeQuery, ViewQueryHoldsForArbitraryHalfSpaces)
{
    Fill(2000, 22);
    std::uniform_real_distribution<float> signedUnit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> ground(0.0f, kWorld);
    for (int view = 0; view < 200; ++view)
    {
        std::array<Plane, 6> frustum;
        for (Plane& p : frustum)
        {
            const Vector3 normal(signedUnit(mRng), signedUnit(mRng) * 2.0f, signedUnit(mRng));
            p = Plane::FromPointNormal(Vector3(ground(mRng), signedUnit(mRng) * 60.0f, ground(mRng)), normal);
        }
        for (Spatial& obj : mObjects)
            obj.SetSeen(false);
        mTree.MarkVisible(frustum);
        for (Spatial& obj : mObjects)
        {
            if (obj.IsInTree() && MeetsFrustum(obj, frustum))
            {
                ASSERT_TRUE(obj.IsSeen()) << "view " << view;
            }
        }
    }
}

// One real plane (the other five pass everything): an object high above the ground, where a
// test at height 0 would find no node, and one near a plane that is not of unit length.
TEST(QTreeView, SeesObjectsHighAboveTheGroundAndThroughUnnormalisedPlanes)
{
    struct Case
    {
        const char* name;
        Vector3 position;
        float radius;
        Plane plane;
    };
    const Case cases[] = {
        {"high above the ground", Vector3(40, 160, 40), 1.0f, Plane(0, 1, 0, -150)},
        // Cell 5 (80 to 96); the sphere reaches to 100.4.
        {"unnormalised plane", Vector3(95.9f, 0, 40), 4.5f, Plane(100, 0, 0, -10000)},
    };
    for (const Case& c : cases)
    {
        QTree tree;
        tree.Allocate(4);
        tree.BuildTree(256.0f);
        Spatial obj;
        obj.StorePosition(c.position);
        obj.GetLocalSphere().radius = c.radius;
        tree.UpdateObject(&obj);
        ASSERT_EQ(obj.GetLevel(), 4u) << c.name;
        const std::array<Plane, 6> frustum{c.plane,           Plane(0, 0, 0, 1), Plane(0, 0, 0, 1),
                                           Plane(0, 0, 0, 1), Plane(0, 0, 0, 1), Plane(0, 0, 0, 1)};
        tree.MarkVisible(frustum);
        EXPECT_TRUE(obj.IsSeen()) << c.name;
    }
}

TEST(QTreeView, CullsNodesBehindThePlanesAndAlwaysMarksTheRoot)
{
    QTree tree;
    tree.Allocate(4);
    tree.BuildTree(256.0f);
    Spatial near, far, huge;
    near.StorePosition(Vector3(20, 0, 20));
    near.GetLocalSphere().radius = 1;
    far.StorePosition(Vector3(220, 0, 20));
    far.GetLocalSphere().radius = 1;
    huge.StorePosition(Vector3(220, 0, 220));
    huge.GetLocalSphere().radius = 100; // the root
    for (Spatial* obj : {&near, &far, &huge})
        tree.UpdateObject(obj);
    // x <= 100
    const std::array<Plane, 6> frustum{Plane(-1, 0, 0, 100), Plane(0, 0, 0, 1), Plane(0, 0, 0, 1),
                                       Plane(0, 0, 0, 1),    Plane(0, 0, 0, 1), Plane(0, 0, 0, 1)};
    tree.MarkVisible(frustum);
    EXPECT_TRUE(near.IsSeen());
    EXPECT_FALSE(far.IsSeen());
    EXPECT_TRUE(huge.IsSeen());

    std::vector<Spatial*> out;
    tree.CollectVisibleNode(QTree::NodeIndex(4, 1, 1), frustum, out);
    EXPECT_EQ(out, std::vector<Spatial*>{&near});
    out.clear();
    tree.CollectVisibleNode(QTree::NodeIndex(4, 13, 1), frustum, out);
    EXPECT_TRUE(out.empty());
    tree.CollectVisibleNode(tree.NodeCount(), frustum, out); // past the end: nothing
    EXPECT_TRUE(out.empty());
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/space/QTree.h"

namespace {
class QTreeFiling : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mTree.Allocate(4));
        ASSERT_TRUE(mTree.BuildTree(256.0f));
    }

    static void Place(Spatial& obj, float x, float z, float radius)
    {
        obj.StorePosition(Vector3(x, 0.0f, z));
        obj.GetLocalSphere().radius = radius;
    }

    QTree mTree;
};

struct Filing
{
    float x, z, radius;
    bool filed;
    uint32_t level, cellX, cellZ;
};
} // namespace

TEST_F(QTreeFiling, LevelAndCellFollowRadiusAndPosition)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Filing cases[] = {
        {10, 10, 1, true, 4, 0, 0},  // floor(log2 256) - 1 = 7, limited to 4
        {10, 10, 40, true, 1, 0, 0}, // floor(log2 6.4) - 1 = 1
        {200, 10, 40, true, 1, 1, 0},
        {10, 10, 64, true, 1, 0, 0},    // a cell of exactly twice the radius still holds it
        {10, 10, 64.5f, true, 0, 0, 0}, // above W/4: the root
        {10, 10, 1000, true, 0, 0, 0},
        {100, 250, 0, true, 4, 6, 15},  // radius 0: deepest level
        {100, 250, -3, true, 4, 6, 15}, // negative radius: deepest level
        {100, 250, nan, true, 4, 6, 15},
        {-0.5f, 10, 1, true, 4, 0, 0}, // less than a cell below 0 truncates into cell 0
        {255.99f, 255.99f, 1, true, 4, 15, 15},
        {256, 10, 1, false, 0, 0, 0},    // the far edge is outside
        {-16.5f, 10, 1, false, 0, 0, 0}, // more than a cell below 0
        {10, -20, 1, false, 0, 0, 0},
    };
    for (const Filing& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "x " << c.x << " z " << c.z << " r " << c.radius);
        Spatial obj;
        Place(obj, c.x, c.z, c.radius);
        EXPECT_EQ(mTree.Insert(&obj), c.filed);
        EXPECT_EQ(obj.IsInTree(), c.filed);
        EXPECT_EQ(obj.GetLevel(), c.level);
        if (c.filed)
        {
            EXPECT_EQ(obj.GetCellX(), c.cellX);
            EXPECT_EQ(obj.GetCellZ(), c.cellZ);
            const QTreeNode& node = mTree.GetNode(QTree::NodeIndex(c.level, c.cellX, c.cellZ));
            ASSERT_EQ(node.count, 1u);
            EXPECT_EQ(node.Objects()[0], &obj);
        }
        mTree.Remove(&obj);
    }
}

TEST_F(QTreeFiling, NanInfiniteAndHugePositionsAreRejectedWithoutConversion)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f,
                         std::numeric_limits<float>::max()};
    for (float value : bad)
    {
        for (float radius : {0.0f, 1.0f, 100.0f, inf})
        {
            Spatial a;
            Place(a, value, 10, radius);
            EXPECT_FALSE(mTree.Insert(&a));
            Spatial b;
            Place(b, 10, value, radius);
            EXPECT_FALSE(mTree.Insert(&b));
            EXPECT_FALSE(b.IsInTree());
        }
    }
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 0);
    EXPECT_TRUE(mTree.GetNode(0).count == 0u);
}

TEST_F(QTreeFiling, OffsetBoundsFileBySizeAroundThePosition)
{
    Spatial obj;
    Place(obj, 100, 100, 1);
    obj.GetLocalSphere().center = Vector3(20, 0, 0); // reaches 21 from the position
    mTree.Insert(&obj);
    EXPECT_EQ(obj.GetLevel(), 2u); // floor(log2(256 / 21)) - 1

    Spatial box;
    box.StorePosition(Vector3(100, 0, 100));
    box.SetBoundingType(Spatial::kBoundingBox);
    box.GetLocalBox() = BoundingBox{Vector3(-1, -50, -1), Vector3(1, 50, 9)};
    mTree.Insert(&box);
    EXPECT_EQ(box.GetLevel(), 3u); // height does not count; reach 9
}

TEST_F(QTreeFiling, AncestorCountsFollowInsertAndRemove)
{
    Spatial a, b;
    Place(a, 10, 10, 1);   // level 4, cell (0, 0)
    Place(b, 250, 10, 40); // level 1, cell (1, 0)
    mTree.Insert(&a);
    mTree.Insert(&b);
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 2);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(1, 0, 0)).childrenobjects, 1);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(1, 1, 0)).childrenobjects, 0);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(2, 0, 0)).childrenobjects, 1);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(3, 0, 0)).childrenobjects, 1);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(4, 0, 0)).childrenobjects, 0);
    mTree.Remove(&a);
    mTree.Remove(&b);
    for (uint32_t i = 0; i < mTree.NodeCount(); ++i)
    {
        EXPECT_EQ(mTree.GetNode(i).childrenobjects, 0) << "node " << i;
        EXPECT_TRUE(mTree.GetNode(i).count == 0u) << "node " << i;
    }
}

TEST_F(QTreeFiling, RemovingTheLastEntryLeavesOtherIndices)
{
    Spatial objs[3];
    for (Spatial& obj : objs)
    {
        Place(obj, 5, 5, 1);
        mTree.Insert(&obj);
    }
    EXPECT_EQ(objs[0].GetListIndex(), 0);
    EXPECT_EQ(objs[1].GetListIndex(), 1);
    EXPECT_EQ(objs[2].GetListIndex(), 2);
    mTree.Remove(&objs[2]);
    EXPECT_EQ(objs[0].GetListIndex(), 0);
    EXPECT_EQ(objs[1].GetListIndex(), 1);
    EXPECT_EQ(objs[2].GetListIndex(), -1);
    EXPECT_FALSE(objs[2].IsInTree());
}

TEST_F(QTreeFiling, RemovingAMiddleEntryMovesTheLastIntoItsSlot)
{
    Spatial objs[4];
    for (Spatial& obj : objs)
    {
        Place(obj, 5, 5, 1);
        mTree.Insert(&obj);
    }
    mTree.Remove(&objs[1]);
    auto list = [&] { return mTree.GetNode(QTree::NodeIndex(4, 0, 0)).Objects(); };
    ASSERT_EQ(list().size(), 3u);
    EXPECT_EQ(list()[1], &objs[3]);
    EXPECT_EQ(objs[3].GetListIndex(), 1);
    for (size_t i = 0; i < list().size(); ++i)
        EXPECT_EQ(list()[i]->GetListIndex(), static_cast<int32_t>(i));
    mTree.Remove(&objs[0]); // first slot
    ASSERT_EQ(list().size(), 2u);
    for (size_t i = 0; i < list().size(); ++i)
        EXPECT_EQ(list()[i]->GetListIndex(), static_cast<int32_t>(i));
}

TEST_F(QTreeFiling, IndicesStayRightWhileAListGrowsAndShrinks)
{
    std::vector<Spatial> objs(100);
    for (Spatial& obj : objs)
    {
        Place(obj, 5, 5, 1);
        mTree.Insert(&obj);
    }
    // Remove from the front, the back and the middle in turn, checking every index.
    for (size_t round = 0; round < 97; ++round)
    {
        const std::span<Spatial* const> before = mTree.GetNode(QTree::NodeIndex(4, 0, 0)).Objects();
        const size_t pick = round % 3 == 0 ? 0 : round % 3 == 1 ? before.size() - 1 : before.size() / 2;
        mTree.Remove(before[pick]);
        const std::span<Spatial* const> after = mTree.GetNode(QTree::NodeIndex(4, 0, 0)).Objects();
        ASSERT_EQ(after.size(), 99u - round);
        for (size_t i = 0; i < after.size(); ++i)
            ASSERT_EQ(after[i]->GetListIndex(), static_cast<int32_t>(i)) << "round " << round;
    }
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 3);
}

TEST_F(QTreeFiling, RefilingReusesListMemory)
{
    std::vector<Spatial> objs(500);
    for (size_t i = 0; i < objs.size(); ++i)
    {
        Place(objs[i], static_cast<float>(i % 50) * 5.0f, static_cast<float>(i / 50) * 25.0f, 1);
        mTree.UpdateObject(&objs[i]);
    }
    const size_t blocks = mTree.ListBlocks();
    for (int round = 0; round < 3; ++round)
    {
        for (Spatial& obj : objs)
            mTree.Remove(&obj);
        for (Spatial& obj : objs)
            mTree.UpdateObject(&obj);
    }
    EXPECT_EQ(mTree.ListBlocks(), blocks);
}

TEST_F(QTreeFiling, MovingWithinTheCellTouchesNoList)
{
    Spatial a, b;
    Place(a, 20, 20, 1);
    Place(b, 21, 21, 1);
    mTree.Insert(&a);
    mTree.Insert(&b);
    a.StorePosition(Vector3(30, 7, 31)); // still cell (1, 1) at level 4
    EXPECT_TRUE(mTree.StillFits(&a));
    mTree.UpdateObject(&a);
    EXPECT_EQ(a.GetListIndex(), 0);
    EXPECT_EQ(b.GetListIndex(), 1);

    a.StorePosition(Vector3(40, 0, 31)); // cell (2, 1)
    EXPECT_FALSE(mTree.StillFits(&a));
    mTree.UpdateObject(&a);
    EXPECT_EQ(a.GetCellX(), 2u);
    EXPECT_EQ(b.GetListIndex(), 0);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(4, 1, 1)).count, 1u);

    a.GetLocalSphere().radius = 40; // growing changes the level
    EXPECT_FALSE(mTree.StillFits(&a));
    mTree.UpdateObject(&a);
    EXPECT_EQ(a.GetLevel(), 1u);
}

TEST_F(QTreeFiling, LeavingTheWorldUnfilesAndComingBackRefiles)
{
    Spatial a;
    Place(a, 20, 20, 1);
    mTree.UpdateObject(&a);
    EXPECT_TRUE(a.IsInTree());
    a.StorePosition(Vector3(-100, 0, 20));
    mTree.UpdateObject(&a);
    EXPECT_FALSE(a.IsInTree());
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 0);
    a.StorePosition(Vector3(20, 0, 20));
    mTree.UpdateObject(&a);
    EXPECT_TRUE(a.IsInTree());
}

TEST_F(QTreeFiling, InsertingTwiceKeepsOneEntry)
{
    Spatial a;
    Place(a, 20, 20, 1);
    mTree.Insert(&a);
    mTree.Insert(&a);
    EXPECT_EQ(mTree.GetNode(QTree::NodeIndex(4, 1, 1)).count, 1u);
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 1);
}

TEST_F(QTreeFiling, DestroyedObjectLeavesTheTree)
{
    Spatial keep;
    Place(keep, 20, 20, 1);
    {
        auto gone = std::make_unique<Spatial>();
        Place(*gone, 20, 20, 1);
        mTree.Insert(gone.get());
        mTree.Insert(&keep);
    }
    const std::span<Spatial* const> list = mTree.GetNode(QTree::NodeIndex(4, 1, 1)).Objects();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], &keep);
    EXPECT_EQ(keep.GetListIndex(), 0);
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 1);
}

TEST_F(QTreeFiling, CopyIsNotFiled)
{
    Spatial a;
    Place(a, 20, 20, 1);
    mTree.Insert(&a);
    Spatial copy(a);
    EXPECT_FALSE(copy.IsInTree());
    EXPECT_EQ(copy.GetRadius(), 1.0f);
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 1);
}

TEST_F(QTreeFiling, RebuildingAndDestroyingTheTreeLetObjectsGo)
{
    auto obj = std::make_unique<Spatial>();
    Place(*obj, 20, 20, 1);
    mTree.Insert(obj.get());
    ASSERT_TRUE(mTree.BuildTree(512.0f));
    EXPECT_FALSE(obj->IsInTree());
    EXPECT_EQ(mTree.GetNode(0).childrenobjects, 0);
    mTree.UpdateObject(obj.get());
    EXPECT_TRUE(obj->IsInTree());
    {
        QTree other;
        other.Allocate(2);
        other.BuildTree(64.0f);
        other.Insert(obj.get()); // moves it over
        EXPECT_EQ(mTree.GetNode(0).childrenobjects, 0);
        EXPECT_TRUE(obj->IsInTree());
    }
    EXPECT_FALSE(obj->IsInTree());
    obj.reset(); // must not touch the dead tree
}

TEST(QTree, DepthAboveTheLimitIsRefusedAndChangesNothing)
{
    QTree tree;
    ASSERT_TRUE(tree.Allocate(3));
    for (uint32_t depth : {QTree::kMaxDepth + 1, 15u, 16u, 0xFFFFFFFFu})
    {
        EXPECT_FALSE(tree.Allocate(depth));
        EXPECT_EQ(tree.GetDepth(), 3u);
        EXPECT_EQ(tree.NodeCount(), QTree::NodeCountForDepth(3));
    }
    EXPECT_NE(Console::Instance().GetEntries().FromNewest(0).mText.find("refused"), std::string::npos);
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mCategory, LogError);
    EXPECT_TRUE(tree.Allocate(0));
    EXPECT_EQ(tree.NodeCount(), 1u);
}

TEST(QTree, NodeCountAndIndexLayout)
{
    EXPECT_EQ(QTree::NodeCountForDepth(0), 1u);
    EXPECT_EQ(QTree::NodeCountForDepth(4), 341u);
    EXPECT_EQ(QTree::NodeIndex(1, 0, 0), 1u);
    EXPECT_EQ(QTree::NodeIndex(2, 3, 1), 5u + 3u + 4u);
    QTree tree;
    tree.Allocate(2);
    tree.BuildTree(100.0f);
    EXPECT_FLOAT_EQ(tree.GetNode(QTree::NodeIndex(2, 3, 1)).centerX, 87.5f);
    EXPECT_FLOAT_EQ(tree.GetNode(QTree::NodeIndex(2, 3, 1)).centerZ, 37.5f);
    EXPECT_FLOAT_EQ(tree.GetNode(0).centerX, 50.0f);
}

TEST(QTree, BuildTreeWithoutNodesAssertsAndStaysUnbuilt)
{
    QTree tree;
    const int before = AssertFailureCount();
    EXPECT_FALSE(tree.BuildTree(256.0f));
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mText.rfind("QTree Line Number", 0), 0u);
    EXPECT_NE(
        Console::Instance().GetEntries().FromNewest(0).mText.find("Error: Must init tree before calling BuildTree."),
        std::string::npos);
    EXPECT_FALSE(tree.IsBuilt());

    Spatial obj;
    obj.StorePosition(Vector3(10, 0, 10));
    EXPECT_FALSE(tree.Insert(&obj));
    EXPECT_FALSE(tree.TryInsert(&obj));
    tree.UpdateObject(&obj);
    EXPECT_FALSE(obj.IsInTree());
    std::vector<Spatial*> out{&obj};
    tree.QueryOverlaps(&obj, out);
    EXPECT_TRUE(out.empty());
    const std::array<Plane, 6> all{};
    tree.MarkVisible(all);
    EXPECT_FALSE(obj.IsSeen());
}

TEST(QTree, WorldSizeMustBePositiveAndFinite)
{
    QTree tree;
    tree.Allocate(2);
    for (float size : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    {
        EXPECT_FALSE(tree.BuildTree(size));
        EXPECT_FALSE(tree.IsBuilt());
    }
    EXPECT_TRUE(tree.BuildTree(1.0f));
}

TEST(QTree, ReallocatingNeedsANewBuild)
{
    QTree tree;
    tree.Allocate(2);
    tree.BuildTree(64.0f);
    Spatial obj;
    obj.StorePosition(Vector3(10, 0, 10));
    tree.Insert(&obj);
    ASSERT_TRUE(tree.Allocate(3));
    EXPECT_FALSE(tree.IsBuilt());
    EXPECT_FALSE(obj.IsInTree());
    EXPECT_FALSE(tree.Insert(&obj));
}

TEST(QTree, FirstTreeIsTheInstanceUntilDestroyed)
{
    if (QTree::Instance())
        GTEST_SKIP() << "another tree is alive";
    {
        QTree first;
        QTree second;
        EXPECT_EQ(QTree::Instance(), &first);
    }
    EXPECT_EQ(QTree::Instance(), nullptr);
}

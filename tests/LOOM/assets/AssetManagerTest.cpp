#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"

namespace {
std::vector<std::string> gLoaded;
int gDeaths = 0;

struct TestAsset : RefCounted
{
    ~TestAsset() override { ++gDeaths; }
    void AssetHookA() override { gHooks.push_back("A:" + mName); }
    void AssetHookB() override { gHooks.push_back("B:" + mName); }
    bool Load(const std::string& name)
    {
        mName = name;
        gLoaded.push_back(name);
        return name.find("missing") == std::string::npos;
    }
    std::string mName;
    static std::vector<std::string> gHooks;
};
std::vector<std::string> TestAsset::gHooks;

class AssetManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gLoaded.clear();
        gDeaths = 0;
        TestAsset::gHooks.clear();
    }
};
} // namespace

TEST_F(AssetManagerTest, GetLoadsOnceAndAddsAReferencePerCall)
{
    AssetManager<TestAsset> manager;
    TestAsset* first = manager.Get("Textures/White.bmp");
    TestAsset* second = manager.Get("Textures/White.bmp");
    EXPECT_EQ(first, second);
    EXPECT_EQ(gLoaded.size(), 1u);
    EXPECT_EQ(first->GetRefCount(), 3u); // the manager's and two callers'
    first->Release();
    second->Release();
    EXPECT_EQ(first->GetRefCount(), 1u);
}

TEST_F(AssetManagerTest, NamesAreExactSoCaseAndSlashLoadTwice)
{
    AssetManager<TestAsset> manager;
    manager.Get("Models/Plane.lmf")->Release();
    manager.Get("Models\\Plane.lmf")->Release();
    manager.Get("models/plane.lmf")->Release();
    EXPECT_EQ(gLoaded.size(), 3u);
    EXPECT_EQ(manager.Count(), 3u);
}

TEST_F(AssetManagerTest, FailedLoadStaysCachedAndIsNotRetried)
{
    AssetManager<TestAsset> manager;
    manager.Get("missing.dds")->Release();
    manager.Get("missing.dds")->Release();
    EXPECT_EQ(gLoaded.size(), 1u);
}

TEST_F(AssetManagerTest, HandlesAreStampedWithSerialAndManagerId)
{
    AssetManager<TestAsset> manager;
    TestAsset* a = manager.Get("a");
    EXPECT_EQ(a->GetSerial(), 1u);
    EXPECT_EQ(a->GetManagerId(), manager.GetManagerId());
    TestAsset* again = manager.Get("a");
    EXPECT_EQ(again->GetSerial(), 2u);
    a->Release();
    again->Release();
}

TEST_F(AssetManagerTest, ManagersGetDistinctIds)
{
    AssetManager<TestAsset> one;
    AssetManager<TestAsset> two;
    EXPECT_NE(one.GetManagerId(), two.GetManagerId());
    EXPECT_NE(one.GetManagerId(), 0u);
}

TEST_F(AssetManagerTest, SerialWrapsToZeroAfter65536Handles)
{
    AssetManager<TestAsset> manager;
    for (int i = 0; i < 65535; ++i)
        manager.NextSerial();
    EXPECT_EQ(manager.NextSerial(), 0u);
    EXPECT_EQ(manager.NextSerial(), 1u);
}

TEST_F(AssetManagerTest, FindOfUnknownNameInsertsNothing)
{
    AssetManager<TestAsset> manager;
    EXPECT_EQ(manager.Find("nothing"), nullptr);
    EXPECT_EQ(manager.Count(), 0u);
    EXPECT_TRUE(gLoaded.empty());
    manager.Get("x")->Release();
    EXPECT_NE(manager.Find("x"), nullptr);
    EXPECT_EQ(manager.Find("x")->GetRefCount(), 1u); // Find adds no reference
}

TEST_F(AssetManagerTest, PurgeUnusedKeepsHeldAssetsAndDropsTheRest)
{
    AssetManager<TestAsset> manager;
    TestAsset* held = manager.Get("held");
    manager.Get("unused")->Release();
    manager.PurgeUnused();
    EXPECT_EQ(gDeaths, 1);
    EXPECT_EQ(manager.Find("unused"), nullptr);
    EXPECT_EQ(manager.Find("held"), held);
    EXPECT_EQ(held->GetRefCount(), 2u);
    manager.PurgeUnused(); // a second purge finds nothing more
    EXPECT_EQ(gDeaths, 1);
    held->Release();
}

TEST_F(AssetManagerTest, ReleaseAllDeletesUnheldAssetsWithoutReports)
{
    const int before = AssertFailureCount();
    {
        AssetManager<TestAsset> manager;
        manager.Get("a")->Release();
        manager.Get("b")->Release();
    }
    EXPECT_EQ(gDeaths, 2);
    EXPECT_EQ(AssertFailureCount(), before);
}

TEST_F(AssetManagerTest, DestructionReportsEachLeakByNameAndForgetsIt)
{
    const int before = AssertFailureCount();
    TestAsset* leaked = nullptr;
    {
        AssetManager<TestAsset> manager;
        leaked = manager.Get("Textures/Leaky.dds");
        manager.Get("Textures/Fine.dds")->Release();
    }
    EXPECT_EQ(AssertFailureCount(), before + 1);
    const std::string& last = Console::Instance().GetEntries().FromNewest(0).mText;
    EXPECT_NE(last.find("Resource leak not all references released.\nFileName: Textures"), std::string::npos);
    EXPECT_NE(last.find("Leaky.dds"), std::string::npos);
    EXPECT_EQ(gDeaths, 1);
    EXPECT_EQ(leaked->GetRefCount(), 1u);
    EXPECT_EQ(leaked->Release(), 0u); // the holder still frees it
    EXPECT_EQ(gDeaths, 2);
}

TEST_F(AssetManagerTest, ForEachAssetWalksInNameOrder)
{
    AssetManager<TestAsset> manager;
    manager.Get("b")->Release();
    manager.Get("a")->Release();
    manager.ForEachAssetA();
    manager.ForEachAssetB();
    EXPECT_EQ(TestAsset::gHooks, (std::vector<std::string>{"A:a", "A:b", "B:a", "B:b"}));
}

TEST_F(AssetManagerTest, SetFolderNamesTheManager)
{
    AssetManager<TestAsset> manager;
    EXPECT_EQ(manager.GetFolder(), "");
    manager.SetFolder("Textures");
    EXPECT_EQ(manager.GetFolder(), "Textures");
}

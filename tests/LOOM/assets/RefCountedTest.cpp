#include <gtest/gtest.h>

#include "LOOM/assets/RefCounted.h"
#include "LOOM/base/AssertHandler.h"

namespace {
struct Tracked : RefCounted
{
    explicit Tracked(int* deaths) : mDeaths(deaths) {}
    ~Tracked() override { ++*mDeaths; }
    int* mDeaths;
};

// An object whose first owner takes its reference with AddRef.
struct Floating : RefCounted
{
    Floating() : RefCounted(0) {}
};
} // namespace

TEST(RefCounted, StartsWithTheCreatorsReference)
{
    int deaths = 0;
    Tracked* asset = new Tracked(&deaths);
    EXPECT_EQ(asset->GetRefCount(), 1u);
    EXPECT_EQ(asset->Release(), 0u);
    EXPECT_EQ(deaths, 1);
}

TEST(RefCounted, ReleaseReturnsTheNewCountAndDeletesAtZero)
{
    int deaths = 0;
    Tracked* asset = new Tracked(&deaths);
    asset->AddRef();
    asset->AddRef();
    EXPECT_EQ(asset->Release(), 2u);
    EXPECT_EQ(asset->Release(), 1u);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(asset->Release(), 0u);
    EXPECT_EQ(deaths, 1);
}

TEST(RefCounted, ReleaseAtZeroAssertsInsteadOfWrapping)
{
    Floating held;
    const int before = AssertFailureCount();
    EXPECT_EQ(held.Release(), 0u);
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_EQ(held.GetRefCount(), 0u);
}

TEST(RefCounted, StampKeepsSerialAndManagerId)
{
    Floating asset;
    EXPECT_EQ(asset.GetSerial(), 0u);
    asset.SetStamp(0xFFFF, 7);
    EXPECT_EQ(asset.GetSerial(), 0xFFFFu);
    EXPECT_EQ(asset.GetManagerId(), 7u);
}

#include <gtest/gtest.h>

#include <utility>

#include "LOOM/assets/Ref.h"
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

TEST(Ref, CountsFollowCopyMoveResetAndSelfAssign)
{
    int deaths = 0;
    Tracked* raw = new Tracked(&deaths);
    Ref<Tracked> first = Ref<Tracked>::Adopt(raw);
    EXPECT_EQ(raw->GetRefCount(), 1u);

    struct Step
    {
        const char* what;
        void (*act)(Ref<Tracked>& a, Ref<Tracked>& b);
        uint32_t count;
        bool aHolds;
        bool bHolds;
    };
    Ref<Tracked> second;
    const Step steps[] = {
        {"copy", [](Ref<Tracked>& a, Ref<Tracked>& b) { b = a; }, 2, true, true},
        {"self copy", [](Ref<Tracked>& a, Ref<Tracked>&) { a = *&a; }, 2, true, true},
        {"self move", [](Ref<Tracked>& a, Ref<Tracked>&) { a = std::move(*&a); }, 2, true, true},
        {"reset", [](Ref<Tracked>& a, Ref<Tracked>&) { a.Reset(); }, 1, false, true},
        {"reset empty", [](Ref<Tracked>& a, Ref<Tracked>&) { a.Reset(); }, 1, false, true},
        {"move", [](Ref<Tracked>& a, Ref<Tracked>& b) { a = std::move(b); }, 1, true, false},
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the copy is the case
        {"copy construct", [](Ref<Tracked>& a, Ref<Tracked>&) { Ref<Tracked> c(a); }, 1, true, false},
        {"share", [](Ref<Tracked>& a, Ref<Tracked>& b) { b = Ref<Tracked>::Share(a.Get()); }, 2, true, true},
        {"assign null", [](Ref<Tracked>& a, Ref<Tracked>&) { a = nullptr; }, 1, false, true},
    };
    for (const Step& step : steps)
    {
        step.act(first, second);
        EXPECT_EQ(raw->GetRefCount(), step.count) << step.what;
        EXPECT_EQ(bool(first), step.aHolds) << step.what;
        EXPECT_EQ(bool(second), step.bHolds) << step.what;
        EXPECT_EQ(deaths, 0) << step.what;
    }
    second.Reset();
    EXPECT_EQ(deaths, 1);
    EXPECT_FALSE(first);
    EXPECT_EQ(first.Get(), nullptr);
}

TEST(Ref, LastHolderGoingOutOfScopeFreesTheAsset)
{
    int deaths = 0;
    {
        Ref<Tracked> outer = Ref<Tracked>::Adopt(new Tracked(&deaths));
        {
            Ref<RefCounted> base = outer;
            EXPECT_EQ(outer->GetRefCount(), 2u);
        }
        Ref<Tracked> moved(std::move(outer));
        EXPECT_FALSE(outer); // NOLINT(bugprone-use-after-move): the moved-from state is checked
        EXPECT_EQ(moved->GetRefCount(), 1u);
    }
    EXPECT_EQ(deaths, 1);
}

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

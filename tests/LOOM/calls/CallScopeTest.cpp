#include <gtest/gtest.h>

#include <vector>

#include "LOOM/calls/CallScope.h"

namespace {
// Puts back whatever hook an engine of another test left.
class CallScopes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mPrevious = CallScope::SetOutermostReturnHook([this] {
            mRuns.push_back(CallScope::Depth());
            if (mNestInHook)
            {
                // Work done by the hook may open scopes of its own without running it again.
                CallScope inner;
            }
        });
    }
    void TearDown() override { CallScope::SetOutermostReturnHook(std::move(mPrevious)); }

    std::function<void()> mPrevious;
    std::vector<int> mRuns;
    bool mNestInHook = false;
};
} // namespace

TEST_F(CallScopes, HookRunsOnlyWhenTheOutermostScopeEnds)
{
    ASSERT_EQ(CallScope::Depth(), 0);
    {
        CallScope outer;
        EXPECT_EQ(CallScope::Depth(), 1);
        {
            CallScope inner;
            EXPECT_EQ(CallScope::Depth(), 2);
        }
        EXPECT_TRUE(mRuns.empty());
    }
    EXPECT_EQ(mRuns, std::vector<int>{0});
    {
        CallScope again;
    }
    EXPECT_EQ(mRuns, (std::vector<int>{0, 0}));
}

TEST_F(CallScopes, ScopesOpenedByTheHookDoNotRunItAgain)
{
    mNestInHook = true;
    {
        CallScope scope;
    }
    EXPECT_EQ(mRuns, std::vector<int>{0});
    EXPECT_EQ(CallScope::Depth(), 0);
}

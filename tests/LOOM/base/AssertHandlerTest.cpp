#include <gtest/gtest.h>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"

namespace {
int gHolds = 0;
void CountHold() { ++gHolds; }
std::string gExpression, gLocation, gMessage;
bool AnswerDebug(const std::string& e, const std::string& l, const std::string& m)
{
    gExpression = e;
    gLocation = l;
    gMessage = m;
    return true;
}
} // namespace

TEST(AssertHandler, LogsLocationTellsTheClocksOwnerAndContinuesUnderTests)
{
    SetAssertHold(&CountHold);
    const int before = AssertFailureCount();
    const int holds = gHolds;
    EXPECT_FALSE(AssertFailed("mState != THREAD_RUNNING", "VirtualThread", 35, "The thread task is already spawned"));
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_EQ(gHolds, holds + 1);
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mText,
              "VirtualThread Line Number 35 The thread task is already spawned");
    EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mCategory, LogError);
    SetAssertHold(nullptr);
}

TEST(AssertHandler, DialogAnswerReachesTheCaller)
{
    const char* saved = std::getenv("LOOM_ASSERT");
    std::string keep = saved ? saved : "";
    unsetenv("LOOM_ASSERT");
    SetAssertDialog(&AnswerDebug);
    EXPECT_TRUE(AssertFailedString("x > 0", "QTree", 7, "bad depth"));
    EXPECT_EQ(gExpression, "x > 0");
    EXPECT_EQ(gLocation, "QTree Line Number 7");
    EXPECT_EQ(gMessage, "bad depth");
    SetAssertDialog(nullptr);
    if (saved)
        setenv("LOOM_ASSERT", keep.c_str(), 1);
}

TEST(AssertHandlerDeathTest, ExitEndsWithFailureAndClosesTheLog)
{
    EXPECT_EXIT(
        {
            unsetenv("LOOM_ASSERT");
            SetAssertDialog([](const std::string&, const std::string&, const std::string&) { return false; });
            AssertFailed("false", "DataController", 1, "Request for data on unknown trapName");
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "");
}

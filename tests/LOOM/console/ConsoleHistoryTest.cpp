#include <gtest/gtest.h>

#include <string>

#include "LOOM/console/ConsoleHistory.h"

TEST(ConsoleHistory, KeepsTheLast41Lines)
{
    ConsoleHistory history;
    for (int i = 0; i < 45; ++i)
        history.Push("line " + std::to_string(i));
    EXPECT_EQ(history.Size(), 41);
    EXPECT_EQ(history.FromNewest(0), "line 44");
    EXPECT_EQ(history.FromNewest(40), "line 4");
}

TEST(ConsoleHistory, BackWalksOlderAndWrapsWhenFull)
{
    ConsoleHistory history;
    for (int i = 0; i < 41; ++i)
        history.Push(std::to_string(i));
    for (int i = 40; i >= 0; --i)
        EXPECT_EQ(*history.Back(), std::to_string(i));
    EXPECT_EQ(*history.Back(), "40");
    EXPECT_EQ(*history.Forward(), "0");
}

TEST(ConsoleHistory, PushResetsBrowsing)
{
    ConsoleHistory history;
    history.Push("a");
    history.Push("b");
    history.Push("c");
    EXPECT_EQ(*history.Back(), "c");
    EXPECT_EQ(*history.Back(), "b");
    history.Push("d");
    EXPECT_EQ(*history.Back(), "d");
    EXPECT_EQ(*history.Forward(), "a");
}

TEST(ConsoleHistory, ForwardFromTheFreshPositionGivesTheOldest)
{
    ConsoleHistory history;
    EXPECT_EQ(history.Back(), nullptr);
    EXPECT_EQ(history.Forward(), nullptr);
    history.Push("a");
    history.Push("b");
    EXPECT_EQ(*history.Forward(), "a");
    EXPECT_EQ(*history.Forward(), "b");
    EXPECT_EQ(*history.Forward(), "a");
}

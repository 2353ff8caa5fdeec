#include <gtest/gtest.h>

#include <string>

#include "LOOM/calls/MessageRegistry.h"
#include "tests/LOOM/support/FakeCogDirectory.h"

namespace {
// Binds "NewConnection" (one string) on the cog: the functor clears the buffer it reads.
void BindTakeText(FakeCog& cog)
{
    cog.mFunctions["NewConnection"] = std::make_unique<MemberFunctor<decltype(&FakeCog::TakeText)>>(&FakeCog::TakeText);
}
} // namespace

TEST(MessageRegistry, TwoSubscribersBothReceiveTheArgument)
{
    FakeCogDirectory cogs;
    FakeCog& first = cogs.Add(3, "A");
    FakeCog& second = cogs.Add(7, "B");
    BindTakeText(first);
    BindTakeText(second);
    MessageRegistry registry;
    registry.Subscribe("Game", 7);
    registry.Subscribe("Game", 3);
    ParamBuffer params = ParamBuffer::FromString("player 2");
    registry.Broadcast("Game", "NewConnection", params);
    ASSERT_EQ(first.mCalls.size(), 1u);
    ASSERT_EQ(second.mCalls.size(), 1u);
    EXPECT_EQ(first.mCalls[0].mText, "player 2");
    EXPECT_EQ(second.mCalls[0].mText, "player 2");
    // The caller's buffer is untouched.
    EXPECT_EQ(params.GetSignature(), 0x6Au);
    EXPECT_EQ(params.GetCount(), 1u);
}

TEST(MessageRegistry, SubscribersAreCalledInAscendingIdOrder)
{
    FakeCogDirectory cogs;
    std::vector<uint32_t> order;
    cogs.mOnCall = [&](FakeCog& cog) { order.push_back(cog.mId); };
    cogs.Add(9, "");
    cogs.Add(2, "");
    cogs.Add(5, "");
    MessageRegistry registry;
    registry.Subscribe("Tick", 9);
    registry.Subscribe("Tick", 2);
    registry.Subscribe("Tick", 5);
    ParamBuffer params;
    registry.Broadcast("Tick", "OnTick", params);
    EXPECT_EQ(order, (std::vector<uint32_t>{2, 5, 9}));
}

TEST(MessageRegistry, UnknownMessageDoesNothingAndCreatesNoEntry)
{
    FakeCogDirectory cogs;
    FakeCog& cog = cogs.Add(1, "");
    MessageRegistry registry;
    ParamBuffer params;
    registry.Broadcast("Nobody", "Call", params);
    EXPECT_EQ(registry.GetSubscribers("Nobody"), nullptr);
    EXPECT_TRUE(cog.mCalls.empty());
}

TEST(MessageRegistry, VanishedSubscriberIsDroppedOthersCalled)
{
    FakeCogDirectory cogs;
    FakeCog& kept = cogs.Add(1, "");
    cogs.Add(2, "");
    MessageRegistry registry;
    registry.Subscribe("Game", 1);
    registry.Subscribe("Game", 2);
    registry.Subscribe("Other", 2);
    cogs.Destroy(2);
    ParamBuffer params;
    registry.Broadcast("Game", "NoServerFound", params);
    EXPECT_EQ(kept.mCalls.size(), 1u);
    EXPECT_EQ(*registry.GetSubscribers("Game"), (MessageRegistry::Subscribers{1}));
    // Only the broadcast message forgets the ID.
    EXPECT_EQ(registry.GetSubscribers("Other")->count(2), 1u);
}

TEST(MessageRegistry, SubscribingTwiceCallsOnce)
{
    FakeCogDirectory cogs;
    FakeCog& cog = cogs.Add(4, "");
    MessageRegistry registry;
    registry.Subscribe("Game", 4);
    registry.Subscribe("Game", 4);
    ParamBuffer params;
    registry.Broadcast("Game", "Ping", params);
    EXPECT_EQ(cog.mCalls.size(), 1u);
}

TEST(MessageRegistry, SubscriberMayUnsubscribeAndClearDuringBroadcast)
{
    FakeCogDirectory cogs;
    MessageRegistry registry;
    FakeCog& first = cogs.Add(1, "");
    FakeCog& second = cogs.Add(2, "");
    cogs.Add(3, "");
    registry.Subscribe("Game", 1);
    registry.Subscribe("Game", 2);
    registry.Subscribe("Game", 3);
    // The first subscriber unsubscribes itself and destroys cog 3, then the second clears the message.
    cogs.mOnCall = [&](FakeCog& cog) {
        if (cog.mId == 1)
        {
            registry.UnsubscribeEverywhere(1);
            cogs.Destroy(3);
        }
        else if (cog.mId == 2)
        {
            registry.ClearMessage("Game");
        }
    };
    ParamBuffer params;
    registry.Broadcast("Game", "Ping", params);
    EXPECT_EQ(first.mCalls.size(), 1u);
    EXPECT_EQ(second.mCalls.size(), 1u);
    ASSERT_NE(registry.GetSubscribers("Game"), nullptr);
    EXPECT_TRUE(registry.GetSubscribers("Game")->empty());
}

TEST(MessageRegistry, WithoutCogManagerEveryIdVanishes)
{
    MessageRegistry registry;
    registry.Subscribe("Game", 1);
    ParamBuffer params;
    registry.Broadcast("Game", "Ping", params);
    EXPECT_TRUE(registry.GetSubscribers("Game")->empty());
}

TEST(MessageRegistry, UnsubscribeAndClear)
{
    MessageRegistry registry;
    registry.Unsubscribe("Missing", 1); // unknown message: nothing created
    registry.ClearMessage("Missing");
    EXPECT_EQ(registry.GetSubscribers("Missing"), nullptr);
    registry.Subscribe("A", 1);
    registry.Subscribe("A", 2);
    registry.Subscribe("B", 1);
    registry.Unsubscribe("A", 2);
    EXPECT_EQ(*registry.GetSubscribers("A"), (MessageRegistry::Subscribers{1}));
    registry.UnsubscribeEverywhere(1);
    EXPECT_TRUE(registry.GetSubscribers("A")->empty());
    EXPECT_TRUE(registry.GetSubscribers("B")->empty());
    registry.Subscribe("B", 5);
    registry.ClearMessage("B");
    ASSERT_NE(registry.GetSubscribers("B"), nullptr);
    EXPECT_TRUE(registry.GetSubscribers("B")->empty());
}

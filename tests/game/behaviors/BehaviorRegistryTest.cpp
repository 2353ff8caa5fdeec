#include <gtest/gtest.h>

#include "game/behaviors/BehaviorRegistry.h"

TEST(BehaviorRegistry, UnknownNamesFallBackToBasicOfTheirKind)
{
    BehaviorRegistry& registry = BehaviorRegistry::Instance();
    EXPECT_EQ(&registry, &BehaviorRegistry::Instance());
    InvaderBehavior* invader = registry.mInvaderBehaviors.at("Basic");
    PathingBehavior* pathing = registry.mPathingBehaviors.at("Basic");
    TrapBehavior* trap = registry.mTrapBehaviors.at("Basic");
    EXPECT_EQ(FindInvaderBehavior("Basic"), invader);
    EXPECT_EQ(FindInvaderBehavior("NoSuchThing"), invader);
    EXPECT_EQ(FindPathingBehavior("basic"), pathing) << "names are case-sensitive";
    EXPECT_EQ(FindTrapBehavior(""), trap);
}

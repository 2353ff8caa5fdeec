#include <gtest/gtest.h>

#include <memory>

#include "physics/PhysicsLoom.h"
#include "tests/LOOM/support/LoomTestSupport.h"

TEST(PhysicsLoom, CreateStoresTheInstanceAndDeleteClearsIt)
{
    ExpectInstanceFromCreateToDelete<PhysicsLoom>("Physics Loom", "PhysicsLoom");
}

TEST(PhysicsLoom, InitShutdownInitAgain)
{
    std::unique_ptr<PhysicsLoom> loom(PhysicsLoom::Create());
    loom->RegisterTypes();
    EXPECT_FALSE(loom->IsActive());
    loom->Init();
    EXPECT_TRUE(loom->IsActive());
    loom->Update();
    loom->Shutdown();
    EXPECT_FALSE(loom->IsActive());
    loom->Init();
    EXPECT_TRUE(loom->IsActive());
    loom->Unload();
}

TEST(PhysicsLoom, GravityHasItsDefaultBeforeInit)
{
    std::unique_ptr<PhysicsLoom> loom(PhysicsLoom::Create());
    EXPECT_EQ(loom->GetGravity().x, 0.0f);
    EXPECT_EQ(loom->GetGravity().y, -40.0f);
    EXPECT_EQ(loom->GetGravity().z, 0.0f);
}

TEST(PhysicsLoom, OlderLoomDeletedLaterLeavesNewInstance)
{
    std::unique_ptr<PhysicsLoom> first(PhysicsLoom::Create());
    std::unique_ptr<PhysicsLoom> second(PhysicsLoom::Create());
    EXPECT_EQ(PhysicsLoom::Instance(), second.get());
    first.reset();
    EXPECT_EQ(PhysicsLoom::Instance(), second.get());
}

#include <gtest/gtest.h>

#include <memory>

#include "physics/PhysicsLoom.h"

TEST(PhysicsLoom, CreateStoresTheInstanceAndDeleteClearsIt)
{
    std::unique_ptr<PhysicsLoom> loom(PhysicsLoom::Create());
    ASSERT_NE(loom, nullptr);
    EXPECT_EQ(PhysicsLoom::Instance(), loom.get());
    EXPECT_EQ(loom->GetName(), "Physics Loom");
    EXPECT_EQ(loom->GetTypeName(), "PhysicsLoom");
    loom.reset();
    EXPECT_EQ(PhysicsLoom::Instance(), nullptr);
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

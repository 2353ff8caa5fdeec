#include <gtest/gtest.h>

#include <memory>

#include "network/NetworkLoom.h"

TEST(NetworkLoom, CreateStoresTheInstanceAndDeleteClearsIt)
{
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    ASSERT_NE(loom, nullptr);
    EXPECT_EQ(NetworkLoom::Instance(), loom.get());
    EXPECT_EQ(loom->GetName(), "Network Loom");
    EXPECT_EQ(loom->GetTypeName(), "NetworkLoom");
    loom.reset();
    EXPECT_EQ(NetworkLoom::Instance(), nullptr);
}

// The engine never shuts this loom down: a hard restart calls Init again, teardown only deletes.
TEST(NetworkLoom, InitTwiceInARowThenDeleteWithoutShutdown)
{
    NetworkLoom* loom = NetworkLoom::Create();
    loom->RegisterTypes();
    loom->Init();
    loom->Update();
    loom->Init();
    EXPECT_TRUE(loom->IsActive());
    loom->Update();
    delete loom;
    EXPECT_EQ(NetworkLoom::Instance(), nullptr);
}

TEST(NetworkLoom, InitAfterShutdownWorks)
{
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    loom->Init();
    loom->Shutdown();
    EXPECT_FALSE(loom->IsActive());
    loom->Init();
    EXPECT_TRUE(loom->IsActive());
    loom->Unload();
}

#include <gtest/gtest.h>

#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "network/NetController.h"
#include "network/NetworkLoom.h"
#include "tests/LOOM/support/LoomTestSupport.h"
#include "tests/network/NetTestSupport.h"

TEST(NetworkLoom, CreateStoresTheInstanceAndDeleteClearsIt)
{
    ExpectInstanceFromCreateToDelete<NetworkLoom>("Network Loom", "NetworkLoom");
}

// The engine never shuts this loom down: a hard restart calls Init again, teardown only deletes.
TEST(NetworkLoom, InitTwiceInARowThenDeleteWithoutShutdown)
{
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    loom->RegisterTypes();
    loom->Init();
    loom->Update();
    loom->Init();
    EXPECT_TRUE(loom->IsActive());
    loom->Update();
    loom.reset();
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

namespace {
// The bundled data folder, for the whole test; the earlier data path comes back after.
class BundledData
{
public:
    BundledData() : mOld(GetDataPath()) { SetDataPath(std::string(LOOM_TEST_DATA) + "/../../data/"); }
    ~BundledData() { SetDataPath(mOld); }

private:
    std::string mOld;
};
} // namespace

TEST(NetworkLoom, BundledSettingsLoadAndBrokenOnesKeepDefaults)
{
    BundledData data;
    NetSettings settings;
    settings.mGamePort = 1;
    ASSERT_TRUE(settings.Load("Data/NetAd.xml"));
    EXPECT_EQ(settings.mGamePort, 27500);
    EXPECT_EQ(settings.mDiscoveryPort, 27501);
    EXPECT_EQ(settings.mDiscoveryAddress, "127.255.255.255");
    EXPECT_EQ(settings.mBindAddress, "0.0.0.0");
    EXPECT_EQ(settings.mTransport, "UDP");
    EXPECT_EQ(settings.mMaxPlayers, 8);
    EXPECT_FLOAT_EQ(settings.mDiscoveryTimeout, 2.0f);
    EXPECT_FLOAT_EQ(settings.mDisconnectTimeout, 5.0f);
    NetSettings missing;
    missing.mGamePort = 1;
    EXPECT_FALSE(missing.Load("Data/Nothing.xml"));
    EXPECT_EQ(missing.mGamePort, 1);

    SetDataPath(std::string(LOOM_TEST_DATA) + "/");
    for (const char* broken : {"net/NetAdBadPort.xml", "net/NetAdTruncated.xml"})
    {
        NetSettings kept;
        const uint32_t before = Console::Instance().GetEntryCounter();
        EXPECT_FALSE(kept.Load(broken)) << broken;
        EXPECT_EQ(kept.mGameName, "Loom Game") << broken;
        EXPECT_EQ(kept.mGamePort, 27500) << broken;
        EXPECT_GE(Console::Instance().GetEntryCounter(), before + 1) << broken;
    }
}

// Commands from the console; a hard restart's second Init leaves the game and the peer hears.
TEST(NetworkLoom, ConsoleCommandsAndInitAgainLeaveTheGame)
{
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    loom->RegisterTypes();
    // After the engine's cog manager exists, so calls by name come here while the test runs.
    RecordingDirectory cogs;
    cogs.Add(1, "Listener");
    MessageRegistry hostMessages, clientMessages;
    clientMessages.Subscribe("Game", 1);
    clientMessages.Subscribe("Chat", 1);

    loom->SetMessageRegistry(&hostMessages);
    loom->Init();
    loom->GetController().GetSettings().mGamePort = 0;
    loom->GetController().GetSettings().mDiscoveryPort = 0;
    Console& console = Console::Instance();
    console.ExecuteLine("HostGame Arena");
    ASSERT_TRUE(loom->GetController().IsHosting());

    NetController client;
    client.SetRegistry(&clientMessages);
    client.GetSettings().mDiscoveryPort = loom->GetController().GetDiscoveryPort();
    const std::string address = "127.0.0.1:" + std::to_string(loom->GetController().GetGamePort());
    auto update = [&] {
        loom->Update();
        client.Update(TestSeconds());
    };
    auto calls = [&](size_t n) { return WaitUntil([&] { return cogs.Functions(1).size() >= n; }, update, 5.0); };
    ASSERT_TRUE(client.JoinGame(address));
    ASSERT_TRUE(calls(1));
    ASSERT_TRUE(WaitUntil([&] { return loom->GetController().GetPlayerCount() == 1; }, update, 5.0));

    console.ExecuteLine("NetSend Chat Say hi");
    console.ExecuteLine("NetSend Chat Wave");
    ASSERT_TRUE(calls(3));
    EXPECT_EQ(cogs.mCalls[1].mFunction, "Say");
    ParamBuffer said = cogs.mCalls[1].mParams.Copy();
    EXPECT_EQ(ParamTraits<std::string>::Pop(said), "hi");
    EXPECT_EQ(cogs.mCalls[2].mFunction, "Wave");
    EXPECT_EQ(cogs.mCalls[2].mParams.GetCount(), 0u);

    loom->Init();
    EXPECT_FALSE(loom->GetController().IsHosting());
    ASSERT_TRUE(calls(4));
    EXPECT_EQ(cogs.Functions(1), (std::vector<std::string>{"NowConnected", "Say", "Wave", "NetDisconnect"}));

    // The other way round: the address is one text on the command line.
    client.GetSettings().mGamePort = 0;
    client.GetSettings().mDiscoveryPort = 0;
    ASSERT_TRUE(client.HostGame("Back"));
    console.ExecuteLine("JoinGame 127.0.0.1:" + std::to_string(client.GetGamePort()));
    EXPECT_TRUE(WaitUntil([&] { return loom->GetController().IsConnected(); }, update, 5.0));
    console.ExecuteLine("LeaveGame");
    EXPECT_FALSE(loom->GetController().IsConnected());

    loom.reset();
    EXPECT_EQ(console.FindCommand("hostgame"), nullptr);
}

TEST(NetworkLoom, SubscribeFunctionsReachTheRegistry)
{
    CogFactory cogs;
    cogs.Types().RegisterType("Plain", std::make_shared<Composer>(cogs, "Plain", "Plains"));
    Cog* cog = cogs.Instantiate("Plain");
    ASSERT_NE(cog, nullptr);
    MessageRegistry messages;
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    loom->SetMessageRegistry(&messages);
    loom->Subscribe(cog, "Game");
    ASSERT_NE(messages.GetSubscribers("Game"), nullptr);
    EXPECT_EQ(messages.GetSubscribers("Game")->count(cog->GetID()), 1u);
    loom->Unsubscribe(cog, "Game");
    EXPECT_EQ(messages.GetSubscribers("Game")->count(cog->GetID()), 0u);
    loom->Subscribe(nullptr, "Game");
}

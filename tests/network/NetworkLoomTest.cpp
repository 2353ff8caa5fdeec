#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

namespace {
// A game hosted by the loom the program installs, on a loopback port of its own.
class LoomHost
{
public:
    LoomHost(const char* transport, float joinTimeout) : mLoom(NetworkLoom::Create())
    {
        mLoom->SetMessageRegistry(&mMessages);
        mLoom->Init();
        NetSettings& settings = mLoom->GetController().GetSettings();
        settings.mGamePort = 0;
        settings.mDiscoveryPort = 0;
        settings.mTransport = transport;
        settings.mJoinTimeout = joinTimeout;
        EXPECT_TRUE(mLoom->GetController().HostGame("Guarded"));
    }
    NetworkLoom& Loom() { return *mLoom; }
    NetEndpoint& Game() { return *mLoom->GetController().GetGameEndpoint(); }
    uint16_t Port() { return mLoom->GetController().GetGamePort(); }

private:
    BundledData mData;
    MessageRegistry mMessages;
    std::unique_ptr<NetworkLoom> mLoom;
};

constexpr uint32_t kStrangers = 0x7F00000A; // 127.0.0.10 and on
} // namespace

// A UDP source that asks to join and never answers gets one accept however often it asks within
// a second (its accept may have been lost: it hears again a second later), and a fresh one once
// its place has been given up: a forged source brings no stream of replies.
TEST(NetworkLoom, SilentUdpSourceGetsOneReplyUntilItsPlaceExpires)
{
    LoomHost host("UDP", 1.5f);
    RawPeer silent(true, host.Port(), kStrangers);
    // Twenty over a fifth of a second, as a flood of forged connects comes.
    for (int i = 0; i < 20; ++i)
    {
        silent.Send(NetKind::Connect);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Sent before any accept is read, so without the token: the host counts it, after the rest.
    silent.Send(NetKind::Heartbeat);
    auto pump = [&] {
        silent.Read();
        host.Loom().Update();
    };
    NetEndpoint& game = host.Game();
    ASSERT_TRUE(WaitUntil([&] { return game.DropCount(NetDrop::Token) == 1; }, pump, 5.0));
    silent.Read();
    EXPECT_EQ(silent.Replies(), 1u) << "replies to 20 connects";
    EXPECT_NE(silent.Token(), 0u);

    ASSERT_TRUE(WaitUntil([&] { return game.DropCount(NetDrop::Join) == 1; }, pump, 5.0));
    silent.Send(NetKind::Connect);
    EXPECT_TRUE(WaitUntil([&] { return silent.Replies() == 2; }, pump, 5.0));
    EXPECT_EQ(game.DropCount(NetDrop::Join), 1u);
}

// Strangers on many loopback addresses ask to join and never do: several sources each asking
// again and again, or one each from more addresses than the host has places; a player still
// gets in.
TEST(NetworkLoom, StrangersWaitingToJoinLeaveRoomForAPlayer)
{
    // The places the host keeps for players and those waiting together.
    constexpr uint32_t kPlaces = 64;
    struct Case
    {
        const char* mTransport;
        uint32_t mAddresses;
        uint32_t mSourcesEach;
        // UDP: asks again every round, else until it hears once; TCP: comes back as soon as it
        // is let go.
        bool mAgain;
    };
    const Case cases[] = {
        {"UDP", 16, 6, true},
        {"UDP", 70, 1, false},
        {"TCP", 16, 6, true},
        {"TCP", 70, 1, true},
    };
    const uint32_t capEach = NetEndpoint::Settings{}.mMaxPendingPerAddress;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.mTransport) + ", " + std::to_string(c.mAddresses) + " addresses");
        const bool udp = std::string(c.mTransport) == "UDP";
        LoomHost host(c.mTransport, 3.0f);
        const uint16_t port = host.Port();
        NetEndpoint& game = host.Game();
        std::vector<std::unique_ptr<RawPeer>> strangers;
        std::vector<bool> spoke;
        for (uint32_t a = 0; a < c.mAddresses; ++a)
            for (uint32_t s = 0; s < c.mSourcesEach; ++s)
                strangers.push_back(std::make_unique<RawPeer>(udp, port, kStrangers + a));
        spoke.resize(strangers.size());

        // TCP strangers say one thing that is no join, so the host is seen to have taken them in.
        double lastRound = 0.0;
        auto crowd = [&] {
            if (TestSeconds() - lastRound < 0.02)
                return;
            lastRound = TestSeconds();
            for (size_t i = 0; i < strangers.size(); ++i)
            {
                if (udp)
                {
                    strangers[i]->Read();
                    if (c.mAgain || strangers[i]->Replies() == 0)
                        strangers[i]->Send(NetKind::Connect);
                    continue;
                }
                if (!strangers[i]->Read())
                {
                    strangers[i] = std::make_unique<RawPeer>(udp, port, kStrangers + uint32_t(i) / c.mSourcesEach);
                    spoke[i] = false;
                }
                spoke[i] = spoke[i] || strangers[i]->Send(NetKind::Data);
            }
        };
        auto takenIn = [&] {
            if (!udp)
                return size_t(game.DropCount(NetDrop::Source));
            return size_t(std::count_if(strangers.begin(), strangers.end(),
                                        [](const auto& peer) { return peer->Replies() > 0; }));
        };
        // As many as the host lets wait before the player comes.
        const size_t full = std::min<size_t>(kPlaces, c.mAddresses * std::min(c.mSourcesEach, capEach));
        ASSERT_TRUE(WaitUntil([&] { return takenIn() >= full; }, [&] { crowd(); }, 5.0)) << takenIn();

        NetController player;
        player.GetSettings().mTransport = c.mTransport;
        ASSERT_TRUE(player.JoinGame("127.0.0.1:" + std::to_string(port)));
        auto pump = [&] {
            crowd();
            host.Loom().Update();
            player.Update(TestSeconds());
        };
        NetController& hosting = host.Loom().GetController();
        EXPECT_TRUE(WaitUntil(
            [&] { return (player.IsConnected() && hosting.GetPlayerCount() == 1) || !player.GetGameEndpoint(); }, pump,
            5.0));
        EXPECT_TRUE(player.IsConnected()) << "the player was turned away";
        EXPECT_EQ(hosting.GetPlayerCount(), 1u);
    }
}

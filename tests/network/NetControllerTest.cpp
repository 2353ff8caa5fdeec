#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "LOOM/calls/MessageRegistry.h"
#include "network/NetController.h"
#include "tests/network/NetTestSupport.h"

namespace {
constexpr uint32_t kHostCog = 1;
constexpr uint32_t kClientCog = 2;

void UseLoopback(NetController& game, float disconnectTimeout = 5.0f)
{
    NetSettings& s = game.GetSettings();
    s.mGamePort = 0;
    s.mDiscoveryPort = 0;
    s.mDisconnectTimeout = disconnectTimeout;
}

std::string Text(const ParamBuffer& params, int index)
{
    ParamBuffer copy = params.Copy();
    std::string text;
    for (int i = 0; i <= index; ++i)
    {
        if (copy.GetTag(uint32_t(i)) == ParamString)
            copy.PopString(text);
        else
            text = std::to_string(ParamTraits<int32_t>::Pop(copy));
    }
    return text;
}

void HostFindJoinSendLeave(const char* transport);

void SendConnectFrame(int fd)
{
    uint8_t frame[kNetHeaderSize];
    NetHeader h;
    h.mKind = NetKind::Connect;
    WriteNetHeader(h, frame);
    send(fd, frame, sizeof(frame), MSG_NOSIGNAL);
}

// Log lines numbered from start on that contain any of the texts.
size_t LinesWith(uint32_t start, std::initializer_list<const char*> texts)
{
    const auto& entries = Console::Instance().GetEntries();
    size_t lines = 0;
    for (size_t i = 0; i < entries.Size(); ++i)
    {
        const LogEntry& e = entries.FromNewest(i);
        if (e.mNumber < start)
            break;
        for (const char* text : texts)
            if (e.mText.find(text) != std::string::npos)
            {
                ++lines;
                break;
            }
    }
    return lines;
}

struct TwoGames
{
    RecordingDirectory mCogs;
    MessageRegistry mHostMessages, mClientMessages;
    NetController mHost, mClient;

    TwoGames()
    {
        mCogs.Add(kHostCog, "HostListener");
        mCogs.Add(kClientCog, "ClientListener");
        mHostMessages.Subscribe("Game", kHostCog);
        mHostMessages.Subscribe("Chat", kHostCog);
        mClientMessages.Subscribe("Game", kClientCog);
        mHost.SetRegistry(&mHostMessages);
        mClient.SetRegistry(&mClientMessages);
        UseLoopback(mHost);
        UseLoopback(mClient);
    }
    void Update()
    {
        mHost.Update(TestSeconds());
        mClient.Update(TestSeconds());
    }
    bool WaitFor(uint32_t cog, size_t calls, double seconds = 5.0)
    {
        return WaitUntil([&] { return mCogs.Functions(cog).size() >= calls; }, [&] { Update(); }, seconds);
    }
    const RecordingDirectory::Call& Last(uint32_t cog)
    {
        for (size_t i = mCogs.mCalls.size(); i-- > 0;)
            if (mCogs.mCalls[i].mCog == cog)
                return mCogs.mCalls[i];
        static RecordingDirectory::Call none{0, "", ParamBuffer()};
        return none;
    }
};
} // namespace

TEST(NetController, HostFindJoinSendLeave_EventsArriveInOrder)
{
    for (const char* transport : {"UDP", "TCP"})
    {
        SCOPED_TRACE(transport);
        HostFindJoinSendLeave(transport);
    }
}

TEST(NetController, SilentTcpPeerIsLost)
{
    TwoGames g;
    UseLoopback(g.mHost, 0.4f);
    g.mHost.GetSettings().mTransport = "TCP";
    ASSERT_TRUE(g.mHost.HostGame(""));
    // One never joins and is no player; one joins, then says nothing more.
    const sockaddr_in host = Loopback(g.mHost.GetGamePort());
    int mute[2];
    for (int& fd : mute)
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&host), sizeof(host)), 0);
    }
    SendConnectFrame(mute[1]);
    ASSERT_TRUE(g.WaitFor(kHostCog, 2));
    EXPECT_EQ(g.mCogs.Functions(kHostCog), (std::vector<std::string>{"NewConnection", "RemovePlayer"}));
    uint8_t bytes[256];
    EXPECT_TRUE(WaitUntil([&] { return recv(mute[0], bytes, sizeof(bytes), MSG_DONTWAIT) == 0; }, nullptr, 3.0));
    for (int fd : mute)
        close(fd);
}

namespace {
void HostFindJoinSendLeave(const char* transport)
{
    TwoGames g;
    g.mHost.GetSettings().mTransport = transport;
    g.mClient.GetSettings().mTransport = transport;
    ASSERT_TRUE(g.mHost.HostGame("Duel"));
    ASSERT_NE(g.mHost.GetGamePort(), 0);
    ASSERT_NE(g.mHost.GetDiscoveryPort(), 0);
    g.mClient.GetSettings().mDiscoveryPort = g.mHost.GetDiscoveryPort();

    g.mClient.FindGame();
    ASSERT_TRUE(g.WaitFor(kClientCog, 1));
    const auto& offer = g.Last(kClientCog);
    EXPECT_EQ(offer.mFunction, "GotConnectionInfo");
    EXPECT_EQ(Text(offer.mParams, 0), "127.0.0.1");
    EXPECT_EQ(Text(offer.mParams, 1), std::to_string(g.mHost.GetGamePort()));
    EXPECT_EQ(Text(offer.mParams, 2), "Duel");
    const std::string address = Text(offer.mParams, 0) + ":" + Text(offer.mParams, 1);

    ASSERT_TRUE(g.mClient.JoinGame(address));
    ASSERT_TRUE(g.WaitFor(kClientCog, 2));
    ASSERT_TRUE(g.WaitFor(kHostCog, 1));
    EXPECT_EQ(g.Last(kClientCog).mFunction, "NowConnected");
    EXPECT_EQ(Text(g.Last(kClientCog).mParams, 0), "1");
    EXPECT_EQ(g.Last(kHostCog).mFunction, "NewConnection");
    EXPECT_EQ(Text(g.Last(kHostCog).mParams, 0), "1");
    EXPECT_EQ(Text(g.Last(kHostCog).mParams, 1).rfind("127.0.0.1:", 0), 0u);

    ParamBuffer hello;
    hello.PushString("hello");
    hello.PushFloat(2.5f);
    ASSERT_TRUE(g.mClient.NetSend("Chat", "Say", hello));
    ASSERT_TRUE(g.WaitFor(kHostCog, 2));
    EXPECT_EQ(g.Last(kHostCog).mFunction, "Say");
    EXPECT_EQ(Text(g.Last(kHostCog).mParams, 0), "hello");

    g.mClient.LeaveGame();
    ASSERT_TRUE(g.WaitFor(kHostCog, 3));
    EXPECT_EQ(g.Last(kHostCog).mFunction, "RemovePlayer");

    // Join again, then the host goes: the client hears of it.
    ASSERT_TRUE(g.mClient.JoinGame(address));
    ASSERT_TRUE(g.WaitFor(kClientCog, 3));
    ASSERT_TRUE(g.WaitFor(kHostCog, 4));
    EXPECT_EQ(Text(g.Last(kHostCog).mParams, 0), "2");
    g.mHost.LeaveGame();
    ASSERT_TRUE(g.WaitFor(kClientCog, 4));

    EXPECT_EQ(g.mCogs.Functions(kHostCog),
              (std::vector<std::string>{"NewConnection", "Say", "RemovePlayer", "NewConnection"}));
    EXPECT_EQ(g.mCogs.Functions(kClientCog),
              (std::vector<std::string>{"GotConnectionInfo", "NowConnected", "NowConnected", "NetDisconnect"}));
    EXPECT_FALSE(g.mClient.IsConnected());
}
} // namespace

TEST(NetController, SilentPeersAreLost)
{
    TwoGames g;
    UseLoopback(g.mHost, 0.4f);
    UseLoopback(g.mClient, 0.4f);
    ASSERT_TRUE(g.mHost.HostGame(""));

    // A client that connects, answers its accept once, then never says another word.
    const int mute = LoopbackSocket(SOCK_DGRAM);
    uint8_t connect[kNetHeaderSize];
    NetHeader h;
    h.mKind = NetKind::Connect;
    WriteNetHeader(h, connect);
    const sockaddr_in host = Loopback(g.mHost.GetGamePort());
    sendto(mute, connect, sizeof(connect), 0, reinterpret_cast<const sockaddr*>(&host), sizeof(host));
    uint8_t accepted[2048];
    pollfd answer{mute, POLLIN, 0};
    ASSERT_EQ(poll(&answer, 1, 2000), 1);
    ASSERT_EQ(recv(mute, accepted, sizeof(accepted), 0), ssize_t(kNetHeaderSize + 4));
    NetDrop reason;
    ASSERT_TRUE(ReadNetHeader(accepted, kNetHeaderSize + 4, true, h, reason));
    h.mKind = NetKind::Heartbeat;
    h.mLength = 0;
    WriteNetHeader(h, connect);
    sendto(mute, connect, sizeof(connect), 0, reinterpret_cast<const sockaddr*>(&host), sizeof(host));
    ASSERT_TRUE(g.WaitFor(kHostCog, 2));
    EXPECT_EQ(g.mCogs.Functions(kHostCog), (std::vector<std::string>{"NewConnection", "RemovePlayer"}));

    // A host that accepts, then falls silent.
    const int fake = LoopbackSocket(SOCK_DGRAM);
    ASSERT_TRUE(g.mClient.JoinGame("127.0.0.1:" + std::to_string(BoundPort(fake))));
    uint8_t datagram[2048];
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    pollfd wait{fake, POLLIN, 0};
    ASSERT_EQ(poll(&wait, 1, 2000), 1);
    ASSERT_GE(recvfrom(fake, datagram, sizeof(datagram), 0, reinterpret_cast<sockaddr*>(&from), &length), 22);
    uint8_t accept[kNetHeaderSize + 4];
    h = NetHeader();
    h.mKind = NetKind::Accept;
    h.mToken = 99;
    h.mLength = 4;
    WriteNetHeader(h, accept);
    const uint32_t id = 5;
    std::memcpy(accept + kNetHeaderSize, &id, 4);
    sendto(fake, accept, sizeof(accept), 0, reinterpret_cast<const sockaddr*>(&from), sizeof(from));
    ASSERT_TRUE(g.WaitFor(kClientCog, 2));
    EXPECT_EQ(g.mCogs.Functions(kClientCog), (std::vector<std::string>{"NowConnected", "NetDisconnect"}));
    close(mute);
    close(fake);
}

TEST(NetController, NoHostGivesNoServerFound)
{
    TwoGames g;
    // A port that exists but never answers.
    const int deaf = LoopbackSocket(SOCK_DGRAM);
    g.mClient.GetSettings().mDiscoveryPort = BoundPort(deaf);
    g.mClient.GetSettings().mDiscoveryAddress = "127.0.0.1";
    g.mClient.GetSettings().mDiscoveryTimeout = 0.2f;
    g.mClient.FindGame();
    ASSERT_TRUE(g.WaitFor(kClientCog, 1));
    EXPECT_EQ(g.mCogs.Functions(kClientCog), (std::vector<std::string>{"NoServerFound"}));
    // Joining nothing is refused at once when the text is not a numeric address.
    EXPECT_FALSE(g.mClient.JoinGame("localhost:27500"));
    EXPECT_FALSE(g.mClient.JoinGame("127.0.0.1"));
    EXPECT_FALSE(g.mClient.JoinGame("127.0.0.1:99999"));
    close(deaf);
}

// Garbage aimed at a live host while a client talks: the client's messages all arrive in
// order, the garbage is counted and reported at most once a second per reason.
TEST(NetController, HostilePacketsAtALiveHostAreDroppedAndReported)
{
    TwoGames g;
    ASSERT_TRUE(g.mHost.HostGame("Target"));
    ASSERT_TRUE(g.mClient.JoinGame("127.0.0.1:" + std::to_string(g.mHost.GetGamePort())));
    ASSERT_TRUE(g.WaitFor(kClientCog, 1));
    const uint32_t logStart = Console::Instance().GetEntryCounter();

    std::mt19937 random(99);
    const int attacker = LoopbackSocket(SOCK_DGRAM);
    const sockaddr_in host = Loopback(g.mHost.GetGamePort());
    const uint32_t messages = 300;
    uint32_t sent = 0;
    for (int i = 0; i < 10000; ++i)
    {
        uint8_t bytes[64];
        NetHeader h;
        h.mKind = NetKind(random() % 10);
        h.mToken = random() % 4 ? uint32_t(random()) : 0;
        h.mSequence = uint32_t(random() % 600);
        h.mAck = uint32_t(random() % 600);
        h.mAckBits = uint32_t(random());
        h.mLength = uint16_t(random() % 50);
        WriteNetHeader(h, bytes);
        for (size_t b = kNetHeaderSize; b < sizeof(bytes); ++b)
            bytes[b] = uint8_t(random());
        if (random() % 3 == 0)
            bytes[random() % kNetHeaderSize] ^= uint8_t(1 + random() % 255);
        const size_t size = random() % sizeof(bytes);
        sendto(attacker, bytes, size, 0, reinterpret_cast<const sockaddr*>(&host), sizeof(host));
        if (i % 33 == 0 && sent < messages)
        {
            ParamBuffer params;
            params.PushUInt(sent++);
            ASSERT_TRUE(g.mClient.NetSend("Chat", "Count", params));
        }
        if (i % 100 == 0)
            g.Update();
    }
    while (sent < messages)
    {
        ParamBuffer params;
        params.PushUInt(sent++);
        g.mClient.NetSend("Chat", "Count", params);
    }
    ASSERT_TRUE(g.WaitFor(kHostCog, 1 + messages, 10.0));
    uint32_t expected = 0;
    for (const auto& call : g.mCogs.mCalls)
    {
        if (call.mCog != kHostCog || call.mFunction != "Count")
            continue;
        ParamBuffer copy = call.mParams.Copy();
        EXPECT_EQ(ParamTraits<uint32_t>::Pop(copy), expected++);
    }
    EXPECT_EQ(expected, messages);
    EXPECT_TRUE(g.mHost.IsHosting());
    EXPECT_EQ(g.mHost.GetPlayerCount(), 1u);
    uint64_t dropped = 0;
    for (size_t r = 0; r < size_t(NetDrop::Count); ++r)
        dropped += g.mHost.GetGameEndpoint()->DropCount(NetDrop(r));
    EXPECT_GT(dropped, 5000u);

    const auto& entries = Console::Instance().GetEntries();
    size_t dropLines = 0;
    for (size_t i = 0; i < entries.Size(); ++i)
    {
        const LogEntry& e = entries.FromNewest(i);
        if (e.mNumber <= logStart)
            break;
        dropLines += e.mText.find("dropped") != std::string::npos;
    }
    EXPECT_GT(dropLines, 0u);
    EXPECT_LE(dropLines, size_t(NetDrop::Count) * 12);
    close(attacker);
}

// Twenty players that come and go within a second write one line then, and one count after.
TEST(NetController, ConnectionLinesAreLimitedToOneASecond)
{
    TwoGames g;
    g.mHost.GetSettings().mTransport = "TCP";
    ASSERT_TRUE(g.mHost.HostGame(""));
    const uint32_t logStart = Console::Instance().GetEntryCounter();
    const sockaddr_in host = Loopback(g.mHost.GetGamePort());
    for (int i = 0; i < 20; ++i)
    {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&host), sizeof(host)), 0);
        SendConnectFrame(fd);
        // Gone once the host has seen it join.
        uint8_t accept[64];
        pollfd wait{fd, POLLIN, 0};
        ASSERT_EQ(poll(&wait, 1, 3000), 1);
        ASSERT_GT(recv(fd, accept, sizeof(accept), 0), 0);
        close(fd);
    }
    // A clock that stands still: all of it happens within one second.
    ASSERT_TRUE(
        WaitUntil([&] { return g.mCogs.Functions(kHostCog).size() >= 40; }, [&] { g.mHost.Update(100.0); }, 5.0));
    EXPECT_EQ(LinesWith(logStart, {"joined from", " left", "fell silent", "more players"}), 1u);
    g.mHost.Update(101.5);
    EXPECT_EQ(LinesWith(logStart, {"joined from", " left", "fell silent", "more players"}), 2u);
    EXPECT_EQ(LinesWith(logStart, {"39 more players joined or left"}), 1u);
}

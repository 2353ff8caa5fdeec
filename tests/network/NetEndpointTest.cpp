#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "network/NetEndpoint.h"
#include "network/NetTcpEndpoint.h"
#include "network/NetUdpEndpoint.h"
#include "tests/network/NetTestSupport.h"

namespace {
constexpr uint32_t kLoopback = 0x7F000001;

template <typename Endpoint>
std::unique_ptr<NetEndpoint> OpenHost()
{
    auto host = std::make_unique<Endpoint>();
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Host;
    settings.mLocal = NetAddress{kLoopback, 0};
    EXPECT_TRUE(host->Open(settings));
    return host;
}

template <typename Endpoint>
std::unique_ptr<NetEndpoint> OpenClient(uint16_t port)
{
    auto client = std::make_unique<Endpoint>();
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Client;
    settings.mLocal = NetAddress{kLoopback, 0};
    settings.mRemote = NetAddress{kLoopback, port};
    EXPECT_TRUE(client->Open(settings));
    return client;
}

// One bare TCP frame of this kind, as a peer of ours would send it.
void SendFrame(int fd, NetKind kind)
{
    uint8_t frame[kNetHeaderSize];
    NetHeader h;
    h.mKind = kind;
    WriteNetHeader(h, frame);
    send(fd, frame, sizeof(frame), MSG_NOSIGNAL);
}

std::vector<uint8_t> Numbered(uint32_t i)
{
    std::vector<uint8_t> bytes(4 + i % 200, uint8_t(i));
    std::memcpy(bytes.data(), &i, 4);
    return bytes;
}

// Sends count numbered payloads from the client and checks that the host receives each once, in
// order, with its bytes intact, within the limit.
void SendThrough(NetEndpoint& client, NetEndpoint& host, uint32_t count, double limitSeconds)
{
    std::vector<NetEvent> events;
    bool connected = false;
    ASSERT_TRUE(WaitUntil([&] { return connected; },
                          [&] {
                              client.TakeEvents(events);
                              for (const NetEvent& e : events)
                                  connected |= e.mType == NetEventType::Connected;
                          },
                          5.0));
    for (uint32_t i = 0; i < count; ++i)
        client.Send(0, Numbered(i));
    uint32_t next = 0;
    bool intact = true;
    ASSERT_TRUE(WaitUntil([&] { return next >= count || !intact; },
                          [&] {
                              host.TakeEvents(events);
                              for (const NetEvent& e : events)
                              {
                                  if (e.mType != NetEventType::Message)
                                      continue;
                                  intact &= e.mBytes == Numbered(next);
                                  ++next;
                              }
                          },
                          limitSeconds))
        << "arrived " << next << " of " << count;
    EXPECT_TRUE(intact);
    EXPECT_EQ(next, count);
}
} // namespace

TEST(NetEndpoint, UdpThroughALossyProxyDeliversOnceInOrder)
{
    auto host = OpenHost<NetUdpEndpoint>();
    LossyUdpProxy proxy(host->GetLocalAddress().mPort, 0.3, 0.1, 20'000, 2024);
    auto client = OpenClient<NetUdpEndpoint>(proxy.Port());
    SendThrough(*client, *host, 10000, 20.0);
    // Nothing the proxy did counts as hostile.
    for (size_t r = 0; r < size_t(NetDrop::Count); ++r)
        EXPECT_EQ(host->DropCount(NetDrop(r)), 0u) << NetDropText(NetDrop(r));
}

TEST(NetEndpoint, TcpThroughASplittingProxyChangesNothing)
{
    auto host = OpenHost<NetTcpEndpoint>();
    SplittingTcpProxy proxy(host->GetLocalAddress().mPort, 77);
    auto client = OpenClient<NetTcpEndpoint>(proxy.Port());
    SendThrough(*client, *host, 3000, 20.0);
}

// Empty frames are the ones built from no payload at all: they must keep the stream in step.
TEST(NetEndpoint, TcpEmptyMessagesArriveEmptyAndInOrder)
{
    auto host = OpenHost<NetTcpEndpoint>();
    auto client = OpenClient<NetTcpEndpoint>(host->GetLocalAddress().mPort);
    std::vector<NetEvent> events;
    bool connected = false;
    ASSERT_TRUE(WaitUntil([&] { return connected; },
                          [&] {
                              client->TakeEvents(events);
                              for (const NetEvent& e : events)
                                  connected |= e.mType == NetEventType::Connected;
                          },
                          5.0));
    const std::vector<std::vector<uint8_t>> sent = {{}, {1, 2, 3}, {}, {}, {4}};
    for (const std::vector<uint8_t>& bytes : sent)
        client->Send(0, bytes);
    std::vector<std::vector<uint8_t>> received;
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= sent.size(); },
                          [&] {
                              host->TakeEvents(events);
                              for (const NetEvent& e : events)
                                  if (e.mType == NetEventType::Message)
                                      received.push_back(e.mBytes);
                          },
                          5.0));
    EXPECT_EQ(received, sent);
}

TEST(NetEndpoint, OversizeTcpFrameClosesItsConnection)
{
    auto host = OpenHost<NetTcpEndpoint>();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(host->GetLocalAddress().mPort);
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof(to)), 0);
    SendFrame(fd, NetKind::Connect);
    uint8_t header[kNetHeaderSize];
    NetHeader h;
    h.mLength = uint16_t(kNetMaxPayload + 1);
    WriteNetHeader(h, header);
    ASSERT_EQ(send(fd, header, sizeof(header), MSG_NOSIGNAL), ssize_t(sizeof(header)));
    std::vector<NetEvent> events;
    bool joined = false, left = false;
    EXPECT_TRUE(WaitUntil([&] { return left; },
                          [&] {
                              host->TakeEvents(events);
                              for (const NetEvent& e : events)
                              {
                                  joined |= e.mType == NetEventType::Joined;
                                  left |= e.mType == NetEventType::Left;
                                  EXPECT_NE(e.mType, NetEventType::Message);
                              }
                          },
                          5.0));
    EXPECT_TRUE(joined);
    EXPECT_EQ(host->DropCount(NetDrop::Oversize), 1u);
    close(fd);
}

// A worker busy sending stops at once when its owner goes: Stop wakes it.
TEST(NetEndpoint, DestroyedMidSendStopsPromptly)
{
    for (int transport = 0; transport < 2; ++transport)
    {
        std::unique_ptr<NetEndpoint> host = transport ? OpenHost<NetTcpEndpoint>() : OpenHost<NetUdpEndpoint>();
        std::unique_ptr<NetEndpoint> client = transport ? OpenClient<NetTcpEndpoint>(host->GetLocalAddress().mPort)
                                                        : OpenClient<NetUdpEndpoint>(host->GetLocalAddress().mPort);
        std::vector<NetEvent> events;
        bool connected = false;
        ASSERT_TRUE(WaitUntil([&] { return connected; },
                              [&] {
                                  client->TakeEvents(events);
                                  for (const NetEvent& e : events)
                                      connected |= e.mType == NetEventType::Connected;
                              },
                              5.0));
        for (uint32_t i = 0; i < 2000; ++i)
            client->Send(0, Numbered(i));
        const double start = TestSeconds();
        client.reset();
        host.reset();
        EXPECT_LT(TestSeconds() - start, 2.0) << transport;
    }
}

// A main thread that falls behind stops the worker reading; the sender retransmits and nothing
// is lost or reordered once the queue drains.
TEST(NetEndpoint, FullReceiveQueueHoldsBackWithoutLoss)
{
    auto host = std::make_unique<NetUdpEndpoint>();
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Host;
    settings.mLocal = NetAddress{kLoopback, 0};
    settings.mMaxEvents = 16;
    ASSERT_TRUE(host->Open(settings));
    auto client = OpenClient<NetUdpEndpoint>(host->GetLocalAddress().mPort);
    std::vector<NetEvent> events;
    bool connected = false;
    ASSERT_TRUE(WaitUntil([&] { return connected; },
                          [&] {
                              client->TakeEvents(events);
                              for (const NetEvent& e : events)
                                  connected |= e.mType == NetEventType::Connected;
                          },
                          5.0));
    for (uint32_t i = 0; i < 200; ++i)
        client->Send(0, Numbered(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host->TakeEvents(events);
    EXPECT_LE(events.size(), 16u);
    uint32_t next = 0;
    bool intact = true;
    auto take = [&] {
        for (const NetEvent& e : events)
            if (e.mType == NetEventType::Message)
                intact &= e.mBytes == Numbered(next++);
    };
    take();
    EXPECT_TRUE(WaitUntil([&] { return next >= 200; },
                          [&] {
                              host->TakeEvents(events);
                              take();
                          },
                          10.0));
    EXPECT_TRUE(intact);
    EXPECT_EQ(next, 200u);
}

// Seven sockets that keep talking but never play (no connect frame, or nothing but heartbeats
// once joined) hold the host's seven slots only until their time-out; then a real player gets in.
TEST(NetEndpoint, IdleTcpPeersLoseTheirSlots)
{
    for (const bool join : {false, true})
    {
        SCOPED_TRACE(join ? "joined, then only heartbeats" : "never joins");
        auto host = std::make_unique<NetTcpEndpoint>();
        NetEndpoint::Settings settings;
        settings.mRole = NetEndpoint::Role::Host;
        settings.mLocal = NetAddress{kLoopback, 0};
        settings.mMaxPeers = 7;
        settings.mJoinTimeout = 300'000;
        settings.mIdleTimeout = 600'000;
        ASSERT_TRUE(host->Open(settings));
        const sockaddr_in to = Loopback(host->GetLocalAddress().mPort);
        std::vector<int> idle;
        for (int i = 0; i < 7; ++i)
        {
            idle.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            ASSERT_EQ(connect(idle.back(), reinterpret_cast<const sockaddr*>(&to), sizeof(to)), 0);
            if (join)
                SendFrame(idle.back(), NetKind::Connect);
        }
        size_t joined = 0, left = 0;
        double lastBeat = 0.0;
        std::vector<NetEvent> events;
        auto pump = [&] {
            if (TestSeconds() - lastBeat > 0.05)
            {
                for (int fd : idle)
                    SendFrame(fd, NetKind::Heartbeat);
                lastBeat = TestSeconds();
            }
            host->TakeEvents(events);
            for (const NetEvent& e : events)
            {
                joined += e.mType == NetEventType::Joined;
                left += e.mType == NetEventType::Left && e.mValue == 1;
            }
        };
        auto waitFor = [&](NetEndpoint& client, NetEventType type) {
            std::vector<NetEvent> heard;
            bool got = false;
            return WaitUntil([&] { return got; },
                             [&] {
                                 pump();
                                 client.TakeEvents(heard);
                                 for (const NetEvent& e : heard)
                                     got |= e.mType == type;
                             },
                             3.0);
        };
        if (join)
        {
            ASSERT_TRUE(WaitUntil([&] { return joined == 7; }, pump, 3.0));
            // Every slot is taken: a player is turned away while the idle ones last.
            auto early = OpenClient<NetTcpEndpoint>(host->GetLocalAddress().mPort);
            EXPECT_TRUE(waitFor(*early, NetEventType::Refused));
            EXPECT_TRUE(WaitUntil([&] { return left == 7; }, pump, 3.0)) << left;
        }
        else
        {
            EXPECT_TRUE(WaitUntil([&] { return host->DropCount(NetDrop::Join) == 7; }, pump, 3.0));
            EXPECT_EQ(joined, 0u);
        }
        // Every idle socket has been closed by the host.
        for (int fd : idle)
        {
            uint8_t bytes[256];
            ssize_t n = 1;
            EXPECT_TRUE(WaitUntil([&] { return n == 0 || (n < 0 && errno != EAGAIN); },
                                  [&] { n = recv(fd, bytes, sizeof(bytes), MSG_DONTWAIT); }, 3.0));
            close(fd);
        }
        idle.clear();
        auto player = OpenClient<NetTcpEndpoint>(host->GetLocalAddress().mPort);
        EXPECT_TRUE(waitFor(*player, NetEventType::Connected));
    }
}

// Discovery answers a source a few times a second, and only a request padded to the size of
// the answer: a forged source gets no flood and no amplification.
TEST(NetEndpoint, DiscoveryAnswersFewAndNeverMoreBytesThanAsked)
{
    NetUdpEndpoint responder;
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Responder;
    settings.mLocal = NetAddress{kLoopback, 0};
    settings.mGameName = std::string(kNetMaxName, 'n'); // the longest offer there is
    settings.mGamePort = 4321;
    settings.mOffersPerSecond = 3;
    ASSERT_TRUE(responder.Open(settings));
    const sockaddr_in to = Loopback(responder.GetLocalAddress().mPort);

    uint8_t bare[kNetHeaderSize];
    uint8_t padded[kNetHeaderSize + kNetDiscoverPadding] = {};
    NetHeader h;
    h.mKind = NetKind::Discover;
    WriteNetHeader(h, bare);
    h.mLength = uint16_t(kNetDiscoverPadding);
    WriteNetHeader(h, padded);

    struct Case
    {
        const char* mSource;
        int mBare, mPadded;
        size_t mAnswers;
    };
    const Case cases[] = {{"127.0.0.1", 10, 20, 3}, {"127.0.0.2", 0, 1, 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mSource);
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = Loopback(0);
        inet_pton(AF_INET, c.mSource, &local.sin_addr);
        ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)), 0);
        for (int i = 0; i < c.mBare; ++i)
            sendto(fd, bare, sizeof(bare), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
        for (int i = 0; i < c.mPadded; ++i)
            sendto(fd, padded, sizeof(padded), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
        size_t answers = 0;
        bool small = true;
        auto read = [&] {
            uint8_t reply[2048];
            ssize_t n;
            while ((n = recv(fd, reply, sizeof(reply), MSG_DONTWAIT)) > 0)
            {
                ++answers;
                small &= size_t(n) <= sizeof(padded);
            }
        };
        auto dropped = [&] { return responder.DropCount(NetDrop::Length) + responder.DropCount(NetDrop::Rate); };
        const uint64_t heard = dropped() + uint64_t(c.mBare + c.mPadded);
        ASSERT_TRUE(WaitUntil([&] { return dropped() + answers >= heard; }, read, 3.0));
        read();
        EXPECT_EQ(answers, c.mAnswers);
        EXPECT_TRUE(small);
        close(fd);
    }
    EXPECT_EQ(responder.DropCount(NetDrop::Length), 10u);
    EXPECT_EQ(responder.DropCount(NetDrop::Rate), 17u);
}

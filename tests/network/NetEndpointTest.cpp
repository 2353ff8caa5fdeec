#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
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

// Pumps the client's events until it reports its connection; false after five seconds.
bool WaitConnected(NetEndpoint& client)
{
    std::vector<NetEvent> events;
    bool connected = false;
    return WaitUntil([&] { return connected; },
                     [&] {
                         client.TakeEvents(events);
                         for (const NetEvent& e : events)
                             connected |= e.mType == NetEventType::Connected;
                     },
                     5.0);
}

// Sends count numbered payloads from the client and checks that the host receives each once, in
// order, with its bytes intact, within the limit.
void SendThrough(NetEndpoint& client, NetEndpoint& host, uint32_t count, double limitSeconds)
{
    ASSERT_TRUE(WaitConnected(client));
    std::vector<NetEvent> events;
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

// Joins through a lossy link, 25 seeds each at 10% and 30% loss (with duplicates and
// reordering), all at once: every client joins, the host counts each a player, and what each
// sends then arrives once, in order and whole. A lost accept costs a second, not the join
// time-out: at 10% loss every join is in well before the time-out passes. One seed also carries
// a long stream.
TEST(NetEndpoint, UdpThroughALossyProxyDeliversOnceInOrder)
{
    struct Link
    {
        double mLoss = 0.0;
        uint32_t mSeed = 0;
        uint32_t mMessages = 0;
        std::unique_ptr<NetEndpoint> mHost;
        std::unique_ptr<LossyUdpProxy> mProxy;
        std::unique_ptr<NetEndpoint> mClient;
        double mOpened = 0.0;
        double mJoinSeconds = -1.0;
        bool mJoined = false;
        bool mRefused = false;
        bool mIntact = true;
        uint32_t mArrived = 0;
    };
    std::vector<Link> links;
    for (const double loss : {0.1, 0.3})
        for (uint32_t seed = 1; seed <= 25; ++seed)
        {
            Link& link = links.emplace_back();
            link.mLoss = loss;
            link.mSeed = seed;
            link.mMessages = seed == 1 && loss > 0.2 ? 5000u : 100u;
        }
    for (Link& link : links)
    {
        link.mHost = OpenHost<NetUdpEndpoint>();
        link.mProxy =
            std::make_unique<LossyUdpProxy>(link.mHost->GetLocalAddress().mPort, link.mLoss, 0.1, 20'000, link.mSeed);
        link.mOpened = TestSeconds();
        link.mClient = OpenClient<NetUdpEndpoint>(link.mProxy->Port());
    }
    std::vector<NetEvent> events;
    auto pump = [&] {
        for (Link& link : links)
        {
            link.mClient->TakeEvents(events);
            for (const NetEvent& e : events)
            {
                link.mRefused |= e.mType == NetEventType::Refused || e.mType == NetEventType::Disconnected;
                if (e.mType != NetEventType::Connected)
                    continue;
                link.mJoinSeconds = TestSeconds() - link.mOpened;
                for (uint32_t i = 0; i < link.mMessages; ++i)
                    link.mClient->Send(0, Numbered(i));
            }
            link.mHost->TakeEvents(events);
            for (const NetEvent& e : events)
            {
                link.mJoined |= e.mType == NetEventType::Joined;
                if (e.mType != NetEventType::Message)
                    continue;
                link.mIntact &= e.mBytes == Numbered(link.mArrived);
                ++link.mArrived;
            }
        }
    };
    auto settled = [&](const Link& link) { return link.mRefused || (link.mJoined && link.mArrived >= link.mMessages); };
    WaitUntil([&] { return std::all_of(links.begin(), links.end(), settled); }, pump, 20.0);
    for (const Link& link : links)
    {
        SCOPED_TRACE(std::to_string(int(link.mLoss * 100)) + "% loss, seed " + std::to_string(link.mSeed));
        EXPECT_FALSE(link.mRefused) << "gave up joining";
        EXPECT_GE(link.mJoinSeconds, 0.0) << "never joined";
        EXPECT_TRUE(link.mJoined) << "the host never counted it a player";
        if (link.mLoss < 0.2)
        {
            EXPECT_LT(link.mJoinSeconds, 3.0) << "waited out the join time-out";
        }
        EXPECT_TRUE(link.mIntact);
        EXPECT_EQ(link.mArrived, link.mMessages);
        // Nothing the proxy did counts as hostile; a place whose every accept was lost may
        // have run out and been given again.
        for (size_t r = 0; r < size_t(NetDrop::Count); ++r)
        {
            const NetDrop reason = NetDrop(r);
            EXPECT_TRUE(reason == NetDrop::Join || link.mHost->DropCount(reason) == 0u) << NetDropText(reason);
        }
    }
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
    ASSERT_TRUE(WaitConnected(*client));
    std::vector<NetEvent> events;
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
        ASSERT_TRUE(WaitConnected(*client));
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
    ASSERT_TRUE(WaitConnected(*client));
    std::vector<NetEvent> events;
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

namespace {
constexpr uint32_t kOtherLoopback = 0x7F000002;

std::unique_ptr<NetEndpoint> MakeEndpoint(bool udp)
{
    if (udp)
        return std::make_unique<NetUdpEndpoint>();
    return std::make_unique<NetTcpEndpoint>();
}

std::unique_ptr<NetEndpoint> OpenGuardedHost(bool udp, uint32_t maxPeers)
{
    std::unique_ptr<NetEndpoint> host = MakeEndpoint(udp);
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Host;
    settings.mLocal = NetAddress{kLoopback, 0};
    settings.mMaxPeers = maxPeers;
    settings.mJoinTimeout = 300'000;
    settings.mIdleTimeout = 600'000;
    EXPECT_TRUE(host->Open(settings));
    return host;
}

// A real client from the given address; true when it got the answer it waited for.
bool ClientHears(bool udp, uint16_t port, uint32_t from, NetEventType wanted, const std::function<void()>& pump)
{
    std::unique_ptr<NetEndpoint> client = MakeEndpoint(udp);
    NetEndpoint::Settings settings;
    settings.mRole = NetEndpoint::Role::Client;
    settings.mLocal = NetAddress{from, 0};
    settings.mRemote = NetAddress{kLoopback, port};
    if (!client->Open(settings))
        return false;
    std::vector<NetEvent> heard;
    bool got = false;
    return WaitUntil([&] { return got; },
                     [&] {
                         pump();
                         client->TakeEvents(heard);
                         for (const NetEvent& e : heard)
                             got |= e.mType == wanted;
                     },
                     3.0);
}
} // namespace

// Seven peers that keep talking but never play hold the host's seven slots only until their
// time-out: those that never join, those that send nothing but heartbeats and those whose data
// never decodes. While they hold the slots a player is turned away; after, one gets in.
TEST(NetEndpoint, IdlePeersLoseTheirSlotsAndAPlayerGetsIn)
{
    enum class Idle
    {
        NeverJoins,
        Heartbeats,
        Babbles,
    };
    struct Case
    {
        bool mUdp;
        Idle mIdle;
        const char* mName;
    };
    const Case cases[] = {
        {false, Idle::NeverJoins, "TCP, never joins"},        {false, Idle::Heartbeats, "TCP, only heartbeats"},
        {false, Idle::Babbles, "TCP, malformed 4-byte data"}, {true, Idle::NeverJoins, "UDP, never answers its accept"},
        {true, Idle::Heartbeats, "UDP, only heartbeats"},     {true, Idle::Babbles, "UDP, malformed 4-byte data"},
    };
    const std::vector<uint8_t> garbage = {0xFF, 0xFF, 0xFF, 0xFF};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        auto host = OpenGuardedHost(c.mUdp, 7);
        const uint16_t port = host->GetLocalAddress().mPort;
        std::vector<std::unique_ptr<RawPeer>> idle;
        for (uint32_t i = 0; i < 7; ++i)
        {
            // Each from its own address: only the idle limits are at work here.
            idle.push_back(std::make_unique<RawPeer>(c.mUdp, port, 0x7F00000A + i));
            if (c.mUdp || c.mIdle != Idle::NeverJoins)
                idle.back()->Send(NetKind::Connect);
        }
        size_t joined = 0, left = 0;
        double lastBeat = 0.0;
        std::vector<NetEvent> events;
        auto pump = [&] {
            const bool beat = TestSeconds() - lastBeat > 0.05;
            for (auto& peer : idle)
            {
                peer->Read();
                // A UDP peer that never answers sends nothing after its connect.
                if (!beat || (c.mUdp && (c.mIdle == Idle::NeverJoins || peer->Token() == 0)))
                    continue;
                peer->Send(NetKind::Heartbeat);
                if (c.mIdle == Idle::Babbles)
                    peer->Send(NetKind::Data, garbage);
            }
            lastBeat = beat ? TestSeconds() : lastBeat;
            host->TakeEvents(events);
            for (const NetEvent& e : events)
            {
                joined += e.mType == NetEventType::Joined;
                left += e.mType == NetEventType::Left && e.mValue == 1;
            }
        };
        if (c.mIdle == Idle::NeverJoins)
        {
            EXPECT_TRUE(WaitUntil([&] { return host->DropCount(NetDrop::Join) == 7; }, pump, 3.0));
            EXPECT_EQ(joined, 0u);
        }
        else
        {
            ASSERT_TRUE(WaitUntil([&] { return joined == 7; }, pump, 3.0));
            EXPECT_TRUE(ClientHears(c.mUdp, port, kOtherLoopback, NetEventType::Refused, pump))
                << "every slot is taken while the idle peers last";
            EXPECT_TRUE(WaitUntil([&] { return left == 7; }, pump, 3.0)) << left;
            // The host let go of each of them and told it so.
            for (auto& peer : idle)
                EXPECT_TRUE(WaitUntil([&] { return !peer->Read(); }, nullptr, 3.0));
        }
        EXPECT_TRUE(ClientHears(c.mUdp, port, kOtherLoopback, NetEventType::Connected, pump));
    }
}

// Seventy connections from one address that never join, opened again as soon as they go, do
// not keep a player from another address out; a UDP source that never answers gets one reply.
TEST(NetEndpoint, OneAddressCannotCrowdOutAPlayer)
{
    for (const bool udp : {false, true})
    {
        SCOPED_TRACE(udp ? "UDP" : "TCP");
        auto host = OpenGuardedHost(udp, 7);
        const uint16_t port = host->GetLocalAddress().mPort;
        std::vector<std::unique_ptr<RawPeer>> crowd;
        crowd.reserve(70);
        for (int i = 0; i < 70; ++i)
            crowd.push_back(std::make_unique<RawPeer>(udp, port, kLoopback));
        std::vector<NetEvent> events;
        size_t joined = 0;
        double lastRound = 0.0;
        auto pump = [&] {
            host->TakeEvents(events);
            for (const NetEvent& e : events)
                joined += e.mType == NetEventType::Joined;
            if (TestSeconds() - lastRound < 0.01)
                return;
            lastRound = TestSeconds();
            for (auto& peer : crowd)
            {
                if (udp)
                {
                    // Asks again and again and never answers.
                    peer->Read();
                    peer->Send(NetKind::Connect);
                }
                else if (!peer->Read())
                {
                    peer = std::make_unique<RawPeer>(udp, port, kLoopback);
                }
            }
        };
        for (int attempt = 0; attempt < 5; ++attempt)
            EXPECT_TRUE(ClientHears(udp, port, kOtherLoopback, NetEventType::Connected, pump)) << attempt;
        EXPECT_GT(host->DropCount(NetDrop::Crowd), 0u);
        EXPECT_TRUE(WaitUntil([&] { return joined >= 5; }, pump, 3.0));
        EXPECT_EQ(joined, 5u) << "only the players joined";
    }

    // One connect from a source that never answers: one accept, then silence until it is dropped.
    auto host = OpenGuardedHost(true, 7);
    RawPeer silent(true, host->GetLocalAddress().mPort, kOtherLoopback);
    silent.Send(NetKind::Connect);
    EXPECT_TRUE(WaitUntil([&] { return host->DropCount(NetDrop::Join) == 1; }, nullptr, 3.0));
    silent.Read();
    EXPECT_EQ(silent.Replies(), 1u);
    EXPECT_NE(silent.Token(), 0u);
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
        auto dropped = [&] { return responder.DropCount(NetDrop::Length) + responder.DropCount(NetDrop::Rate); };
        // Counted before sending: the responder may be done with some before the sends return.
        const uint64_t heard = dropped() + uint64_t(c.mBare + c.mPadded);
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
        ASSERT_TRUE(WaitUntil([&] { return dropped() + answers >= heard; }, read, 3.0));
        read();
        EXPECT_EQ(answers, c.mAnswers);
        EXPECT_TRUE(small);
        close(fd);
    }
    EXPECT_EQ(responder.DropCount(NetDrop::Length), 10u);
    EXPECT_EQ(responder.DropCount(NetDrop::Rate), 17u);
}

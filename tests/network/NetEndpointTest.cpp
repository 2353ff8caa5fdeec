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

TEST(NetEndpoint, OversizeTcpFrameClosesItsConnection)
{
    auto host = OpenHost<NetTcpEndpoint>();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(host->GetLocalAddress().mPort);
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof(to)), 0);
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
        std::unique_ptr<NetEndpoint> host =
            transport ? OpenHost<NetTcpEndpoint>() : OpenHost<NetUdpEndpoint>();
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

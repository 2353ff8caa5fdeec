// The reliable channel on loopback (worker threads, acks, ordering) against raw sendto/recvfrom of
// the same payloads: messages per second and median round trip. The last entry reports the ratios.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/BenchSeconds.h"
#include "network/NetEndpoint.h"
#include "network/NetTcpEndpoint.h"
#include "network/NetUdpEndpoint.h"

namespace {
constexpr uint32_t kLoopback = 0x7F000001;
constexpr size_t kPayload = 64;
constexpr int kBatch = 1000;

double gReliableRate = 0, gRawRate = 0, gReliableRtt = 0, gRawRtt = 0;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Pair
{
    std::unique_ptr<NetEndpoint> mHost = std::make_unique<NetUdpEndpoint>();
    std::unique_ptr<NetEndpoint> mClient = std::make_unique<NetUdpEndpoint>();
    std::vector<NetEvent> mEvents;

    Pair()
    {
        NetEndpoint::Settings host;
        host.mRole = NetEndpoint::Role::Host;
        host.mLocal = NetAddress{kLoopback, 0};
        mHost->Open(host);
        NetEndpoint::Settings client;
        client.mLocal = NetAddress{kLoopback, 0};
        client.mRemote = mHost->GetLocalAddress();
        mClient->Open(client);
        WaitFor(*mClient, NetEventType::Connected, 1);
    }
    // Spins until count events of the type came in.
    void WaitFor(NetEndpoint& at, NetEventType type, int count)
    {
        int seen = 0;
        const double end = Now() + 5.0;
        while (seen < count && Now() < end)
        {
            at.TakeEvents(mEvents);
            for (const NetEvent& e : mEvents)
                seen += e.mType == type;
        }
    }
};

struct RawPair
{
    int mA = socket(AF_INET, SOCK_DGRAM, 0);
    int mB = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in mToA{}, mToB{};

    RawPair()
    {
        const int buffer = 1 << 20;
        for (int fd : {mA, mB})
        {
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_addr.s_addr = htonl(kLoopback);
            bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
        }
        socklen_t length = sizeof(mToA);
        getsockname(mA, reinterpret_cast<sockaddr*>(&mToA), &length);
        length = sizeof(mToB);
        getsockname(mB, reinterpret_cast<sockaddr*>(&mToB), &length);
    }
    ~RawPair()
    {
        close(mA);
        close(mB);
    }
};

void ReliableThroughput(benchmark::State& state)
{
    Pair pair;
    const std::vector<uint8_t> payload(kPayload, 7);
    const double start = Now();
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            pair.mClient->Send(0, payload);
        pair.WaitFor(*pair.mHost, NetEventType::Message, kBatch);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["msg/s"] = benchmark::Counter(double(state.iterations() * kBatch), benchmark::Counter::kIsRate);
    gReliableRate = double(state.iterations() * kBatch) / (Now() - start);
}

void RawThroughput(benchmark::State& state)
{
    RawPair raw;
    uint8_t bytes[kNetMaxDatagram] = {};
    const size_t size = kPayload + kNetHeaderSize;
    const double start = Now();
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            sendto(raw.mA, bytes, size, 0, reinterpret_cast<sockaddr*>(&raw.mToB), sizeof(raw.mToB));
        for (int i = 0; i < kBatch; ++i)
            recv(raw.mB, bytes, sizeof(bytes), 0);
    }
    state.counters["msg/s"] = benchmark::Counter(double(state.iterations() * kBatch), benchmark::Counter::kIsRate);
    gRawRate = double(state.iterations() * kBatch) / (Now() - start);
}

double Median(std::vector<double>& samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : samples[samples.size() / 2];
}

void ReliableRoundTrip(benchmark::State& state)
{
    Pair pair;
    const std::vector<uint8_t> payload(kPayload, 7);
    std::vector<double> samples;
    for (auto _ : state)
    {
        const double start = Now();
        pair.mClient->Send(0, payload);
        pair.WaitFor(*pair.mHost, NetEventType::Message, 1);
        pair.mHost->Send(NetEndpoint::kAllPeers, payload);
        pair.WaitFor(*pair.mClient, NetEventType::Message, 1);
        samples.push_back(Now() - start);
    }
    gReliableRtt = Median(samples);
    state.counters["median_us"] = gReliableRtt * 1e6;
}

void RawRoundTrip(benchmark::State& state)
{
    RawPair raw;
    uint8_t bytes[kNetMaxDatagram] = {};
    const size_t size = kPayload + kNetHeaderSize;
    std::vector<double> samples;
    for (auto _ : state)
    {
        const double start = Now();
        sendto(raw.mA, bytes, size, 0, reinterpret_cast<sockaddr*>(&raw.mToB), sizeof(raw.mToB));
        recv(raw.mB, bytes, sizeof(bytes), 0);
        sendto(raw.mB, bytes, size, 0, reinterpret_cast<sockaddr*>(&raw.mToA), sizeof(raw.mToA));
        recv(raw.mA, bytes, sizeof(bytes), 0);
        samples.push_back(Now() - start);
    }
    gRawRtt = Median(samples);
    state.counters["median_us"] = gRawRtt * 1e6;
}

// Runs last: reliable against raw, from the figures above (rates are per wall second of each run).
void Ratios(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(gRawRate);
    state.counters["rate_reliable/raw"] = gRawRate > 0 ? gReliableRate / gRawRate : 0.0;
    state.counters["rtt_reliable/raw"] = gRawRtt > 0 ? gReliableRtt / gRawRtt : 0.0;
}
} // namespace

BENCHMARK(ReliableThroughput)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(BenchSeconds(1.0));
BENCHMARK(RawThroughput)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(BenchSeconds(1.0));
BENCHMARK(ReliableRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(RawRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Ratios)->Iterations(1);

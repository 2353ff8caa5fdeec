#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "network/NetChannel.h"

namespace {
// Two channels joined by a simulated link that drops, duplicates and delays datagrams.
struct Link
{
    struct InFlight
    {
        uint64_t mArrives;
        bool mToB;
        std::vector<uint8_t> mBytes;
    };

    NetChannel mA, mB;
    std::mt19937 mRandom{42};
    double mDrop = 0.0, mDuplicate = 0.0;
    uint64_t mMaxDelay = 0, mBaseDelay = 1000;
    std::multimap<uint64_t, InFlight> mWire;
    uint64_t mNow = 1;
    std::vector<uint32_t> mDelivered;
    int mDrops = 0;

    void Put(bool toB, const uint8_t* bytes, size_t size)
    {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        if (chance(mRandom) < mDrop)
            return;
        const int copies = chance(mRandom) < mDuplicate ? 2 : 1;
        for (int i = 0; i < copies; ++i)
        {
            const uint64_t at = mNow + mBaseDelay + (mMaxDelay ? mRandom() % mMaxDelay : 0);
            mWire.emplace(at, InFlight{at, toB, std::vector<uint8_t>(bytes, bytes + size)});
        }
    }
    void Step(uint64_t micros)
    {
        mNow += micros;
        while (!mWire.empty() && mWire.begin()->first <= mNow)
        {
            InFlight packet = std::move(mWire.begin()->second);
            mWire.erase(mWire.begin());
            NetHeader header;
            NetDrop reason;
            ASSERT_TRUE(ReadNetHeader(packet.mBytes.data(), packet.mBytes.size(), true, header, reason));
            NetChannel& to = packet.mToB ? mB : mA;
            const bool ok = to.Receive(
                header, packet.mBytes.data() + kNetHeaderSize, mNow,
                [&](const uint8_t* payload, size_t size) {
                    ASSERT_EQ(size, 4u);
                    uint32_t value;
                    std::memcpy(&value, payload, 4);
                    mDelivered.push_back(value);
                },
                reason);
            mDrops += ok ? 0 : 1;
        }
        mA.Pump(mNow, [&](const uint8_t* b, size_t s) { Put(true, b, s); });
        mB.Pump(mNow, [&](const uint8_t* b, size_t s) { Put(false, b, s); });
    }
};
} // namespace

TEST(NetChannel, LossyLinkDeliversEveryMessageOnceInOrder)
{
    struct Case
    {
        const char* mName;
        uint32_t mFirstSequence;
    };
    // The second starts just short of the wrap of the sequence numbers.
    for (const Case& c : {Case{"from one", 1u}, Case{"across the wrap", 0xFFFFF000u}})
    {
        Link link;
        link.mDrop = 0.3;
        link.mDuplicate = 0.1;
        link.mMaxDelay = 20'000;
        link.mA.Reset(7, link.mNow, c.mFirstSequence);
        link.mB.Reset(7, link.mNow, c.mFirstSequence);
        const uint32_t count = 10000;
        for (uint32_t i = 0; i < count; ++i)
            link.mA.Queue(reinterpret_cast<const uint8_t*>(&i), 4);
        // More than the window waits its turn rather than being dropped.
        EXPECT_EQ(link.mA.Queued(), size_t(count));
        link.Step(1);
        EXPECT_EQ(link.mA.InFlight(), size_t(NetChannel::kWindow));
        for (int step = 0; step < 400000 && link.mDelivered.size() < count; ++step)
            link.Step(500);
        ASSERT_EQ(link.mDelivered.size(), size_t(count)) << c.mName;
        for (uint32_t i = 0; i < count; ++i)
            ASSERT_EQ(link.mDelivered[i], i) << c.mName;
        // Simulated time: the protocol, not the machine, decides this.
        EXPECT_LT(link.mNow, 20'000'000u) << c.mName;
        EXPECT_EQ(link.mDrops, 0) << c.mName;
        EXPECT_FALSE(link.mA.IsLost(link.mNow)) << c.mName;
        // Let the last acks through: nothing stays in flight.
        for (int step = 0; step < 2000 && link.mA.InFlight() > 0; ++step)
            link.Step(500);
        EXPECT_EQ(link.mA.InFlight(), 0u) << c.mName;
    }
}

TEST(NetChannel, RetransmitTimeoutFollowsTheRoundTrip)
{
    Link link;
    link.mBaseDelay = 40'000; // 80 ms round trip
    link.mA.Reset(1, link.mNow);
    link.mB.Reset(1, link.mNow);
    for (uint32_t i = 0; i < 50; ++i)
    {
        link.mA.Queue(reinterpret_cast<const uint8_t*>(&i), 4);
        for (int s = 0; s < 100; ++s)
            link.Step(1000);
    }
    ASSERT_EQ(link.mDelivered.size(), 50u);
    // Round trip plus the ack delay, with little variance: well above the floor, below the ceiling.
    EXPECT_GT(link.mA.GetRto(), 80'000u);
    EXPECT_LT(link.mA.GetRto(), 200'000u);
}

TEST(NetChannel, OutOfWindowAndBogusAcksAreDropped)
{
    NetChannel channel;
    channel.Reset(9, 100);
    NetHeader header;
    header.mToken = 9;
    header.mKind = NetKind::Data;
    header.mSequence = 1 + NetChannel::kWindow;
    NetDrop reason = NetDrop::Count;
    int delivered = 0;
    auto deliver = [&](const uint8_t*, size_t) { ++delivered; };
    EXPECT_FALSE(channel.Receive(header, nullptr, 200, deliver, reason));
    EXPECT_EQ(reason, NetDrop::Window);
    header.mSequence = 1;
    header.mAck = 5; // nothing was sent yet
    EXPECT_FALSE(channel.Receive(header, nullptr, 200, deliver, reason));
    EXPECT_EQ(reason, NetDrop::Window);
    header.mAck = 0;
    EXPECT_TRUE(channel.Receive(header, nullptr, 200, deliver, reason));
    EXPECT_TRUE(channel.Receive(header, nullptr, 300, deliver, reason)); // a duplicate: acked, not delivered
    EXPECT_EQ(delivered, 1);
}

TEST(NetChannel, SilenceLosesTheConnection)
{
    NetChannel channel;
    channel.SetLossTimeout(1'000'000);
    channel.Reset(3, 0);
    EXPECT_FALSE(channel.IsLost(900'000));
    EXPECT_TRUE(channel.IsLost(1'100'000));
}

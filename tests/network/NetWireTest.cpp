#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/ParamBuffer.h"
#include "network/NetWire.h"

namespace {
std::vector<uint8_t> Encode(const ParamBuffer& params, const std::string& message = "Game",
                            const std::string& function = "Shout")
{
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeNetMessage(message, function, params, out, error)) << error;
    return out;
}
} // namespace

TEST(NetWire, HeaderIsTheGoldenBytes)
{
    NetHeader header;
    header.mKind = NetKind::Offer;
    header.mToken = 0x11223344;
    header.mSequence = 0x55667788;
    header.mAck = 0x99AABBCC;
    header.mAckBits = 0xDDEEFF00;
    header.mLength = 0x0102;
    uint8_t bytes[kNetHeaderSize];
    WriteNetHeader(header, bytes);
    const uint8_t golden[kNetHeaderSize] = {0x4C, 0x4D, 0x01, 0x08, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66,
                                            0x55, 0xCC, 0xBB, 0xAA, 0x99, 0x00, 0xFF, 0xEE, 0xDD, 0x02, 0x01};
    EXPECT_EQ(0, std::memcmp(bytes, golden, kNetHeaderSize));

    std::vector<uint8_t> datagram(golden, golden + kNetHeaderSize);
    datagram.resize(kNetHeaderSize + 0x0102);
    NetHeader back;
    NetDrop reason;
    ASSERT_TRUE(ReadNetHeader(datagram.data(), datagram.size(), true, back, reason));
    EXPECT_EQ(back.mKind, NetKind::Offer);
    EXPECT_EQ(back.mToken, 0x11223344u);
    EXPECT_EQ(back.mSequence, 0x55667788u);
    EXPECT_EQ(back.mAck, 0x99AABBCCu);
    EXPECT_EQ(back.mAckBits, 0xDDEEFF00u);
    EXPECT_EQ(back.mLength, 0x0102);
}

TEST(NetWire, HostileHeadersAreRefusedWithTheirReason)
{
    NetHeader good;
    good.mLength = 3;
    std::vector<uint8_t> base(kNetHeaderSize + 3);
    WriteNetHeader(good, base.data());
    struct Case
    {
        const char* mName;
        size_t mSize;
        size_t mOffset;
        uint8_t mValue;
        NetDrop mReason;
    };
    const Case cases[] = {
        {"empty", 0, 0, 0, NetDrop::Short},
        {"one short of a header", kNetHeaderSize - 1, 0, 0, NetDrop::Short},
        {"tag", base.size(), 0, 0x4D, NetDrop::Tag},
        {"version", base.size(), 2, 2, NetDrop::Version},
        {"kind", base.size(), 3, kNetKindCount, NetDrop::Kind},
        {"payload shorter than said", base.size() - 1, 0, 0x4C, NetDrop::Length},
        {"length over the maximum", base.size(), 21, 0xFF, NetDrop::Oversize},
    };
    for (const Case& c : cases)
    {
        std::vector<uint8_t> bytes = base;
        bytes[c.mOffset] = c.mValue;
        NetHeader header;
        NetDrop reason = NetDrop::Count;
        EXPECT_FALSE(ReadNetHeader(bytes.data(), c.mSize, true, header, reason)) << c.mName;
        EXPECT_EQ(reason, c.mReason) << c.mName;
    }
    std::vector<uint8_t> longer = base;
    longer.push_back(0);
    NetHeader header;
    NetDrop reason;
    EXPECT_FALSE(ReadNetHeader(longer.data(), longer.size(), true, header, reason));
    EXPECT_EQ(reason, NetDrop::Length);
    // A stream frame may be followed by more bytes.
    EXPECT_TRUE(ReadNetHeader(longer.data(), longer.size(), false, header, reason));
}

TEST(NetWire, EveryParameterTypeRoundTrips)
{
    DamageInfo damage;
    damage.mAmount = -2.5f;
    damage.mType = 4;
    uint32_t collision[9];
    for (uint32_t i = 0; i < 9; ++i)
        collision[i] = 0xA0000000u + i;
    const std::string longest(127, 'z');

    std::vector<ParamBuffer> sets;
    auto add = [&](auto fill) {
        sets.emplace_back();
        fill(sets.back());
    };
    add([](ParamBuffer& p) {
        p.PushUInt(0xFFFFFFFEu);
        p.PushInt(-7);
        p.PushFloat(1.25f);
        p.PushDouble(-3.0e300);
    });
    add([](ParamBuffer& p) {
        p.PushBool(true);
        p.PushBool(false);
        p.PushString("");
        p.PushString("hello");
    });
    add([&](ParamBuffer& p) {
        p.PushStdString(longest);
        p.PushStdString(longest);
        p.PushStdString(longest);
        p.PushStdString(longest);
    });
    add([](ParamBuffer& p) {
        p.PushVector(Vector3(1, -2, 3.5f));
        p.PushQuat(Quat(0.5f, 0.5f, -0.5f, 0.5f));
        p.PushColor(Color(0.1f, 0.2f, 0.3f, 0.4f));
    });
    add([&](ParamBuffer& p) {
        ParamTraits<DamageInfo>::Push(p, damage);
        p.PushRecord(215, collision, sizeof(collision));
    });
    add([](ParamBuffer&) {});

    for (size_t i = 0; i < sets.size(); ++i)
    {
        const ParamBuffer& sent = sets[i];
        const std::vector<uint8_t> bytes = Encode(sent);
        EXPECT_LE(bytes.size(), kNetMaxPayload);
        NetMessage got;
        const char* error = nullptr;
        ASSERT_TRUE(DecodeNetMessage(bytes.data(), bytes.size(), got, error)) << i << ": " << error;
        EXPECT_EQ(got.mMessage, "Game");
        EXPECT_EQ(got.mFunction, "Shout");
        ASSERT_EQ(got.mParams.GetCount(), sent.GetCount()) << i;
        EXPECT_EQ(got.mParams.GetSignature(), sent.GetSignature()) << i;
        EXPECT_EQ(got.mParams.GetOffset(), 0u);
        // Same bytes in the block up to what was pushed (strings compare through their slot).
        EXPECT_EQ(0, std::memcmp(got.mParams.GetBlock()->mData, sent.GetBlock()->mData, ParamBlock::kDataSize)) << i;
    }
}

TEST(NetWire, UnsendableMessagesAreRefused)
{
    std::vector<uint8_t> out;
    std::string error;
    ParamBuffer cog;
    cog.PushCog(nullptr);
    EXPECT_FALSE(EncodeNetMessage("Game", "F", cog, out, error));
    EXPECT_NE(error.find("cog"), std::string::npos);
    ParamBuffer none;
    EXPECT_FALSE(EncodeNetMessage(std::string(128, 'm'), "F", none, out, error));
    EXPECT_FALSE(EncodeNetMessage("Game", std::string(128, 'f'), none, out, error));
    ParamBuffer config;
    const uint8_t bytes[24] = {};
    config.PushRecord(200, bytes, sizeof(bytes));
    EXPECT_FALSE(EncodeNetMessage("Game", "F", config, out, error));
}

TEST(NetWire, MalformedPayloadsAreRefused)
{
    ParamBuffer params;
    params.PushString("abc");
    params.PushBool(true);
    const std::vector<uint8_t> good = Encode(params, "M", "F");
    // "M" "F" count, 'j' 3 "abc", 'i' 1
    ASSERT_EQ(good.size(), 2u + 2u + 1u + 5u + 2u);
    struct Case
    {
        const char* mName;
        std::vector<uint8_t> mBytes;
    };
    auto with = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> b = good;
        b[at] = value;
        return b;
    };
    const Case cases[] = {
        {"empty", {}},
        {"name longer than the rest", with(0, 200)},
        {"name over 127", with(0, 128)},
        {"five parameters", with(4, 5)},
        {"count past the end", with(4, 3)},
        {"cog code", with(5, ParamCog)},
        {"unknown code", with(5, 99)},
        {"string runs past the end", with(6, 10)},
        {"bool not 0 or 1", with(11, 2)},
        {"trailing byte",
         [&] {
             auto b = good;
             b.push_back(0);
             return b;
         }()},
        {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"zero inside a string", with(7, 0)},
    };
    for (const Case& c : cases)
    {
        NetMessage got;
        const char* error = nullptr;
        EXPECT_FALSE(DecodeNetMessage(c.mBytes.data(), c.mBytes.size(), got, error)) << c.mName;
        EXPECT_NE(error, nullptr) << c.mName;
    }
}

// Seeded mutations of real datagrams: nothing read outside the buffer (ASan), and whatever the
// decoder accepts encodes back to the same bytes.
TEST(NetWire, MutatedDatagramsNeverCrashTheReader)
{
    std::mt19937 random(1234);
    ParamBuffer params;
    params.PushString("payload");
    params.PushVector(Vector3(1, 2, 3));
    params.PushDouble(4.0);
    params.PushUInt(5);
    const std::vector<uint8_t> payload = Encode(params);
    std::vector<uint8_t> seed(kNetHeaderSize + payload.size());
    NetHeader header;
    header.mLength = uint16_t(payload.size());
    WriteNetHeader(header, seed.data());
    std::memcpy(seed.data() + kNetHeaderSize, payload.data(), payload.size());

    int accepted = 0;
    NetMessage got;
    std::vector<uint8_t> again;
    for (int round = 0; round < 100000; ++round)
    {
        std::vector<uint8_t> bytes = seed;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; ++e)
        {
            switch (random() % 3)
            {
            case 0:
                bytes[random() % bytes.size()] = uint8_t(random());
                break;
            case 1:
                bytes.resize(random() % (bytes.size() + 1));
                break;
            default:
                bytes.insert(bytes.begin() + ptrdiff_t(random() % (bytes.size() + 1)), uint8_t(random()));
                break;
            }
            if (bytes.empty())
                bytes.push_back(0);
        }
        NetHeader h;
        NetDrop reason;
        if (!ReadNetHeader(bytes.data(), bytes.size(), true, h, reason))
            continue;
        const char* error = nullptr;
        if (!DecodeNetMessage(bytes.data() + kNetHeaderSize, h.mLength, got, error))
            continue;
        ++accepted;
        std::string why;
        ASSERT_TRUE(EncodeNetMessage(got.mMessage, got.mFunction, got.mParams, again, why)) << why;
        ASSERT_EQ(again.size(), h.mLength);
        ASSERT_EQ(0, std::memcmp(again.data(), bytes.data() + kNetHeaderSize, h.mLength));
    }
    EXPECT_GT(accepted, 0);
}

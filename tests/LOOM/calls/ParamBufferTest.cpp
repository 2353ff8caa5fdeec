#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "tests/LOOM/support/ConsoleTestSupport.h"

namespace {

// Every block on the free list, taken off it; fails the test on a repeated block.
std::set<ParamBlock*> DrainPool(std::vector<ParamBuffer>& holders)
{
    std::set<ParamBlock*> blocks;
    const size_t free = ParamBuffer::FreeCount();
    for (size_t i = 0; i < free; ++i)
    {
        holders.emplace_back();
        EXPECT_TRUE(blocks.insert(holders.back().GetBlock()).second) << "block handed out twice";
    }
    return blocks;
}

void Nest(int depth, std::set<ParamBlock*>& seen)
{
    if (depth == 0)
        return;
    ParamBuffer params;
    params.PushInt(depth);
    EXPECT_TRUE(seen.insert(params.GetBlock()).second);
    Nest(depth - 1, seen);
    ParamBuffer check = std::move(params);
    check.Rewind();
    EXPECT_EQ(ParamTraits<int32_t>::Pop(check), depth);
}
} // namespace

TEST(ParamBuffer, StringPushFillsOneSlot)
{
    ParamBuffer params;
    ASSERT_TRUE(params.PushString("abc"));
    EXPECT_EQ(params.GetOffset(), 128u);
    EXPECT_EQ(params.GetCount(), 1u);
    EXPECT_EQ(params.GetSignature() & 0xFF, 0x6Au);
    params.Rewind();
    std::string text;
    params.PopString(text);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(params.GetOffset(), 128u);
}

TEST(ParamBuffer, UIntThenFloatSignatureAndWidth)
{
    ParamBuffer params;
    params.PushUInt(7);
    params.PushFloat(1.5f);
    EXPECT_EQ(params.GetTag(0), 0x64);
    EXPECT_EQ(params.GetTag(1), 0x66);
    EXPECT_EQ(params.GetTag(2), 0);
    EXPECT_EQ(params.GetTag(3), 0);
    EXPECT_EQ(params.GetSignature(), 0x6664u);
    EXPECT_EQ(params.GetOffset(), 8u);
}

TEST(ParamBuffer, WidthsOfEveryType)
{
    struct Case
    {
        const char* mName;
        bool (*mPush)(ParamBuffer&);
        uint8_t mCode;
        size_t mWidth;
    };
    const Case cases[] = {
        {"uint", [](ParamBuffer& p) { return p.PushUInt(1); }, 'd', 4},
        {"int", [](ParamBuffer& p) { return p.PushInt(-1); }, 'e', 4},
        {"float", [](ParamBuffer& p) { return p.PushFloat(1.0f); }, 'f', 4},
        {"double", [](ParamBuffer& p) { return p.PushDouble(1.0); }, 'g', 8},
        {"bool", [](ParamBuffer& p) { return p.PushBool(true); }, 'i', 1},
        {"string", [](ParamBuffer& p) { return p.PushStdString("x"); }, 'j', 128},
        {"cog", [](ParamBuffer& p) { return p.PushCog(nullptr); }, 'k', sizeof(void*)},
        {"vector", [](ParamBuffer& p) { return p.PushVector(Vector3(1, 2, 3)); }, 'l', 12},
        {"quat", [](ParamBuffer& p) { return p.PushQuat(Quat(1, 0, 0, 0)); }, 'm', 16},
        {"color", [](ParamBuffer& p) { return p.PushColor(Color(1, 1, 1, 1)); }, 'n', 16},
        {"damage", [](ParamBuffer& p) { return ParamTraits<DamageInfo>::Push(p, DamageInfo{}); }, 12, 12},
        {"settings", [](ParamBuffer& p) { return ParamTraits<DisplaySettings>::Push(p, DisplaySettings{}); }, 200, 24},
    };
    for (const Case& c : cases)
    {
        ParamBuffer params;
        ASSERT_TRUE(c.mPush(params)) << c.mName;
        EXPECT_EQ(params.GetTag(0), c.mCode) << c.mName;
        EXPECT_EQ(params.GetOffset(), c.mWidth) << c.mName;
        EXPECT_EQ(params.GetCount(), 1u) << c.mName;
    }
}

TEST(ParamBuffer, ClearKeepsDataBytes)
{
    ParamBuffer params;
    params.PushInt(11);
    params.PushInt(22);
    params.PushInt(33);
    params.Clear();
    EXPECT_EQ(params.GetCount(), 0u);
    EXPECT_EQ(params.GetSignature(), 0u);
    EXPECT_EQ(params.GetOffset(), 0u);
    EXPECT_EQ(ParamTraits<int32_t>::Pop(params), 11);
}

TEST(ParamBuffer, AcquiredBlockIsZeroed)
{
    ParamBlock* dirty = nullptr;
    {
        ParamBuffer params;
        std::memset(params.GetBlock()->mData, 0xCD, ParamBlock::kDataSize);
        params.PushInt(5);
        dirty = params.GetBlock();
    }
    // The block just released is the head of the free list.
    ParamBuffer params;
    ASSERT_EQ(params.GetBlock(), dirty);
    EXPECT_EQ(params.GetCount(), 0u);
    EXPECT_EQ(params.GetSignature(), 0u);
    for (uint8_t byte : params.GetBlock()->mData)
        ASSERT_EQ(byte, 0);
}

// A text cut to its slot would be another text (a file name naming another file): one of 128
// bytes or more is refused whole, logged with its length, and the buffer is left as it was.
TEST(ParamBuffer, StringLongerThanItsSlotIsRefusedNeverCut)
{
    struct Case
    {
        size_t mLength;
        bool mTaken;
    };
    const Case cases[] = {{126, true}, {127, true}, {128, false}, {200, false}, {5000, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mLength);
        ParamBuffer params;
        ASSERT_TRUE(params.PushInt(7));
        std::memset(params.GetBlock()->mData + 4, 0xAB, ParamBlock::kDataSize - 4);
        const uint32_t before = Console::Instance().GetEntryCounter();
        EXPECT_EQ(params.PushStdString(std::string(c.mLength, 'x')), c.mTaken);
        if (!c.mTaken)
        {
            EXPECT_EQ(Console::Instance().GetEntryCounter(), before + 1);
            EXPECT_EQ(LastLog().mText,
                      "ParamBuffer: a string of " + std::to_string(c.mLength) + " bytes was refused: at most 127 fit");
            EXPECT_EQ(LastLog().mCategory, LogError);
            EXPECT_EQ(params.GetCount(), 1u);
            EXPECT_EQ(params.GetOffset(), 4u);
            for (size_t i = 4; i < ParamBlock::kDataSize; ++i)
                ASSERT_EQ(params.GetBlock()->mData[i], 0xAB) << "byte " << i;
            continue;
        }
        EXPECT_EQ(Console::Instance().GetEntryCounter(), before);
        EXPECT_EQ(params.GetCount(), 2u);
        // The whole slot is written: no earlier byte shows through after the text.
        for (size_t i = 4 + c.mLength; i < 4 + ParamBlock::kStringSlot; ++i)
            ASSERT_EQ(params.GetBlock()->mData[i], 0) << "byte " << i;
        params.Rewind();
        ParamTraits<int32_t>::Pop(params);
        std::string text;
        params.PopString(text);
        EXPECT_EQ(text, std::string(c.mLength, 'x'));
    }
}

TEST(ParamBuffer, FifthParameterIsRefused)
{
    ParamBuffer params;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(params.PushInt(i));
    const std::vector<uint8_t> before(params.GetBlock()->mData, params.GetBlock()->mData + ParamBlock::kDataSize);
    EXPECT_FALSE(params.PushInt(4));
    EXPECT_EQ(LastLog().mCategory, LogError);
    EXPECT_EQ(params.GetCount(), 4u);
    EXPECT_EQ(params.GetOffset(), 16u);
    EXPECT_EQ(params.GetSignature(), 0x65656565u);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), params.GetBlock()->mData));
}

TEST(ParamBuffer, DataPast512BytesIsRefused)
{
    ParamBuffer params;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(params.PushString("s"));
    ASSERT_TRUE(params.PushDouble(1.0)); // 392 bytes, four parameters
    ParamBuffer full;
    ASSERT_TRUE(full.PushStdString("a"));
    ASSERT_TRUE(full.PushStdString("b"));
    ASSERT_TRUE(full.PushStdString("c"));
    ASSERT_TRUE(full.PushStdString("d")); // exactly 512 bytes
    EXPECT_EQ(full.GetOffset(), 512u);

    // A record too wide for what is left is refused without touching the count.
    ParamBuffer nearly;
    nearly.PushStdString("a");
    nearly.PushStdString("b");
    nearly.PushStdString("c");
    unsigned char big[130] = {};
    EXPECT_FALSE(nearly.PushRecord(77, big, sizeof(big)));
    EXPECT_EQ(nearly.GetCount(), 3u);
    EXPECT_EQ(nearly.GetOffset(), 384u);
}

TEST(ParamBuffer, ReadPastTheEndGivesZeros)
{
    ParamBuffer params;
    params.PushStdString("a");
    params.PushStdString("b");
    params.PushStdString("c");
    params.PushStdString("d");
    // The cursor stands at the end; a further read must not leave the block.
    uint32_t value = 99;
    params.Read(&value, sizeof(value));
    EXPECT_EQ(value, 0u);
    std::string text = "left";
    params.PopString(text);
    EXPECT_EQ(text, "");
}

TEST(ParamBuffer, TwentyNestedBuffersAllReturnWithoutDuplicates)
{
    std::set<ParamBlock*> seen;
    Nest(20, seen);
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_GE(ParamBuffer::FreeCount(), 20u);
    std::vector<ParamBuffer> holders;
    const std::set<ParamBlock*> pooled = DrainPool(holders);
    for (ParamBlock* block : seen)
        EXPECT_EQ(pooled.count(block), 1u) << "a nested block did not come back";
}

TEST(ParamBuffer, MovedHandleReleasesOnce)
{
    ParamBuffer::AllocatePool(2); // enough that no growth muddles the count
    const size_t free = ParamBuffer::FreeCount();
    {
        ParamBuffer a;
        ParamBuffer b = std::move(a);
        ParamBuffer c;
        c = std::move(b);
        // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from buffers are what is checked
        EXPECT_EQ(a.GetBlock(), nullptr);
        EXPECT_EQ(b.GetBlock(), nullptr); // NOLINT(bugprone-use-after-move)
        a.Release();                      // null block: nothing happens
        // c gave its own block back when it took a's.
        EXPECT_EQ(ParamBuffer::FreeCount(), free - 1);
    }
    EXPECT_EQ(ParamBuffer::FreeCount(), free);
    std::vector<ParamBuffer> again;
    EXPECT_EQ(DrainPool(again).size(), free);
}

// A block lent out while the pool is freed stays its holder's and comes back afterwards.
TEST(ParamBuffer, EmptyPoolGrowsAndALentBlockOutlivesTheFreeing)
{
    auto lent = std::make_unique<ParamBuffer>();
    ASSERT_TRUE(lent->PushInt(7));
    ParamBuffer::FreePool();
    EXPECT_EQ(ParamBuffer::FreeCount(), 0u);
    ParamBuffer::FreePool(); // empty list: nothing to do
    ParamBuffer params;
    ASSERT_NE(params.GetBlock(), nullptr);
    EXPECT_TRUE(params.PushInt(1));
    EXPECT_GT(ParamBuffer::FreeCount(), 0u);
    lent->Rewind();
    EXPECT_EQ(ParamTraits<int32_t>::Pop(*lent), 7);
    const size_t free = ParamBuffer::FreeCount();
    const ParamBlock* block = lent->GetBlock();
    lent.reset();
    EXPECT_EQ(ParamBuffer::FreeCount(), free + 1);
    ParamBuffer again;
    EXPECT_EQ(again.GetBlock(), block);
}

TEST(ParamBuffer, AllocatePoolBelowOneDoesNothing)
{
    ParamBuffer::FreePool();
    ParamBuffer::AllocatePool(0);
    ParamBuffer::AllocatePool(-3);
    EXPECT_EQ(ParamBuffer::FreeCount(), 0u);
    ParamBuffer::AllocatePool(8);
    EXPECT_EQ(ParamBuffer::FreeCount(), 8u);
    ParamBuffer::FreePool();
}

TEST(ParamBuffer, CopyIsIndependent)
{
    ParamBuffer params;
    params.PushInt(5);
    params.PushStdString("five");
    ParamBuffer copy = params.Copy();
    EXPECT_NE(copy.GetBlock(), params.GetBlock());
    EXPECT_EQ(copy.GetSignature(), params.GetSignature());
    EXPECT_EQ(copy.GetOffset(), 0u);
    copy.Clear();
    copy.PushFloat(2.0f);
    params.Rewind();
    EXPECT_EQ(ParamTraits<int32_t>::Pop(params), 5);
    EXPECT_EQ(ParamTraits<std::string>::Pop(params), "five");
}

TEST(ParamBuffer, FromStringHoldsOneString)
{
    ParamBuffer params = ParamBuffer::FromString("Hello");
    EXPECT_EQ(params.GetSignature(), 0x6Au);
    params.Rewind();
    EXPECT_EQ(ParamTraits<std::string>::Pop(params), "Hello");
}

TEST(ParamBuffer, RecordsRoundTrip)
{
    ParamBuffer params;
    ParamTraits<DamageInfo>::Push(params, DamageInfo{0, -4.5f, 2});
    DisplaySettings settings;
    settings.mScreenWidth = 1024;
    settings.mInvaderSpeech = false;
    ParamTraits<DisplaySettings>::Push(params, settings);
    EXPECT_EQ(params.GetSignature(), 0xC80Cu);
    params.Rewind();
    const DamageInfo damage = ParamTraits<DamageInfo>::Pop(params);
    EXPECT_FLOAT_EQ(damage.mAmount, -4.5f);
    EXPECT_EQ(damage.mType, 2);
    const DisplaySettings back = ParamTraits<DisplaySettings>::Pop(params);
    EXPECT_EQ(back.mScreenWidth, 1024);
    EXPECT_FALSE(back.mInvaderSpeech);
    EXPECT_EQ(back.mQuality, 3);
}

TEST(ParamBuffer, SignatureOfShapes)
{
    EXPECT_EQ((MakeSignature<>()), 0u);
    EXPECT_EQ((MakeSignature<std::string>()), 0x6Au);
    EXPECT_EQ((MakeSignature<Cog*, Vector3>()), 0x6C6Bu);
    EXPECT_EQ((MakeSignature<const std::string&, const Vector3&>()), 0x6C6Au);
    EXPECT_EQ((MakeSignature<std::string, std::string, int32_t>()), 0x656A6Au);
    EXPECT_EQ((MakeSignature<float, float, float>()), 0x666666u);
    EXPECT_EQ((MakeSignature<uint32_t>()), 0x64u);
    EXPECT_EQ(SignatureText(0x6C6A), "(string, vector)");
    EXPECT_EQ(SignatureText(0x6565656A), "(string, int, int, int)");
    EXPECT_EQ(SignatureText(0x6E6D6B64), "(uint, cog, quat, color)");
    EXPECT_EQ(SignatureText(0xD70C69), "(bool, DamageInfo, CollisionData)");
    EXPECT_EQ(SignatureText(0x3F), "(type 0x3F)");
    EXPECT_EQ(SignatureText(0), "(none)");
}

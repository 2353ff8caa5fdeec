#include "LOOM/engine/TimedCallList.h"
#include "LOOM/base/Clocks.h"
#include "LOOM/engine/CoreRegistrations.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/FakeClock.h"

namespace {
class TimedCalls : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        mType = MakeType("Timed", {kMarkerId});
        mCogs.Types().RegisterFunction("Count", MakeCogFunctor([this](Cog* cog) { mCalls.push_back(cog->GetID()); }));
        mType->BindFunction("Count", mCogs.Types().FindFunction("Count"));
        mClock.Reset();
    }

    // A new cog with one timed call of a function on it.
    Cog* Timed(uint32_t intervalMs, const char* function, int32_t repeats)
    {
        Cog* cog = mCogs.Create("Timed");
        mList.Add(*cog, intervalMs, function, repeats);
        return cog;
    }

    // One frame of the given length.
    void Frame(double seconds)
    {
        mFake.Advance(seconds);
        mClock.Tick();
        mList.Update();
    }

    FakeClock mFake;
    GameClock mClock;
    TimedCallList mList{mCogs, mClock};
    std::shared_ptr<Composer> mType;
    std::vector<uint32_t> mCalls;
};

TEST_F(TimedCalls, EntryWithRepeatThreeFiresThreeTimesThenGoes)
{
    Timed(100, "Count", 3);
    Frame(0.05);
    EXPECT_TRUE(mCalls.empty());
    for (int i = 0; i < 6; ++i)
        Frame(0.15);
    EXPECT_EQ(mCalls.size(), 3u);
    EXPECT_EQ(mList.Size(), 0u);
}

TEST_F(TimedCalls, IntervalZeroFiresOnlyWhenGameTimeAdvanced)
{
    Timed(0, "Count", 0);
    Frame(0.0);
    EXPECT_TRUE(mCalls.empty());
    Frame(0.002);
    Frame(0.002);
    EXPECT_EQ(mCalls.size(), 2u);
}

TEST_F(TimedCalls, EndlessEntryDropsWithoutACallOnceItsCogIsGone)
{
    Cog* cog = Timed(10, "Count", 0);
    Frame(0.02);
    Frame(0.02);
    EXPECT_EQ(mCalls.size(), 2u);
    cog->Destroy();
    mCogs.ProcessDestroyList();
    Frame(0.02);
    EXPECT_EQ(mCalls.size(), 2u);
    EXPECT_EQ(mList.Size(), 0u);
}

TEST_F(TimedCalls, NothingFiresWhilePausedAndLatenessIsNotMadeUp)
{
    Timed(10, "Count", 0);
    mClock.SetPaused(true);
    Frame(1.0);
    EXPECT_TRUE(mCalls.empty());
    mClock.SetPaused(false);
    Frame(0.5);
    EXPECT_EQ(mCalls.size(), 1u);
}

TEST_F(TimedCalls, UnknownFunctionStillCountsDown)
{
    Timed(0, "Missing", 2);
    Frame(0.01);
    Frame(0.01);
    EXPECT_EQ(mList.Size(), 0u);
}

TEST_F(TimedCalls, CallThatRemovesItsOwnEntryAndAddsAnotherIsSafe)
{
    Cog* a = mCogs.Create("Timed");
    Cog* b = mCogs.Create("Timed");
    mCogs.Types().RegisterFunction("Swap", MakeCogFunctor([this](Cog* cog) {
                                       mCalls.push_back(100 + cog->GetID());
                                       mList.Remove(*cog);
                                       mList.Add(*cog, 0, "Count", 1);
                                   }));
    mType->BindFunction("Swap", mCogs.Types().FindFunction("Swap"));
    mList.Add(*a, 0, "Swap", 0);
    mList.Add(*b, 0, "Count", 0);
    Frame(0.01);
    // a swapped itself out; b still fired in the same walk; the added entry waits a frame.
    EXPECT_EQ(mCalls, (std::vector<uint32_t>{101, 2}));
    EXPECT_EQ(mList.Size(), 2u);
    Frame(0.01);
    EXPECT_EQ(mCalls, (std::vector<uint32_t>{101, 2, 2, 1}));
    EXPECT_EQ(mList.Size(), 1u);
}

TEST_F(TimedCalls, RemoveTakesTheFirstEntryOfTheCog)
{
    Cog* a = mCogs.Create("Timed");
    mList.Add(*a, 0, "Count", 0);
    mList.Add(*a, 0, "Other", 0);
    mList.Remove(*a);
    EXPECT_FALSE(mList.Has(a->GetID(), "Count"));
    EXPECT_TRUE(mList.Has(a->GetID(), "Other"));
}

TEST_F(TimedCalls, AutoFireKeepsOneEntryPerCog)
{
    RegisterCoreFunctions(mCogs, [this] { return &mList; });
    mType->BindFunction("AutoFire", mCogs.Types().FindFunction("AutoFire"));
    Cog* cog = mCogs.Create("Timed");
    cog->CallFunctionByName("AutoFire");
    cog->CallFunctionByName("AutoFire");
    EXPECT_EQ(mList.Size(), 1u);
    for (int i = 0; i < 5; ++i)
        Frame(0.01);
    EXPECT_EQ(mList.Size(), 1u);
    Cog* other = mCogs.Create("Timed");
    other->CallFunctionByName("AutoFire");
    EXPECT_EQ(mList.Size(), 2u);
}
} // namespace

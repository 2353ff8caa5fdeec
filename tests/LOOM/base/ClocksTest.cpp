#include <gtest/gtest.h>

#include "tests/LOOM/support/FakeClock.h"

TEST(GameClock, PausedSpanIsNeverCounted)
{
    FakeClock fake;
    GameClock clock;
    fake.Advance(0.1);
    clock.Tick();
    EXPECT_NEAR(clock.GetTime(), 0.1, 1e-9);

    clock.SetPaused(true);
    fake.Advance(2.0);
    clock.Tick();
    EXPECT_DOUBLE_EQ(clock.GetDt(), 0.0);
    EXPECT_NEAR(clock.GetTime(), 0.1, 1e-9);

    clock.SetPaused(false);
    fake.Advance(0.0165);
    clock.Tick();
    EXPECT_NEAR(clock.GetTime(), 0.1165, 1e-9);
    EXPECT_NEAR(clock.GetDt(), 0.0165, 1e-9);
    EXPECT_EQ(clock.GetTotalMs(), 116);
    EXPECT_EQ(clock.GetDtMs(), 16);
}

TEST(GameClock, SetPausedSetsTheCountAndToggleResumes)
{
    FakeClock fake;
    GameClock clock;
    clock.SetPaused(true);
    clock.SetPaused(true);
    EXPECT_TRUE(clock.IsPaused());
    fake.Advance(5.0);
    clock.TogglePause();
    EXPECT_FALSE(clock.IsPaused());
    fake.Advance(0.5);
    clock.Tick();
    EXPECT_NEAR(clock.GetTime(), 0.5, 1e-9);
    clock.TogglePause();
    EXPECT_TRUE(clock.IsPaused());
}

TEST(GameClock, ScaleHalvesTimeAndResetRestoresIt)
{
    FakeClock fake;
    GameClock clock;
    clock.SetScale(0.5);
    fake.Advance(1.0);
    clock.Tick();
    EXPECT_NEAR(clock.GetDt(), 0.5, 1e-9);
    EXPECT_NEAR(clock.GetTime(), 0.5, 1e-9);

    clock.SetPaused(true);
    clock.Reset();
    EXPECT_DOUBLE_EQ(clock.GetScale(), 1.0);
    EXPECT_DOUBLE_EQ(clock.GetTime(), 0.0);
    EXPECT_TRUE(clock.IsPaused()) << "reset keeps the paused state";
}

TEST(PreciseTimer, MeasuresFromReferenceAndKeepsRunningWhilePaused)
{
    FakeClock fake;
    PreciseTimer timer;
    GameClock game;
    game.SetPaused(true);
    fake.Advance(1.2345);
    timer.Tick();
    EXPECT_NEAR(timer.GetElapsed(), 1.2345, 1e-9);
    EXPECT_EQ(timer.GetMs(), 1234);
    EXPECT_NEAR(timer.CurrentSeconds(), 1.2345, 1e-9);
    fake.Advance(0.010);
    timer.Tick();
    EXPECT_NEAR(timer.GetDt(), 0.010, 1e-9);
    EXPECT_EQ(timer.GetMsDt(), 10);
    EXPECT_EQ(timer.CurrentMs(), 1244);
    timer.Reset();
    EXPECT_EQ(timer.GetMs(), 0);
    EXPECT_DOUBLE_EQ(timer.GetElapsed(), 0.0);
}

TEST(PreciseTimer, RealClockNeverGoesBack)
{
    PreciseTimer timer;
    int32_t last = 0;
    for (int i = 0; i < 1000; ++i)
    {
        timer.Tick();
        EXPECT_GE(timer.GetDt(), 0.0);
        EXPECT_GE(timer.GetMs(), last);
        last = timer.GetMs();
    }
}

// Milliseconds past 2^31 (24.8 days) and 2^32 (49.7 days) keep counting: the stopwatch, its
// readings without a tick and game time all agree with the span the counter went through.
TEST(Clocks, MillisecondsKeepCountingPastTheThirtyTwoBitRange)
{
    const int64_t day = 24LL * 3600 * 1000;
    const int64_t spans[] = {(int64_t(1) << 31) - 1, int64_t(1) << 31, 25 * day, (int64_t(1) << 32) + 7, 400 * day};
    for (const int64_t span : spans)
    {
        SCOPED_TRACE(span);
        FakeClock fake;
        PreciseTimer timer;
        GameClock game;
        fake.mNow += static_cast<uint64_t>(span - 16) * 1000;
        timer.Tick();
        game.Tick();
        fake.mNow += 16 * 1000 + 500;
        EXPECT_EQ(timer.CurrentMs(), span);
        timer.Tick();
        game.Tick();
        EXPECT_EQ(timer.GetMs(), span);
        EXPECT_EQ(timer.GetMsDt(), 16);
        EXPECT_EQ(game.GetTotalMs(), span);
        EXPECT_EQ(game.GetDtMs(), 16);
    }
    EXPECT_EQ(TicksToMs(UINT64_MAX, 1000000000ull), int64_t(UINT64_MAX / 1000000000ull * 1000 + 709));
}

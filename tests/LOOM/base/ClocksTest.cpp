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

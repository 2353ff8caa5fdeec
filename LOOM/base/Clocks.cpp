#include "LOOM/base/Clocks.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace {
ClockSource* gSource = nullptr;

// Scaled game time is a double: a value past the 64-bit range (or NaN) must not reach the cast.
int64_t SecondsToMs(double seconds)
{
    const double ms = std::floor(seconds * 1000.0);
    if (!(ms > -9.2e18))
        return std::isnan(ms) ? 0 : std::numeric_limits<int64_t>::min();
    if (!(ms < 9.2e18))
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(ms);
}
} // namespace

void SetClockSource(ClockSource* source) { gSource = source; }

uint64_t ReadCounter()
{
    if (gSource)
        return gSource->Counter();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

uint64_t CounterFrequency()
{
    if (gSource)
        return gSource->Frequency();
    return 1000000000ull;
}

int64_t TicksToMs(uint64_t ticks, uint64_t frequency)
{
    if (frequency == 0)
        return 0;
    // Whole seconds and the rest apart: ticks * 1000 would overflow long before the result does.
    const uint64_t ms = ticks / frequency * 1000 + (ticks % frequency) * 1000 / frequency;
    return ms > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                           : static_cast<int64_t>(ms);
}

PreciseTimer::PreciseTimer() : mSecondsPerTick(1.0 / static_cast<double>(CounterFrequency())) { Reset(); }

void PreciseTimer::Reset()
{
    mReference = ReadCounter();
    mElapsedTicks = 0;
    mElapsedMs = 0;
    mMsDt = 0;
    mDt = 0.0;
    mElapsed = 0.0;
}

void PreciseTimer::Tick()
{
    const double previous = mElapsed;
    const int64_t previousMs = mElapsedMs;
    mElapsedTicks = ReadCounter() - mReference;
    mElapsed = static_cast<double>(mElapsedTicks) * mSecondsPerTick;
    mElapsedMs = TicksToMs(mElapsedTicks, CounterFrequency());
    mDt = mElapsed - previous;
    mMsDt = mElapsedMs - previousMs;
}

double PreciseTimer::CurrentSeconds() const
{
    return static_cast<double>(ReadCounter() - mReference) * mSecondsPerTick;
}

int64_t PreciseTimer::CurrentMs() const { return TicksToMs(ReadCounter() - mReference, CounterFrequency()); }

GameClock::GameClock() : mLastCounter(ReadCounter()), mSecondsPerTick(1.0 / static_cast<double>(CounterFrequency())) {}

void GameClock::Tick()
{
    const uint64_t now = ReadCounter();
    if (mPauseCount != 0)
        return;
    mDeltaTicks = now - mLastCounter;
    mDt = static_cast<double>(mDeltaTicks) * mSecondsPerTick * mScale;
    mTotal += mDt;
    mTotalMs = SecondsToMs(mTotal);
    mDtMs = SecondsToMs(mDt);
    mLastCounter = now;
}

void GameClock::SetPaused(bool paused)
{
    mPauseCount = paused ? 1 : 0;
    if (!paused)
        mLastCounter = ReadCounter();
}

void GameClock::TogglePause() { SetPaused(mPauseCount == 0); }

void GameClock::Reset()
{
    mLastCounter = ReadCounter();
    mTotal = 0.0;
    mDt = 0.0;
    mScale = 1.0;
    mTotalMs = 0;
    mDtMs = 0;
}

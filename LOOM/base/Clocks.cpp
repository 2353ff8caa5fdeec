#include "LOOM/base/Clocks.h"

#include <chrono>

namespace {
ClockSource* gSource = nullptr;
}

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
    const int32_t previousMs = mElapsedMs;
    mElapsedTicks = ReadCounter() - mReference;
    mElapsed = static_cast<double>(mElapsedTicks) * mSecondsPerTick;
    mElapsedMs = static_cast<int32_t>(mElapsed * 1000.0);
    mDt = mElapsed - previous;
    mMsDt = mElapsedMs - previousMs;
}

double PreciseTimer::CurrentSeconds() const
{
    return static_cast<double>(ReadCounter() - mReference) * mSecondsPerTick;
}

int32_t PreciseTimer::CurrentMs() const { return static_cast<int32_t>(CurrentSeconds() * 1000.0); }

GameClock::GameClock() : mLastCounter(ReadCounter()), mSecondsPerTick(1.0 / static_cast<double>(CounterFrequency())) {}

void GameClock::Tick()
{
    const uint64_t now = ReadCounter();
    if (mPauseCount != 0)
        return;
    mDeltaTicks = now - mLastCounter;
    mDt = static_cast<double>(mDeltaTicks) * mSecondsPerTick * mScale;
    mTotal += mDt;
    mTotalMs = static_cast<int32_t>(mTotal * 1000.0);
    mDtMs = static_cast<int32_t>(mDt * 1000.0);
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

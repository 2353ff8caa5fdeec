#pragma once
#include <cstdint>

// Where the clocks read their counter. Tests install their own to drive time.
class ClockSource
{
public:
    virtual ~ClockSource() = default;
    virtual uint64_t Counter() = 0;
    virtual uint64_t Frequency() = 0;
};

// nullptr restores the steady clock.
void SetClockSource(ClockSource* source);
uint64_t ReadCounter();
uint64_t CounterFrequency();
// Whole milliseconds in a span of counter ticks, exact and without overflow for any span.
int64_t TicksToMs(uint64_t ticks, uint64_t frequency);

// A stopwatch that never pauses; measures from a fixed reference, never sums deltas.
class PreciseTimer
{
public:
    PreciseTimer();
    void Reset();
    void Tick();
    double TickAndGetElapsed()
    {
        Tick();
        return mElapsed;
    }

    double GetDt() const { return mDt; }
    double GetElapsed() const { return mElapsed; }
    // Milliseconds in 64 bits: 32 would run out after 24.8 days.
    int64_t GetMs() const { return mElapsedMs; }
    int64_t GetMsDt() const { return mMsDt; }

    // Read now without storing anything.
    double CurrentSeconds() const;
    int64_t CurrentMs() const;

private:
    uint64_t mReference = 0;
    uint64_t mElapsedTicks = 0;
    int64_t mElapsedMs = 0;
    int64_t mMsDt = 0;
    double mSecondsPerTick = 0.0;
    double mDt = 0.0;
    double mElapsed = 0.0;
};

// Game time: advanced once per frame, stands still while paused.
class GameClock
{
public:
    GameClock();
    void Tick();
    double GetDt() const { return mPauseCount > 0 ? 0.0 : mDt; }
    double GetTime() const { return mTotal; }
    bool IsPaused() const { return mPauseCount > 0; }
    void SetPaused(bool paused);
    void TogglePause();
    void Reset();
    void SetScale(double scale) { mScale = scale; }
    double GetScale() const { return mScale; }
    int64_t GetTotalMs() const { return mTotalMs; }
    int64_t GetDtMs() const { return mDtMs; }

private:
    int32_t mPauseCount = 0;
    double mScale = 1.0;
    uint64_t mLastCounter = 0;
    uint64_t mDeltaTicks = 0;
    int64_t mTotalMs = 0;
    int64_t mDtMs = 0;
    double mSecondsPerTick = 0.0;
    double mDt = 0.0;
    double mTotal = 0.0;
};

#pragma once
#include <cmath>

#include "LOOM/base/Clocks.h"

// Installs a manual counter (1 tick = 1 microsecond) for the life of the object.
class FakeClock : public ClockSource
{
public:
    FakeClock() { SetClockSource(this); }
    ~FakeClock() override { SetClockSource(nullptr); }
    uint64_t Counter() override { return mNow; }
    uint64_t Frequency() override { return 1000000; }
    void Advance(double seconds) { mNow += static_cast<uint64_t>(std::llround(seconds * 1e6)); }
    uint64_t mNow = 1000000;
};

#pragma once
#include <cstdint>

enum class CooperativeLevel : uint8_t
{
    Ok,
    Lost,
    NotReset
};

// Whether the device may draw: a lost device shows no frame until it is Reset. Every device
// keeps one; only the test hook loses it.
class DeviceLoss
{
public:
    // Test hook: the next Present reports loss; TestCooperativeLevel says Lost for the given
    // number of checks, then NotReset until Reset.
    void Simulate(int32_t lostChecks = 0)
    {
        mPending = true;
        mLostChecks = lostChecks;
    }
    CooperativeLevel TestCooperativeLevel();
    bool IsLost() const { return mLost; }
    // For Present: a simulated loss takes effect at the frame it hits; true while lost.
    bool AtPresent();
    // After a successful Reset: the device is usable again.
    void Recover()
    {
        mLost = false;
        mPending = false;
    }

private:
    bool mPending = false;
    bool mLost = false;
    int32_t mLostChecks = 0;
};

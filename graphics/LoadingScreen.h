#pragma once
#include "LOOM/base/Clocks.h"

// Whether the loading screen is up, and how long loading took. While it is up the loom's frame
// draws only that screen.
class LoadingScreen
{
public:
    bool IsUp() const { return mUp; }
    // Puts it up; the loading time counts from the first call.
    void Begin();
    // Takes it down and logs how long loading took.
    void Done();
    void Reset();

private:
    bool mUp = false;
    PreciseTimer mTimer;
};

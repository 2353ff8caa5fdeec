#include "graphics/LoadingScreen.h"

#include <cstdio>
#include <string>

#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"

void LoadingScreen::Begin()
{
    if (mUp)
        return;
    mUp = true;
    mTimer.Reset();
}

void LoadingScreen::Done()
{
    mUp = false;
    Console::Instance().ShowConsole(false);
    // The core timer's interval covers the loading steps; a second tick keeps it out of the
    // next frame's time.
    PreciseTimer& timer = gCoreEngine ? gCoreEngine->GetCoreTimer() : mTimer;
    timer.Tick();
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.3f", timer.GetDt());
    Console::Instance().Log(std::string("Loading Time: ") + seconds + " secs", LogLoading);
    timer.Tick();
}

void LoadingScreen::Reset()
{
    mUp = false;
    mTimer.Reset();
}

#pragma once
#include <ctime>

// Seconds of CPU time this thread has used: a ratio of two parts timed in the same run stays
// fair when other programs share the cores.
inline double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

#pragma once
// Waiting for a state another thread or process brings about: polled against the wall clock
// with a generous limit, so a loaded machine only makes the wait longer, never wrong.
#include <chrono>
#include <thread>

// Polls the condition until it holds or the limit passes; true when it held. The condition
// may do the work that brings the state about (an update, a read of a file).
template <typename Condition>
bool WaitUntil(Condition condition, double limitSeconds, double pollSeconds = 0.005)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::duration<double>(pollSeconds));
    }
    return true;
}

#include <chrono>
#include <thread>

#include "platform/PlatformWindow.h"

// Brings up the window, shows the splash for a moment, then runs until the window closes.
int main()
{
    PlatformWindow* window = PlatformWindow::Create();
    if (!window)
        return 1;

    using Clock = std::chrono::steady_clock;
    const Clock::time_point splashEnd = Clock::now() + std::chrono::milliseconds(1500);
    while (window->IsAlive() && Clock::now() < splashEnd)
    {
        window->PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    window->ShowMainWindow();
    while (window->PumpMessages())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    PlatformWindow::Destroy();
    return 0;
}

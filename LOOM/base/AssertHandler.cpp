#include "LOOM/base/AssertHandler.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "LOOM/console/Console.h"

namespace {
AssertDialog gDialog = nullptr;
std::atomic<AssertHold> gHold{nullptr};
std::atomic<int> gFailures{0};

bool ContinueWithoutDialog()
{
    const char* mode = std::getenv("LOOM_ASSERT");
    return (mode && std::strcmp(mode, "continue") == 0) || gDialog == nullptr;
}
} // namespace

void SetAssertDialog(AssertDialog dialog) { gDialog = dialog; }
void SetAssertHold(AssertHold hold) { gHold.store(hold); }
int AssertFailureCount() { return gFailures.load(); }

bool AssertFailed(const char* expression, const char* file, int line, const char* message)
{
    return AssertFailedString(expression ? expression : "", file ? file : "", line, message ? message : "");
}

bool AssertFailedString(const std::string& expression, const std::string& file, int line, const std::string& message)
{
    ++gFailures;
    if (const AssertHold hold = gHold.load())
        hold();
    const std::string location = file + " Line Number " + std::to_string(line);
    Console::Instance().Log(location + " " + message, LogError);

    if (ContinueWithoutDialog())
    {
        std::fprintf(stderr, "LOOM Error: %s (%s): %s\n", expression.c_str(), location.c_str(), message.c_str());
        return false;
    }
    if (gDialog(expression, location, message))
        return true;
    // "Exit": leave the log well-formed, then end with a failure status.
    Console::Instance().CloseLog();
    std::exit(EXIT_FAILURE);
}

void DebugBreakIfAttached()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key)
    {
        if (key == "TracerPid:")
        {
            int pid = 0;
            status >> pid;
            if (pid != 0)
                std::raise(SIGTRAP);
            return;
        }
    }
}

#pragma once
#include <string>

class GameClock;

// Returns true when the user asks to debug. "Exit" ends the program with a non-zero status.
bool AssertFailed(const char* expression, const char* file, int line, const char* message);
bool AssertFailedString(const std::string& expression, const std::string& file, int line, const std::string& message);

// The platform window shows the error dialog; it answers true for "Debug", false for "Exit".
using AssertDialog = bool (*)(const std::string& expression, const std::string& location, const std::string& message);
void SetAssertDialog(AssertDialog dialog);
// The game clock the handler pauses (the core engine's).
void SetAssertGameClock(GameClock* clock);
// Number of assertions failed so far (tests read it).
int AssertFailureCount();

void DebugBreakIfAttached();

#define LOOM_ASSERT(expr, message)                                                                                     \
    do                                                                                                                 \
    {                                                                                                                  \
        if (!(expr) && AssertFailed(#expr, __FILE__, __LINE__, message))                                               \
            DebugBreakIfAttached();                                                                                    \
    } while (0)

#pragma once
#include <string>

// Returns true when the user asks to debug. "Exit" ends the program with a non-zero status.
bool AssertFailed(const char* expression, const char* file, int line, const char* message);
bool AssertFailedString(const std::string& expression, const std::string& file, int line, const std::string& message);

// The platform window shows the error dialog; it answers true for "Debug", false for "Exit".
using AssertDialog = bool (*)(const std::string& expression, const std::string& location, const std::string& message);
void SetAssertDialog(AssertDialog dialog);
// Told of every failure before it is logged: the clock's owner stops the game through it. The
// core sits under the engine and cannot reach the clock's owner itself.
using AssertHold = void (*)();
void SetAssertHold(AssertHold hold);
// Number of assertions failed so far (tests read it).
int AssertFailureCount();

void DebugBreakIfAttached();

#define LOOM_ASSERT(expr, message)                                                                                     \
    do                                                                                                                 \
    {                                                                                                                  \
        if (!(expr) && AssertFailed(#expr, __FILE__, __LINE__, message))                                               \
            DebugBreakIfAttached();                                                                                    \
    } while (0)

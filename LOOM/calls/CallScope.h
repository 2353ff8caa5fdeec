#pragma once
#include <functional>

// Counts the engine calls on the main thread's stack: console commands, cog functions,
// messages and scripts. Work that would pull the ground from under such a call (a restart
// deleting the calling cog or closing the running script) waits for the outermost to return.
class CallScope
{
public:
    CallScope();
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    static int Depth();
    // Runs each time the depth falls back to 0; one hook, a later one replaces it (and is
    // returned). Calls made by the hook itself do not run it again.
    static std::function<void()> SetOutermostReturnHook(std::function<void()> hook);
};

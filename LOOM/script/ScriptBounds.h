#pragma once
#include <cstddef>

struct lua_State;

// Keeps the watchdog's reach over script work that Lua's count hook does not see: error
// handlers (Lua runs them with the hook off after the hook raised), finalisers (run with the
// hook off), long C work (pattern matching and replacing, building and copying strings, sorting,
// collecting), and the coroutines a script runs (so that a large value made in one makes its hook
// look at the clock more often).
class ScriptBounds
{
public:
    // After the standard libraries and the value types: xpcall, newproxy, the string library,
    // table.concat and sort, tostring, collectgarbage, coroutine.resume and wrap, os.setlocale,
    // and the userdata metatables scripts can reach.
    static void Install(lua_State* L);
    // Replaces the handler at the top by one that calls it only while the watched call may go
    // on: a call being stopped keeps the watchdog's error and runs no more script code.
    static void GuardHandler(lua_State* L);
    // Counts characters that C work on a script's behalf compared or wrote (a piece of work that
    // touches none counts one). Every few thousand the watchdog's clock is read, and its error
    // raised in L when the watched call must stop: one C call cannot outlast the limit.
    static void Count(lua_State* L, size_t characters)
    {
        sCounted += characters;
        if (sCounted >= kCountPerLook)
            Look(L);
    }

private:
    static constexpr size_t kCountPerLook = 4096;
    static inline size_t sCounted = 0;
    static void Look(lua_State* L);
};

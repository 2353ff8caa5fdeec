#pragma once

struct lua_State;

// Keeps the watchdog's reach over script work that Lua's count hook does not see: error
// handlers (Lua runs them with the hook off after the hook raised), finalisers (run with the
// hook off), long C work (pattern matching, string.rep, sorting, collecting), and the coroutines a script
// runs (so that a large value made in one makes its hook look at the clock more often).
class ScriptBounds
{
public:
    // After the standard libraries and the value types: xpcall, newproxy, the string
    // library's pattern functions and rep, table.sort, collectgarbage, coroutine.resume and
    // wrap, and the userdata metatables scripts can reach.
    static void Install(lua_State* L);
    // Replaces the handler at the top by one that calls it only while the watched call may go
    // on: a call being stopped keeps the watchdog's error and runs no more script code.
    static void GuardHandler(lua_State* L);
};

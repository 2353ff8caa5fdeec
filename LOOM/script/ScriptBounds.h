#pragma once
#include <cstddef>

struct lua_State;

// Keeps the watchdog's reach over script work that Lua's count hook does not see: error
// handlers (Lua runs them with the hook off after the hook raised), finalisers (run with the
// hook off), long C work (pattern matching and replacing, building and copying strings, sorting,
// collecting, compiling chunks), and the coroutines a script runs (so that a large value made in one makes its hook
// look at the clock more often).
class ScriptBounds
{
public:
    // After the standard libraries and the value types: xpcall, loadstring and load (through
    // LoadText), newproxy, the string library,
    // table.concat and sort, tostring, collectgarbage, coroutine.resume and wrap, os.setlocale,
    // and the userdata metatables scripts can reach.
    static void Install(lua_State* L);
    // Replaces the handler at the top by one that calls it only while the watched call may go
    // on: a call being stopped keeps the watchdog's error and runs no more script code.
    static void GuardHandler(lua_State* L);

    // How loading a chunk ended. Stopped: the watchdog ended the parse, and the caller raises
    // the watchdog's error once its own objects are gone.
    enum class Loaded
    {
        Chunk,
        Failed,
        Stopped,
    };
    // Compiles source text into a function. The parser is fed in small blocks, so the
    // watchdog ends a parse that outlasts the limit; a binary chunk is refused (forged
    // bytecode reads and writes memory), named by shown. Pushes the function or the message
    // why not (the watchdog's own when Stopped). Never raises.
    static Loaded LoadText(lua_State* L, const char* text, size_t size, const char* chunkName, const char* shown);
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

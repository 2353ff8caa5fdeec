#pragma once
#include <cstddef>

struct lua_State;

// The string library's pattern functions (find, match, gmatch and its old name gfind, gsub) with
// the meaning Lua 5.1 gives patterns, on a matcher of ours (CompiledPattern, PatternSearcher) that
// a script cannot run past the watchdog: every byte compared or written counts toward its clock,
// and backtracking keeps its choices on a stack of limited depth instead of the C stack.
namespace ScriptPatterns {
// Replaces the functions in the string table at the top of the stack.
void Install(lua_State* L);
// Reads the character classes (%a, %d ...) from the C library's current locale again; Install
// reads them, and a script that changes the locale must call this after.
void ReadClasses();
} // namespace ScriptPatterns

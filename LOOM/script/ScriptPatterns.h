#pragma once
#include <cstddef>

struct lua_State;

// The string library's pattern functions (find, match, gmatch and its old name gfind, gsub)
// with the meaning Lua 5.1 gives patterns, rebuilt so that a script cannot run them past the
// watchdog: every character compared or written is counted toward its clock, and backtracking
// keeps its choices on a heap stack of limited depth instead of the C stack.
namespace ScriptPatterns {
// Choices a match may keep open at once; past it the match raises "pattern too complex".
constexpr size_t kMaxDepth = 5000;
// Pieces a compiled pattern may have; past it, too, the pattern is "too complex".
constexpr size_t kMaxPieces = size_t(1) << 16;

// Replaces the functions in the string table at the top of the stack.
void Install(lua_State* L);
// Reads the character classes (%a, %d ...) from the C library's current locale again; Install
// reads them, and a script that changes the locale must call this after.
void ReadClasses();
} // namespace ScriptPatterns

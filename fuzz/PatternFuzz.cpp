// The scripts' pattern functions (find, match, gmatch, gsub) against the installed Lua's own
// string library: every input must give the same results and the same errors in both.
// Layout: operation, start position, most replacements, subject length, subject, pattern
// length, pattern, then the replacement string. Short subjects and few repetitions keep the
// backtracking of both within milliseconds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <lua.hpp>

#include "LOOM/script/ScriptPatterns.h"

namespace {

constexpr size_t kMaxSubject = 32;
constexpr size_t kMaxPattern = 64;
constexpr int kMaxRepeats = 4;

// Runs one operation and shows every result (or the error) as one text.
const char* const kDriver = R"(
local op, s, p, r, init, most = ...
local function show(ok, ...)
  local out = {tostring(ok), tostring(select('#', ...))}
  for i = 1, select('#', ...) do
    local v = select(i, ...)
    out[#out + 1] = type(v) .. ':' .. tostring(v)
  end
  return table.concat(out, '|')
end
local replacements = {a = 'A', ['1'] = 1, b = true, c = false, d = {}}
local function replace(...)
  local n = select('#', ...)
  if n == 2 then return nil end
  if n == 3 then return {} end
  return table.concat({...}, '+')
end
if op == 0 then return show(pcall(string.find, s, p, init)) end
if op == 1 then return show(pcall(string.find, s, p, init, true)) end
if op == 2 then return show(pcall(string.match, s, p, init)) end
if op == 3 then
  return show(pcall(function()
    local out = {}
    for a, b, c in string.gmatch(s, p) do
      out[#out + 1] = tostring(a) .. ',' .. tostring(b) .. ',' .. tostring(c)
      if #out > 200 then break end
    end
    return table.concat(out, ';')
  end))
end
if op == 4 then return show(pcall(string.gsub, s, p, r, most)) end
if op == 5 then return show(pcall(string.gsub, s, p, replacements, most)) end
if op == 6 then return show(pcall(string.gsub, s, p, replace, most)) end
return show(pcall(string.gsub, s, p, r))
)";

lua_State* NewState(bool ours)
{
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    if (ours)
    {
        lua_getglobal(L, "string");
        ScriptPatterns::Install(L);
        lua_pop(L, 1);
    }
    if (luaL_loadstring(L, kDriver) != 0)
        std::abort();
    lua_setglobal(L, "Drive");
    return L;
}

std::string Run(lua_State* L, int op, const std::string& subject, const std::string& pattern,
                const std::string& replacement, int init, int most)
{
    lua_getglobal(L, "Drive");
    lua_pushinteger(L, op);
    lua_pushlstring(L, subject.data(), subject.size());
    lua_pushlstring(L, pattern.data(), pattern.size());
    lua_pushlstring(L, replacement.data(), replacement.size());
    lua_pushinteger(L, init);
    lua_pushinteger(L, most);
    std::string result;
    if (lua_pcall(L, 6, 1, 0) != 0)
        result = "driver failed: ";
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    result.append(text ? text : "(no text)", text ? length : 9);
    lua_settop(L, 0);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static lua_State* const stock = NewState(false);
    static lua_State* const ours = NewState(true);
    if (size < 5)
        return 0;
    const int op = data[0] % 8;
    const int init = static_cast<int8_t>(data[1]) % 40;
    const int most = static_cast<int8_t>(data[2]) % 8;
    size_t at = 3;
    const size_t subjectLength = std::min<size_t>({data[at++], kMaxSubject, size - at});
    const std::string subject(reinterpret_cast<const char*>(data) + at, subjectLength);
    at += subjectLength;
    if (at >= size)
        return 0;
    const size_t patternLength = std::min<size_t>({data[at++], kMaxPattern, size - at});
    const std::string pattern(reinterpret_cast<const char*>(data) + at, patternLength);
    at += patternLength;
    const std::string replacement(reinterpret_cast<const char*>(data) + at, size - at);
    // Every repetition multiplies the ways a failing match tries.
    int repeats = 0;
    for (char c : pattern)
        repeats += c == '*' || c == '+' || c == '-' || c == '?';
    if (repeats > kMaxRepeats)
        return 0;

    const std::string expected = Run(stock, op, subject, pattern, replacement, init, most);
    const std::string got = Run(ours, op, subject, pattern, replacement, init, most);
    if (expected != got)
    {
        std::fprintf(stderr, "operation %d, start %d, most %d\nLua's own: %s\nours:      %s\n", op, init, most,
                     expected.c_str(), got.c_str());
        std::abort();
    }
    lua_gc(stock, LUA_GCSTEP, 0);
    lua_gc(ours, LUA_GCSTEP, 0);
    return 0;
}

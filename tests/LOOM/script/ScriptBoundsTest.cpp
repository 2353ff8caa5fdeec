#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/LOOM/support/ScriptTestSupport.h"

using ScriptBoundsTest = ScriptTest;

namespace {
// Every result of the chunk (or its error) as one text, in the given state.
std::string Outcome(lua_State* state, const std::string& code)
{
    const std::string chunk = "local function show(...)\n"
                              "  local out = {tostring(select('#', ...))}\n"
                              "  for i = 1, select('#', ...) do\n"
                              "    local v = select(i, ...)\n"
                              "    out[#out + 1] = type(v) .. ':' .. tostring(v)\n"
                              "  end\n"
                              "  return table.concat(out, ',')\n"
                              "end\n"
                              "local ok, text = pcall(function() return show(" +
        code +
        ") end)\n"
        "return (ok and '' or 'error: ') .. tostring(text)\n";
    const int top = lua_gettop(state);
    std::string result = "<did not compile>";
    if (luaL_loadstring(state, chunk.c_str()) == 0 && lua_pcall(state, 0, 1, 0) == 0)
        result = lua_tostring(state, -1);
    lua_settop(state, top);
    return result;
}
} // namespace

// The functions rebuilt or wrapped so the watchdog sees their work (patterns, rep, sort,
// collectgarbage, the coroutines) give what Lua's own give.
TEST_F(ScriptBoundsTest, WatchedFunctionsGiveWhatLuasOwnGive)
{
    std::unique_ptr<lua_State, void (*)(lua_State*)> plain(luaL_newstate(), &lua_close);
    luaL_openlibs(plain.get());
    // Long cases run over two lines as one literal.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    const char* cases[] = {
        "string.find('hello world', 'o w')",
        "string.find('hello world', 'o', 6)",
        "string.find('hello world', 'l+')",
        "string.find('hello', '')",
        "string.find('hello', '', 10)",
        "string.find('hello', 'l', -2)",
        "string.find('a.b', '.', 1, true)",
        "string.find('key = value', '(%w+)%s*=%s*(%w+)')",
        "string.find('abc', '()b()')",
        "string.find('  trim  ', '^%s*(.-)%s*$')",
        "string.find('THE (quick) fox', '%((%a+)%)')",
        "string.find('f(a(b)c)d', '%b()')",
        "string.find('THE quick', '%f[%a]%a+', 4)",
        "string.find('x = [[abc]]', '%[(=*)%[(.-)%]%1%]')",
        "string.find('aaab', 'a-b')",
        "string.find('aaa', 'a-$')",
        "string.find('ab', 'a?b')",
        "string.find('b', 'a?b')",
        "string.find('[x]', '[%]x]+')",
        "string.find('a-z', '[a%-]+')",
        "string.find('09af', '^[0-9a-f]+$')",
        "string.find('abc', '[^b]')",
        "string.find('a\\0b', '%z')",
        "string.find('abc', '%')",
        "string.find('abc', '[a')",
        "string.find('abc', '(a')",
        "string.find('abc', 'a)')",
        "string.find('abc', '%1')",
        "string.find('abc', '%f')",
        "string.find('abc', '%b')",
        "string.match('2024-01-31', '(%d+)-(%d+)-(%d+)')",
        "string.match('hello', '.-(l+)(.*)')",
        "string.match('hello', '()ll()')",
        "string.match('hello', 'x')",
        "string.match('hello', '^h')",
        "string.match('hello', '^e')",
        "string.match('  x', '%S')",
        "string.match('UPPER lower', '%u+ %l+')",
        "string.match('a,b;c', '[%p]')",
        "string.match('tab\\there', '%c')",
        "string.match('x1y2', '%D%d%D%d')",
        "string.match('ff', '%x%x')",
        "string.match('hello', 'l', -3)",
        "string.gsub('hello world', 'o', '0')",
        "string.gsub('hello world', '(%w+)', '<%1>')",
        "string.gsub('hello world', '%w+', '%0 %0', 1)",
        "string.gsub('abc', '', '-')",
        "string.gsub('abc', '^', '>')",
        "string.gsub('hello', 'l', {l = 'L'})",
        "string.gsub('hello', '(h)(e)', function(a, b) return b .. a end)",
        "string.gsub('hello', 'l', function() return false end)",
        "string.gsub('a%b', '%%', '%%%%')",
        "string.gsub('abc', 'b', '%2')",
        "string.gsub('abc', 'b', {b = {}})",
        "string.gsub('abc', 'b', true)",
        "string.gsub('abc', 'b', 'x', 0)",
        "string.gsub('x y z', '%s', '_', 1.5)",
        "(function() local t = {} for k, v in string.gmatch('a=1, b=2', '(%w+)=(%w+)') do t[#t + 1] = k .. v end "
        "return table.concat(t, ';') end)()",
        "(function() local t = {} for w in string.gmatch('one two  three', '%a+') do t[#t + 1] = w end return "
        "table.concat(t, ';') end)()",
        "(function() local t = {} for w in string.gmatch('abc', '') do t[#t + 1] = '.' end return #t end)()",
        "(function() local t = {} for p in string.gmatch('abc', '()') do t[#t + 1] = p end return "
        "table.concat(t, ';') end)()",
        "string.gmatch('x')",
        "('abc'):find('b')",
        "('%d'):rep(3)",
        "string.rep('ab', 3)",
        "string.rep('ab', 0)",
        "string.rep('ab', -1)",
        "string.rep('', 5)",
        "string.rep('x', 2.7)",
        "#string.rep('abc', 100000)",
        "string.rep()",
        "string.find()",
        "string.gsub('a', 'a')",
        "string.find(123, 2)",
        // Each class, its complement, and the classes inside sets, over every byte.
        "(function() local all = {} for i = 0, 255 do all[#all + 1] = string.char(i) end all = table.concat(all) "
        "local out = {} for _, c in ipairs({'a', 'c', 'd', 'l', 'p', 's', 'u', 'w', 'x', 'z'}) do "
        "out[#out + 1] = select(2, all:gsub('%' .. c, '')) out[#out + 1] = select(2, all:gsub('%' .. c:upper(), '')) "
        "out[#out + 1] = select(2, all:gsub('[%' .. c .. '_]', '')) out[#out + 1] = select(2, all:gsub('[^%' .. c .. "
        "']', '')) "
        "end return table.concat(out, ' ') end)()",
        "string.gsub('a1-b2_C3', '[a-b%d]', '.')",
        "string.gsub('a1-b2_C3', '[^%l-]', '.')",
        "string.gsub('a-z]', '[]]', '.')",
        "string.gsub('a-z]^', '[^]^]', '.')",
        "string.find('+%]', '[+-%]]')",
        "string.find('x]', '[a-%%]')",
        "string.gsub('-/0', '[--/]', '.')",
        "string.gsub('a%b', '[%%]', '.')",
        "string.find('abc', '[')",
        "string.find('abc', '[^')",
        "string.find('abc', '[]')",
        "string.find('abc', 'x[')",
        "string.find('abc', 'a%')",
        "string.find('abc', 'x%')",
        "string.find('abc', '%f[')",
        "string.find('abc', '%fa')",
        "string.find('abc', '%bx')",
        "string.find('abc', '(()')",
        "string.find('abc', '%0')",
        "string.find('abc', '(a)%2')",
        "string.find('abc', '(a%1)')",
        "string.find('abc', ('()'):rep(33))",
        "string.find('abc', ('()'):rep(32))",
        "string.match('a\0b', 'a\0c')",
        "string.find('a\0b', 'a\0b')",
        "string.find('a^b$c', 'a^b$c')",
        "string.find('ab$', 'b$')",
        "string.find('aaa', '^a-$')",
        "string.match('  padded  ', '^%s*(.-)%s*$')",
        "string.match('xxyyzz', '(x*)(y+)(z?)(z-)$')",
        "string.match('abab', '(ab)%1')",
        "string.match('abab', '()(ab)%2()')",
        "string.match('abab', '()%1')",
        "string.match('[[x]] [=[y]=]', '%[(=*)%[(.-)%]%1%]', 6)",
        "string.match('((a)(b)) c', '%b()')",
        "string.match('aaa', '%baa')",
        "string.match('if x then', '%f[%w]%w+%f[%W]', 3)",
        "string.match('THE (quick) fox', '%f[%a]%a+%f[%A]', -3)",
        "string.match('hello', '.-', 10)",
        "string.match('hello', 'o', -1)",
        "string.match('hello', 'h', -100)",
        "string.match('hello', '', 6)",
        "string.match('hello', '', 7)",
        "string.find('hello', 'l', 0)",
        "string.find('hello', 'lo$', 100)",
        "string.gsub('hello world', '(o)', '[%0|%1|%%]')",
        "string.gsub('abc', '%w', '%1%1')",
        "string.gsub('abc', '()', '%1')",
        "string.gsub('abc', '(', '%1')",
        "string.gsub('abc', 'b', '%')",
        "string.gsub('abc', 'b', 'x%y')",
        "string.gsub('abc', '(a)(b)(c)', '%3%2%1%0')",
        "string.gsub('abc', '.', {a = 1, b = true})",
        "string.gsub('abc', '.', {a = false})",
        "string.gsub('a b c', '(%w)', function(c) if c == 'b' then return nil end return c:upper() end)",
        "string.gsub('a=1 b=2', '(%w)=(%w)', function(k, v) return v .. k end, 1)",
        "string.gsub('abc', '()', function(p) return p end)",
        "string.gsub('abc', '.', function() return {} end)",
        "string.gsub('abc', '', '-', 2)",
        "string.gsub('abc', '.', '-', -1)",
        "string.gsub('^abc', '^^', '-')",
        "string.gsub('aaa', 'a*', '-')",
        "string.gsub('hello', '^h', 'j', 5)",
        "string.gsub('abc', '%f[%w]', '|')",
        "(function() local t = {} for a in string.gmatch('aaa', 'a*') do t[#t + 1] = '[' .. a .. ']' end "
        "return table.concat(t) end)()",
        "(function() local t = {} for a in string.gmatch('^a^b', '^.') do t[#t + 1] = a end "
        "return table.concat(t, ';') end)()",
        "(function() local t = {} for a in string.gmatch('abc', 'b$') do t[#t + 1] = a end "
        "return table.concat(t, ';') end)()",
        "(function() local t = {} for a, b in string.gmatch('k1=v1;k2=v2', '(%w+)=()') do t[#t + 1] = a .. b end "
        "return table.concat(t, ';') end)()",
        "pcall(string.gmatch('abc', '%'))",
        "string.find(('a'):rep(4000), ('a?'):rep(4000) .. '$')",
        "string.find(('ab'):rep(300), ('(a)'):rep(30))",
        "string.match(('x'):rep(100) .. 'y', '.-.-.-y')",
        "string.gsub('abc', 'b', 'x', 2^32)",
        "string.gsub('abc', 'b', 'x', 2^31)",
        "string.find('abc', 'c', 2^32 + 1)",
        "string.gsub('abc', '(b)', 12)",
        "string.gsub('abc', '(b)', '%1%')",
        // The protected call, and the functions counted as they return, keep their results and
        // messages.
        "xpcall(function() return 1, nil, 3 end, print)",
        "xpcall(function() error('boom') end, function(e) return 'handled: ' .. e end)",
        "xpcall(function() error({}) end, function(e) return type(e) end)",
        "xpcall(nil, function(e) return e end)",
        "xpcall(function() end)",
        "xpcall()",
        "xpcall(function(...) return select('#', ...) end, print, 1, 2)",
        "string.upper()",
        "('abc'):upper(), ('ABC'):lower(), ('abc'):reverse(), ('hello'):sub(2, -2)",
        "string.format('%5.1f|%s|%q', 3.14159, 'x', 'a\\nb')",
        "string.format('%d', 'x')",
        "string.byte('abc', 1, -1)",
        "string.char(72, 105)",
        "string.char(256)",
        "tostring()",
        "tostring(12), tostring(nil), tostring(setmetatable({}, {__tostring = function() return 'T' end}))",
        "table.concat({1, 2, 3}, ', ', 2)",
        "table.concat({'a', 'b'}, '-', 1, 3)",
        "table.concat({}, 'x', 1, 0)",
        "table.concat({1, {}, 3})",
        "table.concat()",
        "pcall(string.dump, print)",
        "os.setlocale('C'), string.find('x1', '%d')",
        // Sorting and coroutines, watched as well, keep their results and messages.
        "(function() local t = {3, 1, 2, 'x'} return pcall(table.sort, t) end)()",
        "(function() local t = {'b', 'c', 'a'} table.sort(t) return table.concat(t) end)()",
        "(function() local t = {3, 1, 2} table.sort(t, function(a, b) return a > b end) return table.concat(t) end)()",
        "(function() local t = {} for i = 1, 50 do t[i] = 5 end table.sort(t, function() return true end) end)()",
        "(function() local m = {__lt = function() return true end} local t = {} "
        "for i = 1, 50 do t[i] = setmetatable({}, m) end table.sort(t) end)()",
        "table.sort()",
        "table.sort({}, 3)",
        "table.sort({2, 1}, nil)",
        "coroutine.wrap(function(a) return a, coroutine.yield(a + 1) end)(1)",
        "coroutine.wrap(function() error('boom') end)()",
        "coroutine.wrap(function() error(42) end)()",
        "type(select(2, pcall(coroutine.wrap(function() error({}, 0) end))))",
        "(function() local f = coroutine.wrap(function() end) f() return f() end)()",
        "coroutine.wrap(print)",
        "coroutine.wrap()",
        "coroutine.resume(1)",
        "coroutine.resume()",
        "pcall(coroutine.resume)",
        "(function() local co = coroutine.create(function(a) return coroutine.yield(a) * 2 end) "
        "return coroutine.resume(co, 3), coroutine.resume(co, 4), coroutine.resume(co) end)()",
        "coroutine.resume(coroutine.create(function() error('inside') end))",
        "coroutine.resume(coroutine.running() or coroutine.create(print))",
        "collectgarbage('x')",
        "pcall(collectgarbage, 'x')",
        "collectgarbage('step', 'y')",
        "collectgarbage(nil, 3)",
        "collectgarbage()",
        "collectgarbage('count') > 0, type(collectgarbage('step')), collectgarbage('setpause', 200)",
    };
    // NOLINTEND(bugprone-suspicious-missing-comma)
    for (const char* code : cases)
        EXPECT_EQ(Outcome(L(), code), Outcome(plain.get(), code)) << code;

    // Where Lua's own would recurse past the end of the C stack, ours stops with an error.
    const std::pair<const char*, const char*> deep[] = {
        {"pcall(string.find, ('a'):rep(150000), ('a?'):rep(150000) .. '$')",
         "2,boolean:false,string:pattern too complex"},
        {"pcall(string.match, ('a'):rep(6000), ('a?'):rep(6000))", "2,boolean:false,string:pattern too complex"},
        {"pcall(string.gsub, ('a'):rep(10), ('a-'):rep(6000) .. '$', '')",
         "2,boolean:false,string:pattern too complex"},
        {"pcall(string.find, 'a', ('x'):rep(1e6) .. ('%d'):rep(70000))", "2,boolean:false,string:pattern too complex"},
    };
    for (const auto& [code, expected] : deep)
        EXPECT_EQ(Outcome(L(), code), expected) << code;
}

// Long C work on strings counts toward the watchdog as it is done: with the count hook off, so
// that nothing but that count can stop a call, each of these is still stopped soon after the
// limit. Each runs for seconds at the least on a fast machine when nothing stops it (the gsub
// lines 8 to 84 s).
TEST_F(ScriptBoundsTest, LongStringWorkIsStoppedByItsOwnCount)
{
    constexpr double kLimit = 0.2;
    const WatchdogLimits limits(kLimit, ScriptManager::kDefaultMemoryCap);
    struct Case
    {
        const char* mName;
        const char* mCode;
    };
    const Case cases[] = {
        {"GsubCaptures", "string.gsub(('b'):rep(1e5), '(x?)', ('%1'):rep(1e6))"},
        {"GsubMoreCaptures", "string.gsub(('b'):rep(1e5), '(x?)', ('%1'):rep(2e6))"},
        {"GsubWholeMatches", "string.gsub(('b'):rep(1e5), '(x?)', ('%0'):rep(1e6))"},
        {"Rep", "for i = 1, 1e5 do string.rep('x', 1e6) end"},
        {"Format", "local s = ('x'):rep(1e6) for i = 1, 2e5 do string.format('%s%s', s, s) end"},
        {"Concat", "local t = {} for i = 1, 1e5 do t[i] = '' end for i = 1, 1e4 do table.concat(t) end"},
        {"Upper", "local s = ('x'):rep(1e6) for i = 1, 2e4 do s:upper() end"},
        {"Lower", "local s = ('X'):rep(1e6) for i = 1, 2e4 do s:lower() end"},
        {"Reverse", "local s = ('xy'):rep(5e5) for i = 1, 2e4 do s:reverse() end"},
        {"Sub", "local s = ('x'):rep(1e6) for i = 1, 4e5 do s:sub(2) end"},
        {"Char", "local b = {} for i = 1, 7000 do b[i] = 120 end for i = 1, 4e5 do string.char(unpack(b)) end"},
        {"Byte", "local s = ('x'):rep(7000) for i = 1, 2e6 do s:byte(1, -1) end"},
        {"Tostring", "local s = ('x'):rep(1e6) for i = 1, 1e9 do tostring(s) end"},
        {"PlainFind", "local s = ('x'):rep(1e6) for i = 1, 1e6 do s:find('y', 1, true) end"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        ASSERT_TRUE(Run(std::string("function ") + c.mName + "() " + c.mCode + " end"));
        lua_sethook(L(), nullptr, 0, 0);
        const uint32_t mark = LogMark();
        // Processor time, which a busy machine does not stretch: the stop comes at the limit of
        // wall time, and after it only one counted piece of work runs.
        const std::clock_t start = std::clock();
        ParamBuffer none;
        EXPECT_FALSE(Scripts().CallFunction(c.mName, none));
        const double took = double(std::clock() - start) / CLOCKS_PER_SEC;
        EXPECT_EQ(LoggedSince(mark), std::vector<std::string>{std::string("Lua Error: ") + c.mName + " took too long"});
        EXPECT_LT(took, kLimit + 1.0);
        // The next call is watched by the hook again, and the state works.
        EXPECT_NE(lua_gethook(L()), nullptr);
        EXPECT_EQ(Number("40 + 2"), 42.0);
    }
}

// The metatables scripts reach still work as before; what they cannot do is hide a finaliser
// from the watchdog or unprotect the metatable.
TEST_F(ScriptBoundsTest, FinalisersRunWatchedAndMetatablesStayUsable)
{
    ASSERT_TRUE(Run(R"(
        Finalised = 0
        local p = newproxy(true)
        local meta = getmetatable(p)
        meta.__index = function(_, key) return key .. "!" end
        meta.__gc = function() Finalised = Finalised + 1 end
        Indexed = p.hey
        Shared = getmetatable(newproxy(p)) == meta
        GcRead = type(meta.__gc)
        p = nil
        collectgarbage()
        collectgarbage()
    )"));
    // The proxy and the one made to share its metatable.
    EXPECT_EQ(Number("Finalised"), 2.0);
    EXPECT_EQ(String("Indexed"), "hey!");
    EXPECT_TRUE(True("Shared"));
    EXPECT_EQ(String("GcRead"), "function");
    // File handles keep their methods; their metatable is no way around the guard.
    EXPECT_TRUE(True("io.stdout.write ~= nil and io.stdout.__index == nil"));
    EXPECT_EQ(TypeOf("getmetatable(io.stdout).__index.close"), "function");
    EXPECT_FALSE(Run("getmetatable(Vector3()).__metatable = nil"));
    EXPECT_EQ(TypeOf("getmetatable(getmetatable(Vector3()))"), "boolean");

    // A finaliser that errs, or runs away, from the engine's own collection (no script running)
    // is reported and the engine goes on.
    const WatchdogLimits limits(0.2, size_t(64) << 20);
    ASSERT_TRUE(Run(R"(
        local a = newproxy(true)
        getmetatable(a).__gc = function() error("finaliser boom") end
        local b = newproxy(true)
        getmetatable(b).__gc = function() while true do end end
    )"));
    const uint32_t mark = LogMark();
    lua_gc(L(), LUA_GCCOLLECT, 0);
    std::vector<std::string> logged = LoggedSince(mark);
    // Lua picks the order.
    std::sort(logged.begin(), logged.end());
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], "Lua Error: a finaliser took too long");
    EXPECT_EQ(logged[1].rfind("Lua Error: finaliser: ", 0), 0u) << logged[1];
    EXPECT_NE(logged[1].find("finaliser boom"), std::string::npos) << logged[1];
    EXPECT_EQ(Number("40 + 2"), 42.0);
}

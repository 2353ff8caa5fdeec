#include "LOOM/script/ScriptBounds.h"

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstring>

#include <lua.hpp>

#include "LOOM/script/ScriptManager.h"
#include "LOOM/script/ScriptTypes.h"

// Lua raises by longjmp: nothing here keeps a C++ object with a destructor alive across a call
// that may raise.

namespace {

// Pattern steps between two looks at the watchdog's clock.
constexpr unsigned kStepsPerCheck = 4096;

// ---- Handlers -------------------------------------------------------------------------------

// Upvalue 1 is the script's handler. Lua calls a handler again for an error raised inside it,
// then with the hook off: once the watchdog is stopping the call, no script code runs here.
int GuardedHandler(lua_State* L)
{
    if (const char* stop = ScriptManager::Instance().WatchdogStop())
    {
        lua_pushstring(L, stop);
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

// xpcall as the base library has it, with the handler guarded.
int GuardedXpcall(lua_State* L)
{
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    ScriptBounds::GuardHandler(L);
    lua_insert(L, 1);
    const int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// ---- Finalisers -----------------------------------------------------------------------------

// The key, in a shielded metatable, of the script's own finaliser.
char gScriptFinaliser;

// The collector runs a __gc with the hook off: the metatable's __gc is this one, which runs the
// script's finaliser where the watchdog sees it.
int RunScriptFinaliser(lua_State* L)
{
    if (!lua_getmetatable(L, 1))
        return 0;
    lua_pushlightuserdata(L, &gScriptFinaliser);
    lua_rawget(L, -2);
    if (lua_isfunction(L, -1))
        ScriptManager::Instance().RunFinaliser(L, lua_gettop(L), 1);
    return 0;
}

// The script-side face of a userdata metatable (upvalue 1): reads and writes go through, but a
// __gc written is kept aside and run by RunScriptFinaliser.
int ShieldIndex(lua_State* L)
{
    if (lua_type(L, 2) == LUA_TSTRING && std::strcmp(lua_tostring(L, 2), "__gc") == 0)
    {
        lua_pushlightuserdata(L, &gScriptFinaliser);
        lua_rawget(L, lua_upvalueindex(1));
        if (!lua_isnil(L, -1))
            return 1;
        lua_pop(L, 1);
    }
    lua_pushvalue(L, 2);
    lua_rawget(L, lua_upvalueindex(1));
    return 1;
}

int ShieldNewIndex(lua_State* L)
{
    lua_settop(L, 3);
    if (lua_type(L, 2) == LUA_TSTRING)
    {
        const char* key = lua_tostring(L, 2);
        if (std::strcmp(key, "__metatable") == 0)
            return luaL_error(L, "the metatable of this value is protected");
        if (std::strcmp(key, "__gc") == 0)
        {
            lua_pushlightuserdata(L, &gScriptFinaliser);
            lua_pushvalue(L, 3);
            lua_rawset(L, lua_upvalueindex(1));
            if (lua_isnil(L, 3))
                lua_pushnil(L);
            else
                lua_pushcfunction(L, &RunScriptFinaliser);
            lua_replace(L, 3);
        }
    }
    lua_rawset(L, lua_upvalueindex(1));
    return 0;
}

// Scripts reach the userdata metatable at index only through a table that keeps __gc aside.
void Shield(lua_State* L, int meta)
{
    if (meta < 0)
        meta = lua_gettop(L) + meta + 1;
    // A metatable that is its own __index (the file handles') hands itself out through every
    // value: the methods go to a copy of their own.
    lua_getfield(L, meta, "__index");
    const bool ownIndex = lua_rawequal(L, -1, meta) != 0;
    lua_pop(L, 1);
    if (ownIndex)
    {
        lua_newtable(L);
        lua_pushnil(L);
        while (lua_next(L, meta) != 0)
        {
            const bool metamethod = lua_type(L, -2) == LUA_TSTRING && std::strncmp(lua_tostring(L, -2), "__", 2) == 0;
            if (metamethod)
            {
                lua_pop(L, 1);
                continue;
            }
            lua_pushvalue(L, -2);
            lua_insert(L, -2);
            lua_rawset(L, -4);
        }
        lua_setfield(L, meta, "__index");
    }
    lua_newtable(L);
    lua_newtable(L);
    lua_pushvalue(L, meta);
    lua_pushcclosure(L, &ShieldIndex, 1);
    lua_setfield(L, -2, "__index");
    lua_pushvalue(L, meta);
    lua_pushcclosure(L, &ShieldNewIndex, 1);
    lua_setfield(L, -2, "__newindex");
    lua_pushboolean(L, 0);
    lua_setfield(L, -2, "__metatable");
    lua_setmetatable(L, -2);
    lua_setfield(L, meta, "__metatable");
}

// newproxy (upvalue 1) with a new metatable shielded.
int GuardedNewproxy(lua_State* L)
{
    lua_settop(L, 1);
    const bool fresh = lua_isboolean(L, 1) && lua_toboolean(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, 1, 1);
    if (fresh && lua_getmetatable(L, -1))
    {
        Shield(L, -1);
        lua_pop(L, 1);
    }
    return 1;
}

// ---- string.rep -----------------------------------------------------------------------------

// Built by doubling, not piece by piece: an empty or a one-character string repeated two
// thousand million times would take seconds of C work the hook never sees.
int BoundedRep(lua_State* L)
{
    size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const lua_Number times = std::floor(luaL_checknumber(L, 2));
    if (length == 0 || !(times >= 1.0))
    {
        lua_pushliteral(L, "");
        return 1;
    }
    // Far past any memory cap; the allocator refuses anything over the cap itself.
    if (double(length) * times > 1099511627776.0)
        return luaL_error(L, "resulting string too large");
    const size_t total = length * size_t(times);
    char* buffer = static_cast<char*>(lua_newuserdata(L, total));
    std::memcpy(buffer, text, length);
    for (size_t done = length; done < total;)
    {
        const size_t copy = done < total - done ? done : total - done;
        std::memcpy(buffer + done, buffer, copy);
        done += copy;
    }
    lua_pushlstring(L, buffer, total);
    return 1;
}

// ---- Patterns -------------------------------------------------------------------------------
// Lua 5.1's pattern matching, counting its steps: a backtracking pattern can take longer than
// any time limit inside one call, where the hook never runs.

constexpr char kEscape = '%';
constexpr const char* kSpecials = "^$*+?.([%-";
constexpr int kMaxCaptures = 32;
constexpr ptrdiff_t kCapUnfinished = -1;
constexpr ptrdiff_t kCapPosition = -2;

struct MatchState
{
    const char* srcInit;
    const char* srcEnd;
    lua_State* L;
    int level;
    unsigned steps;
    struct
    {
        const char* init;
        ptrdiff_t len;
    } capture[kMaxCaptures];
};

int Uchar(char c) { return static_cast<unsigned char>(c); }

void Step(MatchState* ms)
{
    if (++ms->steps % kStepsPerCheck == 0)
        ScriptManager::Instance().RaiseIfStopped(ms->L);
}

const char* Match(MatchState* ms, const char* s, const char* p);

int CheckCapture(MatchState* ms, int l)
{
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCapUnfinished)
        return luaL_error(ms->L, "invalid capture index");
    return l;
}

int CaptureToClose(MatchState* ms)
{
    int level = ms->level;
    for (level--; level >= 0; level--)
        if (ms->capture[level].len == kCapUnfinished)
            return level;
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* ClassEnd(MatchState* ms, const char* p)
{
    switch (*p++)
    {
    case kEscape:
        if (*p == '\0')
            luaL_error(ms->L, "malformed pattern (ends with '%%')");
        return p + 1;
    case '[':
        if (*p == '^')
            p++;
        do
        {
            if (*p == '\0')
                luaL_error(ms->L, "malformed pattern (missing ']')");
            if (*(p++) == kEscape && *p != '\0')
                p++;
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

int MatchClass(int c, int cl)
{
    int res = 0;
    switch (std::tolower(cl))
    {
    case 'a':
        res = std::isalpha(c);
        break;
    case 'c':
        res = std::iscntrl(c);
        break;
    case 'd':
        res = std::isdigit(c);
        break;
    case 'l':
        res = std::islower(c);
        break;
    case 'p':
        res = std::ispunct(c);
        break;
    case 's':
        res = std::isspace(c);
        break;
    case 'u':
        res = std::isupper(c);
        break;
    case 'w':
        res = std::isalnum(c);
        break;
    case 'x':
        res = std::isxdigit(c);
        break;
    case 'z':
        res = (c == 0);
        break;
    default:
        return cl == c;
    }
    return std::islower(cl) ? res : !res;
}

int MatchBracketClass(int c, const char* p, const char* ec)
{
    int sig = 1;
    if (*(p + 1) == '^')
    {
        sig = 0;
        p++;
    }
    while (++p < ec)
    {
        if (*p == kEscape)
        {
            p++;
            if (MatchClass(c, Uchar(*p)))
                return sig;
        }
        else if (*(p + 1) == '-' && p + 2 < ec)
        {
            p += 2;
            if (Uchar(*(p - 2)) <= c && c <= Uchar(*p))
                return sig;
        }
        else if (Uchar(*p) == c)
            return sig;
    }
    return !sig;
}

int SingleMatch(int c, const char* p, const char* ep)
{
    switch (*p)
    {
    case '.':
        return 1;
    case kEscape:
        return MatchClass(c, Uchar(*(p + 1)));
    case '[':
        return MatchBracketClass(c, p, ep - 1);
    default:
        return Uchar(*p) == c;
    }
}

const char* MatchBalance(MatchState* ms, const char* s, const char* p)
{
    if (*p == 0 || *(p + 1) == 0)
        luaL_error(ms->L, "unbalanced pattern");
    if (*s != *p)
        return nullptr;
    const char b = *p;
    const char e = *(p + 1);
    int cont = 1;
    while (++s < ms->srcEnd)
    {
        // Linear, but from every start of a long subject.
        Step(ms);
        if (*s == e)
        {
            if (--cont == 0)
                return s + 1;
        }
        else if (*s == b)
            cont++;
    }
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    ptrdiff_t i = 0;
    while (s + i < ms->srcEnd && SingleMatch(Uchar(*(s + i)), p, ep))
    {
        Step(ms);
        i++;
    }
    while (i >= 0)
    {
        const char* res = Match(ms, s + i, ep + 1);
        if (res)
            return res;
        i--;
    }
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep)
{
    for (;;)
    {
        const char* res = Match(ms, s, ep + 1);
        if (res)
            return res;
        if (s < ms->srcEnd && SingleMatch(Uchar(*s), p, ep))
            s++;
        else
            return nullptr;
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, ptrdiff_t what)
{
    const int level = ms->level;
    if (level >= kMaxCaptures)
        luaL_error(ms->L, "too many captures");
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    const char* res = Match(ms, s, p);
    if (!res)
        ms->level--;
    return res;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p)
{
    const int l = CaptureToClose(ms);
    ms->capture[l].len = s - ms->capture[l].init;
    const char* res = Match(ms, s, p);
    if (!res)
        ms->capture[l].len = kCapUnfinished;
    return res;
}

const char* MatchCapture(MatchState* ms, const char* s, int l)
{
    l = CheckCapture(ms, l);
    const size_t len = size_t(ms->capture[l].len);
    if (size_t(ms->srcEnd - s) >= len && std::memcmp(ms->capture[l].init, s, len) == 0)
        return s + len;
    return nullptr;
}

const char* Match(MatchState* ms, const char* s, const char* p)
{
    Step(ms);
    for (;;)
    {
        switch (*p)
        {
        case '(':
            if (*(p + 1) == ')')
                return StartCapture(ms, s, p + 2, kCapPosition);
            return StartCapture(ms, s, p + 1, kCapUnfinished);
        case ')':
            return EndCapture(ms, s, p + 1);
        case '\0':
            return s;
        case '$':
            if (*(p + 1) == '\0')
                return s == ms->srcEnd ? s : nullptr;
            break;
        case kEscape:
            if (*(p + 1) == 'b')
            {
                s = MatchBalance(ms, s, p + 2);
                if (!s)
                    return nullptr;
                p += 4;
                continue;
            }
            if (*(p + 1) == 'f')
            {
                p += 2;
                if (*p != '[')
                    luaL_error(ms->L, "missing '[' after '%%f' in pattern");
                const char* ep = ClassEnd(ms, p);
                const char previous = s == ms->srcInit ? '\0' : *(s - 1);
                if (MatchBracketClass(Uchar(previous), p, ep - 1) || !MatchBracketClass(Uchar(*s), p, ep - 1))
                    return nullptr;
                p = ep;
                continue;
            }
            if (std::isdigit(Uchar(*(p + 1))))
            {
                s = MatchCapture(ms, s, Uchar(*(p + 1)));
                if (!s)
                    return nullptr;
                p += 2;
                continue;
            }
            break;
        default:
            break;
        }
        // A single-character class, maybe with a repetition.
        const char* ep = ClassEnd(ms, p);
        const bool m = s < ms->srcEnd && SingleMatch(Uchar(*s), p, ep);
        switch (*ep)
        {
        case '?':
        {
            const char* res = nullptr;
            if (m && (res = Match(ms, s + 1, ep + 1)) != nullptr)
                return res;
            p = ep + 1;
            continue;
        }
        case '*':
            return MaxExpand(ms, s, p, ep);
        case '+':
            return m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
        case '-':
            return MinExpand(ms, s, p, ep);
        default:
            if (!m)
                return nullptr;
            s++;
            p = ep;
            continue;
        }
    }
}

void PushOneCapture(MatchState* ms, int i, const char* s, const char* e)
{
    if (i >= ms->level)
    {
        if (i == 0)
            lua_pushlstring(ms->L, s, size_t(e - s));
        else
            luaL_error(ms->L, "invalid capture index");
        return;
    }
    const ptrdiff_t l = ms->capture[i].len;
    if (l == kCapUnfinished)
        luaL_error(ms->L, "unfinished capture");
    if (l == kCapPosition)
        lua_pushinteger(ms->L, ms->capture[i].init - ms->srcInit + 1);
    else
        lua_pushlstring(ms->L, ms->capture[i].init, size_t(l));
}

int PushCaptures(MatchState* ms, const char* s, const char* e)
{
    const int levels = (ms->level == 0 && s) ? 1 : ms->level;
    luaL_checkstack(ms->L, levels, "too many captures");
    for (int i = 0; i < levels; i++)
        PushOneCapture(ms, i, s, e);
    return levels;
}

void InitState(MatchState* ms, lua_State* L, const char* s, size_t length)
{
    ms->L = L;
    ms->srcInit = s;
    ms->srcEnd = s + length;
    ms->level = 0;
    ms->steps = 0;
}

ptrdiff_t StartAt(lua_Integer pos, size_t length)
{
    if (pos < 0)
        pos += lua_Integer(length) + 1;
    return pos >= 0 ? ptrdiff_t(pos) : 0;
}

int FindAux(lua_State* L, bool find)
{
    size_t l1 = 0, l2 = 0;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    ptrdiff_t init = StartAt(luaL_optinteger(L, 3, 1), l1) - 1;
    if (init < 0)
        init = 0;
    else if (size_t(init) > l1)
        init = ptrdiff_t(l1);
    if (find && (lua_toboolean(L, 4) || std::strpbrk(p, kSpecials) == nullptr))
    {
        // memmem is linear, where a naive search is not.
        const void* found = l2 == 0 ? s + init : memmem(s + init, l1 - size_t(init), p, l2);
        if (found)
        {
            const ptrdiff_t at = static_cast<const char*>(found) - s;
            lua_pushinteger(L, at + 1);
            lua_pushinteger(L, at + ptrdiff_t(l2));
            return 2;
        }
    }
    else
    {
        MatchState ms;
        const bool anchor = *p == '^';
        if (anchor)
            p++;
        const char* s1 = s + init;
        InitState(&ms, L, s, l1);
        do
        {
            ms.level = 0;
            const char* res = Match(&ms, s1, p);
            if (res)
            {
                if (find)
                {
                    lua_pushinteger(L, s1 - s + 1);
                    lua_pushinteger(L, res - s);
                    return PushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return PushCaptures(&ms, s1, res);
            }
        } while (s1++ < ms.srcEnd && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

int BoundedFind(lua_State* L) { return FindAux(L, true); }

int BoundedMatch(lua_State* L) { return FindAux(L, false); }

int GmatchStep(lua_State* L)
{
    MatchState ms;
    size_t length = 0;
    const char* s = lua_tolstring(L, lua_upvalueindex(1), &length);
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    InitState(&ms, L, s, length);
    for (const char* src = s + size_t(lua_tointeger(L, lua_upvalueindex(3))); src <= ms.srcEnd; src++)
    {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e)
        {
            lua_Integer next = e - s;
            if (e == src)
                next++;
            lua_pushinteger(L, next);
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

int BoundedGmatch(lua_State* L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, &GmatchStep, 3);
    return 1;
}

void AddString(MatchState* ms, luaL_Buffer* b, const char* s, const char* e)
{
    size_t l = 0;
    const char* news = lua_tolstring(ms->L, 3, &l);
    for (size_t i = 0; i < l; i++)
    {
        if (news[i] != kEscape)
            luaL_addchar(b, news[i]);
        else
        {
            i++;
            if (!std::isdigit(Uchar(news[i])))
                luaL_addchar(b, news[i]);
            else if (news[i] == '0')
                luaL_addlstring(b, s, size_t(e - s));
            else
            {
                PushOneCapture(ms, news[i] - '1', s, e);
                luaL_addvalue(b);
            }
        }
    }
}

void AddValue(MatchState* ms, luaL_Buffer* b, const char* s, const char* e)
{
    lua_State* L = ms->L;
    switch (lua_type(L, 3))
    {
    case LUA_TNUMBER:
    case LUA_TSTRING:
        AddString(ms, b, s, e);
        return;
    case LUA_TFUNCTION:
    {
        lua_pushvalue(L, 3);
        const int n = PushCaptures(ms, s, e);
        lua_call(L, n, 1);
        break;
    }
    case LUA_TTABLE:
        PushOneCapture(ms, 0, s, e);
        lua_gettable(L, 3);
        break;
    default:
        break;
    }
    if (!lua_toboolean(L, -1))
    {
        lua_pop(L, 1);
        lua_pushlstring(L, s, size_t(e - s));
    }
    else if (!lua_isstring(L, -1))
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    luaL_addvalue(b);
}

int BoundedGsub(lua_State* L)
{
    size_t srcl = 0;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    const int tr = lua_type(L, 3);
    const lua_Integer maxS = luaL_optinteger(L, 4, lua_Integer(srcl) + 1);
    const bool anchor = *p == '^';
    if (anchor)
        p++;
    lua_Integer n = 0;
    luaL_argcheck(L, tr == LUA_TNUMBER || tr == LUA_TSTRING || tr == LUA_TFUNCTION || tr == LUA_TTABLE, 3,
                  "string/function/table expected");
    MatchState ms;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    InitState(&ms, L, src, srcl);
    while (n < maxS)
    {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e)
        {
            n++;
            AddValue(&ms, &b, src, e);
        }
        if (e && e > src)
            src = e;
        else if (src < ms.srcEnd)
            luaL_addchar(&b, *src++);
        else
            break;
        if (anchor)
            break;
    }
    luaL_addlstring(&b, src, size_t(ms.srcEnd - src));
    luaL_pushresult(&b);
    lua_pushinteger(L, n);
    return 2;
}

void SetFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, table, name);
}

} // namespace

void ScriptBounds::GuardHandler(lua_State* L) { lua_pushcclosure(L, &GuardedHandler, 1); }

void ScriptBounds::Install(lua_State* L)
{
    SetFunction(L, LUA_GLOBALSINDEX, "xpcall", &GuardedXpcall);

    lua_getfield(L, LUA_GLOBALSINDEX, "newproxy");
    if (lua_isfunction(L, -1))
    {
        lua_pushcclosure(L, &GuardedNewproxy, 1);
        lua_setfield(L, LUA_GLOBALSINDEX, "newproxy");
    }
    else
    {
        lua_pop(L, 1);
    }

    lua_getfield(L, LUA_GLOBALSINDEX, LUA_STRLIBNAME);
    if (lua_istable(L, -1))
    {
        const int table = lua_gettop(L);
        SetFunction(L, table, "find", &BoundedFind);
        SetFunction(L, table, "match", &BoundedMatch);
        SetFunction(L, table, "gmatch", &BoundedGmatch);
        lua_getfield(L, table, "gfind");
        const bool gfind = lua_isfunction(L, -1);
        lua_pop(L, 1);
        if (gfind)
            SetFunction(L, table, "gfind", &BoundedGmatch);
        SetFunction(L, table, "gsub", &BoundedGsub);
        SetFunction(L, table, "rep", &BoundedRep);
    }
    lua_pop(L, 1);

    // Every userdata metatable a script can reach: a __gc written into it would run unwatched.
    const char* metas[] = {"FILE*",
                           ScriptTypes::kVectorMeta,
                           ScriptTypes::kQuatMeta,
                           ScriptTypes::kColorMeta,
                           ScriptTypes::kConfigMeta,
                           ScriptTypes::kCogMeta};
    for (const char* meta : metas)
    {
        luaL_getmetatable(L, meta);
        if (lua_istable(L, -1))
            Shield(L, -1);
        lua_pop(L, 1);
    }
}

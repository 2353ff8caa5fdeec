#include "LOOM/script/ScriptBounds.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include <lua.hpp>

#include "LOOM/console/Console.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/script/ScriptPatterns.h"
#include "LOOM/script/ScriptTypes.h"

// Lua raises by longjmp: nothing here keeps a C++ object with a destructor alive across a call
// that may raise (lua_load is protected: what the reader raises stops there).

namespace {

// ---- Handlers -------------------------------------------------------------------------------

// Upvalue 1 is the script's handler. Lua calls a handler for an error a hook raised with the
// hook off: it runs in a thread of its own, where the hook is on. Once the watchdog is stopping
// the call, no script code runs here. What the handler raises stands as its result.
int GuardedHandler(lua_State* L)
{
    if (const char* stop = ScriptManager::Instance().WatchdogStop())
    {
        lua_pushstring(L, stop);
        return 1;
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    ScriptManager::Instance().CallInThread(L, lua_gettop(L) - 1, 1);
    return 1;
}

// xpcall(f, handler): f runs under the guarded handler; true and f's results, or false and
// what the handler made of the error. The handler and a true wait below f and are its frame's
// only extras, so the results are returned where they land.
int ProtectedCall(lua_State* L)
{
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    ScriptBounds::GuardHandler(L);
    lua_insert(L, 1);
    lua_pushboolean(L, 1);
    lua_insert(L, 2);
    if (lua_pcall(L, 0, LUA_MULTRET, 1) != 0)
    {
        lua_pushboolean(L, 0);
        lua_replace(L, 2);
    }
    return lua_gettop(L) - 1;
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

// ---- Building and copying strings -----------------------------------------------------------

// string.rep, built by doubling and counted as it is written: the watchdog's hook sees none of it.
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
    ScriptBounds::Count(L, length);
    std::memcpy(buffer, text, length);
    for (size_t done = length; done < total;)
    {
        const size_t copy = std::min(done, total - done);
        ScriptBounds::Count(L, copy);
        std::memcpy(buffer + done, buffer, copy);
        done += copy;
    }
    ScriptBounds::Count(L, total);
    lua_pushlstring(L, buffer, total);
    return 1;
}

// Runs the library's own function (upvalue 1) in this very call, so that its errors name the
// function as the script called it.
int RunOriginal(lua_State* L) { return lua_tocfunction(L, lua_upvalueindex(1))(L); }

// The string functions whose results a script can make long (format, upper, sub, tostring ...):
// every character they give back is counted once they return.
int CountedResults(lua_State* L)
{
    const int results = RunOriginal(L);
    size_t characters = size_t(results);
    for (int i = 1; i <= results; ++i)
        if (lua_type(L, -i) == LUA_TSTRING)
            characters += lua_objlen(L, -i);
    ScriptBounds::Count(L, characters);
    return results;
}

// table.concat: the characters it wrote and the elements it read, empty ones too.
int CountedConcat(lua_State* L)
{
    const int results = RunOriginal(L);
    // Its arguments passed its own checks.
    const lua_Integer first = lua_isnoneornil(L, 3) ? 1 : lua_tointeger(L, 3);
    const lua_Integer last = lua_isnoneornil(L, 4) ? lua_Integer(lua_objlen(L, 1)) : lua_tointeger(L, 4);
    const size_t elements = last >= first ? size_t(last - first) + 1 : 0;
    ScriptBounds::Count(L, elements + lua_objlen(L, -1));
    return results;
}

// os.setlocale: the pattern classes follow the locale.
int LocaleChange(lua_State* L)
{
    const int results = RunOriginal(L);
    ScriptPatterns::ReadClasses();
    return results;
}

// ---- table.sort -----------------------------------------------------------------------------

// The order table.sort uses without an order function, with the bytes it compares counted: the
// sort compares in C, where the hook never runs, and two long strings take milliseconds.
int CountedLess(lua_State* L)
{
    size_t cost = 1;
    if (lua_type(L, 1) == LUA_TSTRING && lua_type(L, 2) == LUA_TSTRING)
        cost += std::min(lua_objlen(L, 1), lua_objlen(L, 2));
    ScriptBounds::Count(L, cost);
    lua_pushboolean(L, lua_lessthan(L, 1, 2));
    return 1;
}

// table.sort (upvalue 1) with CountedLess for a missing order function. Its arguments are
// checked here, so the messages name the caller as before.
int BoundedSort(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    if (!lua_isnoneornil(L, 2))
        luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    if (lua_isnil(L, 2))
    {
        lua_pushcfunction(L, &CountedLess);
        lua_replace(L, 2);
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    if (lua_pcall(L, 2, 0, 0) == 0)
        return 0;
    // Sort's own error names the line it was called from; called from here, it names none.
    if (lua_type(L, -1) == LUA_TSTRING && std::strcmp(lua_tostring(L, -1), "invalid order function for sorting") == 0)
    {
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

// ---- collectgarbage ---------------------------------------------------------------------------

// collectgarbage (upvalue 1) reading the clock after its work: a full collection of many small
// values takes milliseconds of C work, and a loop of them goes on for seconds between two hooks.
// Its arguments are checked here, so the messages name the caller as before.
int WatchedCollect(lua_State* L)
{
    static const char* const options[] = {"stop", "restart",  "collect",    "count",
                                          "step", "setpause", "setstepmul", nullptr};
    luaL_checkoption(L, 1, "collect", options);
    luaL_optint(L, 2, 0);
    const int count = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, count, LUA_MULTRET);
    ScriptManager::Instance().RaiseIfStopped(L);
    return lua_gettop(L);
}

// ---- Coroutines -----------------------------------------------------------------------------
// The watchdog learns which thread runs, so that a large value made in a coroutine arms that
// coroutine's hook at once, as the main thread's.

// Calls the function below the top count values with the thread entered; the values it
// returns are left. Lua's own raised error travels on, with the line called from put before
// the text when the function would have named it (text is its own message, or null for any).
int CallEntered(lua_State* L, lua_State* thread, int count, const char* named)
{
    ScriptManager& scripts = ScriptManager::Instance();
    scripts.EnterThread(thread);
    const int status = lua_pcall(L, count, LUA_MULTRET, 0);
    scripts.LeaveThread();
    if (status == 0)
        return lua_gettop(L);
    if (lua_isstring(L, -1) && (!named || std::strcmp(lua_tostring(L, -1), named) == 0))
    {
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

// coroutine.resume (upvalue 1). A coroutine's errors come back as values; its own raise only.
int WatchedResume(lua_State* L)
{
    lua_State* thread = lua_tothread(L, 1);
    luaL_argcheck(L, thread, 1, "coroutine expected");
    const int count = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    return CallEntered(L, thread, count, "too many arguments to resume");
}

// What coroutine.wrap made (upvalue 1) for its thread (upvalue 2): it puts the caller's line
// before every text it raises.
int WatchedWrapped(lua_State* L)
{
    const int count = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    return CallEntered(L, lua_tothread(L, lua_upvalueindex(2)), count, nullptr);
}

// coroutine.wrap (upvalue 1).
int WatchedWrap(lua_State* L)
{
    luaL_argcheck(L, lua_isfunction(L, 1) && !lua_iscfunction(L, 1), 1, "Lua function expected");
    lua_settop(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, 1, 1);
    // The made function keeps its thread as its first value.
    if (lua_getupvalue(L, -1, 1) && lua_isthread(L, -1))
    {
        lua_pushcclosure(L, &WatchedWrapped, 2);
        return 1;
    }
    lua_settop(L, 1);
    return 1;
}

// ---- Loading chunks --------------------------------------------------------------------------

// Source bytes handed to the parser at a time. The parser runs no hook: the clock is read
// between blocks, and string constants that share one hash chain make even a block costly.
constexpr size_t kLoadBlock = 1024;

// Feeds one chunk to the parser in blocks and keeps what the parser reads: the chunk's name
// and, for a chunk a script's function gives piece by piece, a copy of the piece being read.
// Nothing the parser reads lives on the script stack, where the function's next call or a
// collection could take it away. Lives in the frame that calls lua_load: the reader may raise
// only inside the parser, which lua_load protects.
class ChunkReader
{
public:
    ChunkReader(std::string name, std::string shown) : mName(std::move(name)), mShown(std::move(shown)) {}

    // A text that outlives the load.
    void FromText(const char* text, size_t size)
    {
        mNext = text;
        mLeft = size;
    }
    // Pieces from the function at that stack index, until it gives nil or an empty string.
    void FromFunction(int index) { mFunction = index; }

    // Pushes the function or the message why not (the watchdog's own when Stopped). Never raises.
    ScriptBounds::Loaded Load(lua_State* L);

private:
    static const char* Read(lua_State* L, void* data, size_t* size);
    // The script's function gives its next piece; false at the end.
    bool NextPiece(lua_State* L);
    // Lua cuts a long name short in its messages; the reader's message names the chunk whole.
    void NameWhole(lua_State* L) const;

    std::string mName;
    std::string mShown;
    std::string mPiece;
    const char* mNext = nullptr;
    size_t mLeft = 0;
    int mFunction = 0;
    bool mStarted = false;
    bool mBinary = false;
    bool mStopped = false;
};

bool ChunkReader::NextPiece(lua_State* L)
{
    lua_pushvalue(L, mFunction);
    lua_call(L, 0, 1);
    const int type = lua_type(L, -1);
    if (type != LUA_TNIL && type != LUA_TSTRING)
    {
        lua_pushliteral(L, "reader function must return a string");
        lua_error(L);
    }
    size_t length = 0;
    const char* piece = type == LUA_TSTRING ? lua_tolstring(L, -1, &length) : "";
    ScriptBounds::Count(L, length);
    mPiece.assign(piece, length);
    lua_pop(L, 1);
    mNext = mPiece.data();
    mLeft = mPiece.size();
    return mLeft > 0;
}

const char* ChunkReader::Read(lua_State* L, void* data, size_t* size)
{
    auto& reader = *static_cast<ChunkReader*>(data);
    *size = 0;
    if (reader.mBinary || reader.mStopped)
        return nullptr;
    if (ScriptManager::Instance().WatchdogStop())
    {
        reader.mStopped = true;
        return nullptr;
    }
    if (reader.mLeft == 0 && (reader.mFunction == 0 || !reader.NextPiece(L)))
    {
        reader.mFunction = 0;
        return nullptr;
    }
    // Lua takes a chunk starting with the signature's first byte as precompiled.
    if (!reader.mStarted && reader.mNext[0] == LUA_SIGNATURE[0])
    {
        reader.mBinary = true;
        return nullptr;
    }
    reader.mStarted = true;
    const char* block = reader.mNext;
    *size = std::min(reader.mLeft, kLoadBlock);
    reader.mNext += *size;
    reader.mLeft -= *size;
    return block;
}

void ChunkReader::NameWhole(lua_State* L) const
{
    if (mName.empty() || (mName[0] != '=' && mName[0] != '@') || lua_type(L, -1) != LUA_TSTRING)
        return;
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    const std::string_view message(text, length);
    // "=name" is cut to its start; "@file" to "..." and its end.
    size_t cut = 0;
    if (mName[0] == '=')
    {
        while (cut < message.size() && cut < mShown.size() && message[cut] == mShown[cut])
            ++cut;
        if (cut == mShown.size() || cut == 0 || cut >= message.size() || message[cut] != ':')
            return;
    }
    else
    {
        if (message.substr(0, 3) != "...")
            return;
        for (cut = message.find(':', 3); cut != std::string_view::npos; cut = message.find(':', cut + 1))
        {
            const std::string_view end = message.substr(3, cut - 3);
            if (end.size() < mShown.size() && mShown.compare(mShown.size() - end.size(), end.size(), end) == 0)
                break;
        }
        if (cut == std::string_view::npos)
            return;
    }
    std::string whole = mShown;
    whole.append(message.substr(cut));
    lua_pop(L, 1);
    lua_pushlstring(L, whole.data(), whole.size());
}

ScriptBounds::Loaded ChunkReader::Load(lua_State* L)
{
    const int status = lua_load(L, &ChunkReader::Read, this, mName.c_str());
    // A stop seen by the piece function's hook comes back as its error.
    const char* stop = ScriptManager::Instance().WatchdogStop();
    // The callers keep C++ objects alive: these pushes must not raise.
    const ScriptManager::EngineSide engine;
    if (mStopped || (status != 0 && stop))
    {
        lua_pop(L, 1);
        lua_pushstring(L, stop ? stop : "took too long");
        return ScriptBounds::Loaded::Stopped;
    }
    if (mBinary)
    {
        lua_pop(L, 1);
        lua_pushfstring(L, "%s: binary chunk refused: scripts load source text only", mShown.c_str());
        Console::Instance().Log(lua_tostring(L, -1), LogError);
        return ScriptBounds::Loaded::Failed;
    }
    if (status == 0)
        return ScriptBounds::Loaded::Chunk;
    NameWhole(L);
    return ScriptBounds::Loaded::Failed;
}

// The name a chunk is shown by in messages: without its '=' or '@'.
std::string ShownName(const std::string& chunkName)
{
    return !chunkName.empty() && (chunkName[0] == '=' || chunkName[0] == '@') ? chunkName.substr(1) : chunkName;
}

// The script sees the function, or nil and the message; the watchdog's stop is raised. Called
// once the reader is gone.
int LoadOutcome(lua_State* L, ScriptBounds::Loaded loaded)
{
    switch (loaded)
    {
    case ScriptBounds::Loaded::Chunk:
        return 1;
    case ScriptBounds::Loaded::Stopped:
        ScriptManager::Instance().RaiseIfStopped(L);
        return lua_error(L);
    case ScriptBounds::Loaded::Failed:
        break;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

// loadstring(text [, name]): a text without a name is named by itself, as Lua shows a string
// chunk.
int BoundedLoadstring(lua_State* L)
{
    size_t size = 0;
    const char* text = luaL_checklstring(L, 1, &size);
    const bool named = !lua_isnoneornil(L, 2);
    size_t nameLength = 0;
    const char* name = named ? luaL_checklstring(L, 2, &nameLength) : nullptr;
    ScriptBounds::Loaded loaded;
    {
        ChunkReader reader(named ? std::string(name, nameLength) : std::string(text, size),
                           named ? ShownName(std::string(name, nameLength)) : "loadstring");
        reader.FromText(text, size);
        loaded = reader.Load(L);
    }
    return LoadOutcome(L, loaded);
}

// load(function [, name]): the function gives the chunk piece by piece.
int BoundedLoad(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    const bool named = !lua_isnoneornil(L, 2);
    size_t nameLength = 0;
    const char* name = named ? luaL_checklstring(L, 2, &nameLength) : nullptr;
    ScriptBounds::Loaded loaded;
    {
        ChunkReader reader(named ? std::string(name, nameLength) : "=(load)",
                           named ? ShownName(std::string(name, nameLength)) : "load");
        reader.FromFunction(1);
        loaded = reader.Load(L);
    }
    return LoadOutcome(L, loaded);
}

void SetFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, table, name);
}

// Puts function in place of table's field name, with the function it replaces as its upvalue;
// a field that holds no function is left alone.
void WrapFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    lua_getfield(L, table, name);
    if (!lua_isfunction(L, -1))
    {
        lua_pop(L, 1);
        return;
    }
    lua_pushcclosure(L, function, 1);
    lua_setfield(L, table, name);
}

// As WrapFunction, for a field that holds a C function the wrapper runs in its own call: one
// that keeps no values of its own.
void WrapCFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    const int top = lua_gettop(L);
    lua_getfield(L, table, name);
    const bool wraps = lua_iscfunction(L, -1) && lua_getupvalue(L, -1, 1) == nullptr;
    lua_settop(L, top);
    if (wraps)
        WrapFunction(L, table, name, function);
}

} // namespace

void ScriptBounds::GuardHandler(lua_State* L) { lua_pushcclosure(L, &GuardedHandler, 1); }

ScriptBounds::Loaded ScriptBounds::LoadText(lua_State* L, const char* text, size_t size, const char* chunkName,
                                            const char* shown)
{
    ChunkReader reader(chunkName, shown);
    reader.FromText(text, size);
    return reader.Load(L);
}

void ScriptBounds::Look(lua_State* L)
{
    sCounted = 0;
    ScriptManager::Instance().RaiseIfStopped(L);
}

void ScriptBounds::Install(lua_State* L)
{
    SetFunction(L, LUA_GLOBALSINDEX, "xpcall", &ProtectedCall);
    SetFunction(L, LUA_GLOBALSINDEX, "loadstring", &BoundedLoadstring);
    SetFunction(L, LUA_GLOBALSINDEX, "load", &BoundedLoad);

    WrapFunction(L, LUA_GLOBALSINDEX, "newproxy", &GuardedNewproxy);
    WrapCFunction(L, LUA_GLOBALSINDEX, "tostring", &CountedResults);

    lua_getfield(L, LUA_GLOBALSINDEX, LUA_STRLIBNAME);
    if (lua_istable(L, -1))
    {
        const int table = lua_gettop(L);
        ScriptPatterns::Install(L);
        SetFunction(L, table, "rep", &BoundedRep);
        for (const char* name : {"byte", "char", "dump", "format", "lower", "reverse", "sub", "upper"})
            WrapCFunction(L, table, name, &CountedResults);
    }
    lua_pop(L, 1);

    WrapFunction(L, LUA_GLOBALSINDEX, "collectgarbage", &WatchedCollect);

    lua_getfield(L, LUA_GLOBALSINDEX, LUA_COLIBNAME);
    if (lua_istable(L, -1))
    {
        WrapFunction(L, lua_gettop(L), "resume", &WatchedResume);
        WrapFunction(L, lua_gettop(L), "wrap", &WatchedWrap);
    }
    lua_pop(L, 1);

    lua_getfield(L, LUA_GLOBALSINDEX, LUA_TABLIBNAME);
    if (lua_istable(L, -1))
    {
        WrapFunction(L, lua_gettop(L), "sort", &BoundedSort);
        WrapCFunction(L, lua_gettop(L), "concat", &CountedConcat);
    }
    lua_pop(L, 1);

    lua_getfield(L, LUA_GLOBALSINDEX, LUA_OSLIBNAME);
    if (lua_istable(L, -1))
        WrapCFunction(L, lua_gettop(L), "setlocale", &LocaleChange);
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

#include "LOOM/script/ScriptFileGuard.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include <lua.hpp>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/script/ScriptManager.h"

// Lua raises by longjmp: every C++ object here is gone (its block closed) before an error is raised.

namespace {

// The text at the top, prefixed with where the script called from, as luaL_error writes it.
void PushWithWhere(lua_State* L, const std::string& text)
{
    const ScriptManager::EngineSide engine;
    luaL_where(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    lua_concat(L, 2);
}

bool IsPath(lua_State* L, int index)
{
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER;
}

// Puts the path inside the data folder in place of the argument at index; false, with the
// refusal pushed instead, when the path is refused. A file to open must be a regular one (or
// none yet): a FIFO or a device would block or never end.
bool ReplaceWithInside(lua_State* L, int index, bool opens)
{
    size_t length = 0;
    const char* given = lua_tolstring(L, index, &length);
    std::string inside, refusal;
    if (!DataPathInside(std::string(given, length), inside, &refusal))
    {
        PushWithWhere(L, refusal);
        return false;
    }
    if (opens && !ScriptFileGuard::OpensAsFile(std::string(given, length), inside, refusal))
    {
        Console::Instance().Log(refusal, LogError);
        PushWithWhere(L, refusal);
        return false;
    }
    const ScriptManager::EngineSide engine;
    lua_pushlstring(L, inside.data(), inside.size());
    lua_replace(L, index);
    return true;
}

// The library's function (upvalue 1) called with its leading path arguments (as many as
// upvalue 2 says) moved inside the data folder. Anything else in their place is no path (a
// file handle, or nothing for the current file) and passes as it is. Upvalue 3 says whether
// the function opens the file.
int GuardedCall(lua_State* L)
{
    const int paths = int(lua_tointeger(L, lua_upvalueindex(2)));
    const bool opens = lua_toboolean(L, lua_upvalueindex(3)) != 0;
    for (int i = 1; i <= paths; ++i)
        if (IsPath(L, i) && !ReplaceWithInside(L, i, opens))
            return lua_error(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// Upvalue 1 names the function, upvalue 2 says why it is refused.
int RefusedCall(lua_State* L)
{
    {
        const std::string text =
            std::string(lua_tostring(L, lua_upvalueindex(1))) + " refused: " + lua_tostring(L, lua_upvalueindex(2));
        Console::Instance().Log(text, LogError);
        PushWithWhere(L, text);
    }
    return lua_error(L);
}

enum class Loaded
{
    Chunk,
    Missing,
    Broken,
    Refused,
};

// Pushes the chunk of the script file named at index, under the name the script gave as the
// standard loader does, or the message why not.
Loaded LoadChunk(lua_State* L, int index)
{
    size_t length = 0;
    const char* given = lua_tolstring(L, index, &length);
    const std::string name(given, length);
    std::string inside, refusal, text;
    if (!DataPathInside(name, inside, &refusal))
    {
        PushWithWhere(L, refusal);
        return Loaded::Refused;
    }
    if (!ScriptFileGuard::OpensAsFile(name, inside, refusal))
    {
        Console::Instance().Log(refusal, LogError);
        PushWithWhere(L, refusal);
        return Loaded::Refused;
    }
    if (!ReadWholeFile(inside, text))
    {
        const ScriptManager::EngineSide engine;
        lua_pushfstring(L, "cannot open %s", name.c_str());
        return Loaded::Missing;
    }
    // A first line starting with '#' is not Lua; its newline keeps the line numbers.
    if (!text.empty() && text[0] == '#')
        text.erase(0, std::min(text.find('\n'), text.size()));
    // Protected: a chunk too big for the memory cap comes back as an error, not a jump.
    const std::string chunkName = "@" + name;
    return luaL_loadbuffer(L, text.data(), text.size(), chunkName.c_str()) == 0 ? Loaded::Chunk : Loaded::Broken;
}

// Without a file name the standard functions read standard input: upvalue 1 does that.
int CallOriginal(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

int GuardedDofile(lua_State* L)
{
    if (!IsPath(L, 1))
        return CallOriginal(L);
    const int before = lua_gettop(L);
    if (LoadChunk(L, 1) != Loaded::Chunk)
        return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - before;
}

int GuardedLoadfile(lua_State* L)
{
    if (!IsPath(L, 1))
        return CallOriginal(L);
    switch (LoadChunk(L, 1))
    {
    case Loaded::Chunk:
        return 1;
    case Loaded::Refused:
        return lua_error(L);
    default:
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
}

// require's one file searcher: module "a.b" is the data file "a/b.lua".
int DataFolderSearcher(lua_State* L)
{
    const char* module = luaL_checkstring(L, 1);
    luaL_gsub(L, module, ".", "/");
    lua_pushliteral(L, ".lua");
    lua_concat(L, 2);
    const int file = lua_gettop(L);
    switch (LoadChunk(L, file))
    {
    case Loaded::Chunk:
        return 1;
    case Loaded::Missing:
        lua_pushfstring(L, "\n\tno file '%s'", lua_tostring(L, file));
        return 1;
    case Loaded::Refused:
        return lua_error(L);
    default:
        return luaL_error(L, "error loading module '%s' from file '%s':\n\t%s", module, lua_tostring(L, file),
                          lua_tostring(L, -1));
    }
}

// Pushes the table of that global name, or the globals for null; false when there is none.
bool PushLibrary(lua_State* L, const char* library)
{
    if (!library)
    {
        lua_pushvalue(L, LUA_GLOBALSINDEX);
        return true;
    }
    lua_getfield(L, LUA_GLOBALSINDEX, library);
    if (lua_istable(L, -1))
        return true;
    lua_pop(L, 1);
    return false;
}

// Replaces library.name with a closure of the function given over the original and the extra.
void Wrap(lua_State* L, const char* library, const char* name, lua_CFunction wrapper, int paths, bool opens = false)
{
    if (!PushLibrary(L, library))
        return;
    lua_getfield(L, -1, name);
    if (lua_isfunction(L, -1))
    {
        lua_pushinteger(L, paths);
        lua_pushboolean(L, opens);
        lua_pushcclosure(L, wrapper, 3);
        lua_setfield(L, -2, name);
    }
    else
    {
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

void Refuse(lua_State* L, const char* library, const char* name, const char* why)
{
    if (!PushLibrary(L, library))
        return;
    lua_pushfstring(L, "%s.%s", library, name);
    lua_pushstring(L, why);
    lua_pushcclosure(L, &RefusedCall, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

} // namespace

bool ScriptFileGuard::OpensAsFile(const std::string& given, const std::string& inside, std::string& refusal)
{
    // stat follows links: a link to a device is the device.
    struct stat info = {};
    if (stat(inside.c_str(), &info) != 0 || S_ISREG(info.st_mode))
        return true;
    refusal = given + " is not a regular file (" +
        (S_ISDIR(info.st_mode)        ? "a folder"
             : S_ISFIFO(info.st_mode) ? "a FIFO"
             : S_ISSOCK(info.st_mode) ? "a socket"
                                      : "a device") +
        "): scripts open regular files only";
    return false;
}

void ScriptFileGuard::Install(lua_State* L)
{
    Wrap(L, nullptr, "dofile", &GuardedDofile, 1);
    Wrap(L, nullptr, "loadfile", &GuardedLoadfile, 1);
    Wrap(L, LUA_IOLIBNAME, "open", &GuardedCall, 1, true);
    Wrap(L, LUA_IOLIBNAME, "lines", &GuardedCall, 1, true);
    Wrap(L, LUA_IOLIBNAME, "input", &GuardedCall, 1, true);
    Wrap(L, LUA_IOLIBNAME, "output", &GuardedCall, 1, true);
    Wrap(L, LUA_OSLIBNAME, "remove", &GuardedCall, 1);
    Wrap(L, LUA_OSLIBNAME, "rename", &GuardedCall, 2);

    const char* runs = "scripts may not run programs";
    Refuse(L, LUA_OSLIBNAME, "execute", runs);
    Refuse(L, LUA_IOLIBNAME, "popen", runs);
    Refuse(L, LUA_LOADLIBNAME, "loadlib", runs);
    Refuse(L, LUA_OSLIBNAME, "tmpname", "scripts keep their files inside the data folder");

    // require finds preloaded modules and Lua files in the data folder; no binary libraries.
    if (!PushLibrary(L, LUA_LOADLIBNAME))
        return;
    lua_getfield(L, -1, "loaders");
    if (lua_istable(L, -1))
    {
        lua_pushcfunction(L, &DataFolderSearcher);
        lua_rawseti(L, -2, 2);
        for (int i = int(lua_objlen(L, -1)); i > 2; --i)
        {
            lua_pushnil(L);
            lua_rawseti(L, -2, i);
        }
    }
    lua_pop(L, 2);
}

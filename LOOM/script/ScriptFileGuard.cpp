#include "LOOM/script/ScriptFileGuard.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <lua.hpp>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/SaveLeftovers.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/script/ScriptBounds.h"
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

// os.remove (one name, upvalue 1) and os.rename (two): each name checked, then the change made
// on the name in the folder the guard found, never on the text again, so a folder swapped for a
// link meanwhile changes nothing outside. Results and errors are the library's, naming the files
// as the script gave them.
int GuardedNameChange(lua_State* L)
{
    const int paths = int(lua_tointeger(L, lua_upvalueindex(1)));
    for (int i = 1; i <= paths; ++i)
        luaL_checkstring(L, i);
    int error = 0;
    bool refused = false;
    {
        std::string names[2], inside[2], text;
        for (int i = 0; i < paths && !refused; ++i)
        {
            size_t length = 0;
            const char* given = lua_tolstring(L, i + 1, &length);
            names[i].assign(given, length);
            refused = !DataPathInside(names[i], inside[i], &text);
        }
        if (!refused)
        {
            error = paths == 1 ? RemoveDataFile(inside[0], &text, names[0])
                               : RenameDataFile(inside[0], inside[1], &text, names[0], names[1]);
            refused = error != 0 && !text.empty();
            if (refused)
                Console::Instance().Log(text, LogError);
            else if (error != 0)
                text = names[0] + ": " + std::generic_category().message(error);
        }
        if (refused)
            PushWithWhere(L, text);
        else if (error != 0)
        {
            const ScriptManager::EngineSide engine;
            lua_pushnil(L);
            lua_pushlstring(L, text.data(), text.size());
            lua_pushinteger(L, error);
        }
        else
            lua_pushboolean(L, 1);
    }
    if (refused)
        return lua_error(L);
    return error != 0 ? 3 : 1;
}

// Without a file name the standard functions read standard input: upvalue 1 does that.
int CallOriginal(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

struct Opened
{
    int mFd = -1;
    bool mRefused = false;
    int mError = 0;
};

// Opens the file named at index 1 through the file guard. On failure the refusal (already
// logged) or the system's message, both naming the file as the script gave it, is pushed.
Opened OpenThroughGuard(lua_State* L, const char* mode)
{
    Opened opened;
    size_t length = 0;
    const char* given = lua_tolstring(L, 1, &length);
    const std::string name(given, length);
    std::string inside, text;
    if (DataPathInside(name, inside, &text))
    {
        FileRefusal refusal;
        opened.mFd = OpenDataFile(inside, mode, &refusal, name);
        opened.mError = errno;
        if (opened.mFd < 0 && !refusal.mWhy.empty())
        {
            text = ScriptFileGuard::Refused(name, refusal);
            Console::Instance().Log(text, LogError);
        }
        else if (opened.mFd < 0)
            text = name + ": " + std::generic_category().message(opened.mError);
        opened.mRefused = !refusal.mWhy.empty();
    }
    else
        opened.mRefused = true;
    if (opened.mFd >= 0)
        return opened;
    if (opened.mRefused)
        PushWithWhere(L, text);
    else
    {
        const ScriptManager::EngineSide engine;
        lua_pushlstring(L, text.data(), text.size());
    }
    return opened;
}

bool ModeWrites(const char* mode) { return std::strpbrk(mode, "wa+") != nullptr; }

bool SameFile(int a, int b)
{
    struct stat first = {}, second = {};
    return a >= 0 && b >= 0 && ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
        first.st_ino == second.st_ino;
}

// The files the engine is writing (its log, a save under way) are not a script's to write: the
// engine writes at its own offsets, and a script's bytes would spoil them. Empty when the file
// named at index 1 is none of them, else why it is refused.
std::string EngineWrites(lua_State* L)
{
    size_t length = 0;
    const char* given = lua_tolstring(L, 1, &length);
    const std::string name(given, length);
    // Looked at quietly: a name the guard refuses is refused, and logged, as the open goes on.
    const size_t slash = name.find_last_of("/\\");
    if (IsSaveLeftoverName(slash == std::string::npos ? name : name.substr(slash + 1)))
        return name + " refused: a save is being written there";
    FileRefusal refusal;
    const int fd = OpenDataFile(name, "r", &refusal, name);
    const bool held = SameFile(fd, Console::Instance().LogDescriptor());
    if (fd >= 0)
        ::close(fd);
    return held ? name + " refused: the engine is writing its log there" : std::string();
}

// The library's function that opens the file named first (upvalue 1), called on the file the
// guard opened: it opens the descriptor's file, the very one checked, not the name again.
// Upvalue 2 is the mode, or nil when argument 2 gives it; upvalue 3 says whether a failure to
// open comes back as nil and the message (io.open) rather than as an error.
int GuardedOpen(lua_State* L)
{
    if (!IsPath(L, 1))
        return CallOriginal(L);
    const char* mode =
        lua_isnil(L, lua_upvalueindex(2)) ? luaL_optstring(L, 2, "r") : lua_tostring(L, lua_upvalueindex(2));
    if (ModeWrites(mode))
    {
        bool held = false;
        {
            const std::string why = EngineWrites(L);
            held = !why.empty();
            if (held)
            {
                Console::Instance().Log(why, LogError);
                PushWithWhere(L, why);
            }
        }
        if (held)
            return lua_error(L);
    }
    const Opened opened = OpenThroughGuard(L, mode);
    if (opened.mFd < 0)
    {
        if (opened.mRefused)
            return lua_error(L);
        if (!lua_toboolean(L, lua_upvalueindex(3)))
            return luaL_argerror(L, 1, lua_tostring(L, -1));
        lua_pushnil(L);
        lua_insert(L, -2);
        lua_pushinteger(L, opened.mError);
        return 3;
    }
    lua_pushfstring(L, "/proc/self/fd/%d", opened.mFd);
    lua_replace(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    const int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    ::close(opened.mFd);
    if (status != 0)
        return lua_error(L);
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

// ---- The standard streams and the exit are the engine's -------------------------------------

std::optional<int> gExitAsked;
bool gOutputDropSaid = false;

// Logs the refusal of a function and pushes it, with where the script called from, to be raised.
void PushRefusal(lua_State* L, const std::string& text)
{
    Console::Instance().Log(text, LogError);
    PushWithWhere(L, text);
}

bool IsStandardInput(lua_State* L, int index)
{
    void* block = lua_touserdata(L, index);
    if (!block || !lua_getmetatable(L, index))
        return false;
    luaL_getmetatable(L, LUA_FILEHANDLE);
    const bool isFile = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return isFile && *static_cast<FILE**>(block) == stdin;
}

// What reads the default input reads standard input when that is where it stands.
bool DefaultInputIsStandard(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(2));
    lua_call(L, 0, 1);
    const bool standard = IsStandardInput(L, -1);
    lua_pop(L, 1);
    return standard;
}

// A read of standard input waits on whoever holds its other end, for ever when nobody writes:
// it is refused. Upvalues: the library's function, its io.input, the function's name, and how it
// finds its file: 0 its first argument (a file method), 1 the default input (io.read), 2 the
// default input when no file is named (io.lines).
int GuardedRead(lua_State* L)
{
    const int kind = int(lua_tointeger(L, lua_upvalueindex(4)));
    const bool standard = kind == 0 ? IsStandardInput(L, 1)
        : kind == 1                 ? DefaultInputIsStandard(L)
                                    : lua_isnoneornil(L, 1) && DefaultInputIsStandard(L);
    if (!standard)
        return CallOriginal(L);
    PushRefusal(L, std::string(lua_tostring(L, lua_upvalueindex(3))) + " refused: scripts do not read standard input");
    return lua_error(L);
}

void GuardRead(lua_State* L, int table, const char* name, const char* shown, int kind, int input)
{
    lua_getfield(L, table, name);
    if (!lua_isfunction(L, -1))
    {
        lua_pop(L, 1);
        return;
    }
    lua_pushvalue(L, input);
    lua_pushstring(L, shown);
    lua_pushinteger(L, kind);
    lua_pushcclosure(L, &GuardedRead, 4);
    lua_setfield(L, table, name);
}

// Standard output never holds a frame: bytes go while it takes them at once, the rest is
// dropped, and the first drop is logged.
void WriteStandardOutput(const char* data, size_t size)
{
    size_t done = 0;
    const char* why = "nobody reads it";
    while (done < size)
    {
        pollfd ready{STDOUT_FILENO, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, 0);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled > 0 && (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
        {
            why = "it is closed";
            break;
        }
        if (polled <= 0 || (ready.revents & POLLOUT) == 0)
            break;
        // A pipe that polls writable takes this much without waiting.
        const ssize_t wrote = ::write(STDOUT_FILENO, data + done, std::min<size_t>(size - done, PIPE_BUF));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
        {
            why = errno == EPIPE ? "it is closed" : "it takes no more";
            break;
        }
        done += size_t(wrote);
    }
    if (done < size && !gOutputDropSaid)
    {
        gOutputDropSaid = true;
        Console::Instance().Log(
            std::string("Standard output takes no more (") + why + "): what scripts print there is dropped", LogError);
    }
}

// print as the library has it (each value through tostring, tabs between, a line end), written
// without waiting.
int GuardedPrint(lua_State* L)
{
    const int count = lua_gettop(L);
    luaL_Buffer out;
    luaL_buffinit(L, &out);
    for (int i = 1; i <= count; ++i)
    {
        lua_getfield(L, LUA_GLOBALSINDEX, "tostring");
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        if (!lua_isstring(L, -1))
            return luaL_error(L, "'tostring' must return a string to 'print'");
        ScriptBounds::Count(L, lua_objlen(L, -1) + 1);
        if (i > 1)
            luaL_addchar(&out, '\t');
        luaL_addvalue(&out);
    }
    luaL_addchar(&out, '\n');
    luaL_pushresult(&out);
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    WriteStandardOutput(text, length);
    return 0;
}

// os.exit ends the game through the engine's own exit, so the frame ends, everything is taken
// down in order and the log is closed; the status is the program's. The script is stopped.
int EngineExit(lua_State* L)
{
    const int status = luaL_optint(L, 1, EXIT_SUCCESS);
    {
        ConsoleCommand* exit = Console::Instance().FindCommand("exit");
        const std::string text = "os.exit(" + std::to_string(status) + "): the game ends" +
            (exit ? ", through the engine's exit" : "; no engine runs to end");
        Console::Instance().Log(text, LogScripting);
        if (exit)
        {
            gExitAsked = status;
            exit->Execute();
        }
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
    Stopped,
};

Loaded FromBounds(ScriptBounds::Loaded loaded)
{
    switch (loaded)
    {
    case ScriptBounds::Loaded::Chunk:
        return Loaded::Chunk;
    case ScriptBounds::Loaded::Stopped:
        return Loaded::Stopped;
    default:
        return Loaded::Broken;
    }
}

// Loads text read from a file: a first line starting with '#' is not Lua; its newline keeps
// the line numbers.
Loaded LoadFileText(lua_State* L, std::string& text, const std::string& chunkName, const char* shown)
{
    if (!text.empty() && text[0] == '#')
        text.erase(0, std::min(text.find('\n'), text.size()));
    // Protected: a chunk too big for the memory cap comes back as an error, not a jump.
    return FromBounds(ScriptBounds::LoadText(L, text.data(), text.size(), chunkName.c_str(), shown));
}

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
    FileRefusal refused;
    const bool read = ReadWholeFile(inside, text, kMaxDataFileBytes, &refused);
    if (!read && !refused.mWhy.empty())
    {
        refusal = ScriptFileGuard::Refused(name, refused);
        Console::Instance().Log(refusal, LogError);
        PushWithWhere(L, refusal);
        return Loaded::Refused;
    }
    if (!read)
    {
        const ScriptManager::EngineSide engine;
        lua_pushfstring(L, "cannot open %s", name.c_str());
        return Loaded::Missing;
    }
    return LoadFileText(L, text, "@" + name, name.c_str());
}

// Raises what a load left at the top, the watchdog's stop as the watchdog raises it.
int RaiseLoadError(lua_State* L, Loaded loaded)
{
    if (loaded == Loaded::Stopped)
        ScriptManager::Instance().RaiseIfStopped(L);
    return lua_error(L);
}

// The chunk of the file named first, for dofile and loadfile. Scripts name the file: without a
// name the standard functions would wait on standard input, which holds the game still.
Loaded LoadNamedFile(lua_State* L, const char* function)
{
    if (lua_isnoneornil(L, 1))
    {
        const std::string text = std::string(function) + ": scripts name the file to load; standard input is not read";
        Console::Instance().Log(text, LogError);
        PushWithWhere(L, text);
        return Loaded::Refused;
    }
    luaL_checkstring(L, 1);
    return LoadChunk(L, 1);
}

// dofile(name): runs the file's chunk and gives what it returns.
int GuardedDofile(lua_State* L)
{
    lua_settop(L, 1);
    const Loaded loaded = LoadNamedFile(L, "dofile");
    if (loaded != Loaded::Chunk)
        return RaiseLoadError(L, loaded);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

// loadfile(name): the file's chunk, or nil and why; a refusal or a stop is raised.
int GuardedLoadfile(lua_State* L)
{
    lua_settop(L, 1);
    const Loaded loaded = LoadNamedFile(L, "loadfile");
    if (loaded == Loaded::Chunk)
        return 1;
    if (loaded == Loaded::Refused || loaded == Loaded::Stopped)
        return RaiseLoadError(L, loaded);
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

// require's one file searcher: module "a.b" is the data file "a/b.lua". The whole name is kept,
// a NUL byte in it too, so the guard refuses what the system would have cut short.
int DataFolderSearcher(lua_State* L)
{
    const char* module = luaL_checkstring(L, 1);
    {
        size_t length = 0;
        const char* given = lua_tolstring(L, 1, &length);
        std::string name(given, length);
        std::replace(name.begin(), name.end(), '.', '/');
        name += ".lua";
        const ScriptManager::EngineSide engine;
        lua_pushlstring(L, name.data(), name.size());
    }
    const int file = lua_gettop(L);
    const Loaded loaded = LoadChunk(L, file);
    switch (loaded)
    {
    case Loaded::Chunk:
        return 1;
    case Loaded::Missing:
        lua_pushfstring(L, "\n\tno file '%s'", lua_tostring(L, file));
        return 1;
    case Loaded::Refused:
    case Loaded::Stopped:
        return RaiseLoadError(L, loaded);
    default:
        return luaL_error(L, "error loading module '%s' from file '%s':\n\t%s", module, lua_tostring(L, file),
                          lua_tostring(L, -1));
    }
}

// The library's require cuts a module's name at a NUL byte: such a name is refused before it.
int GuardedRequire(lua_State* L)
{
    size_t length = 0;
    const char* given = lua_type(L, 1) == LUA_TSTRING ? lua_tolstring(L, 1, &length) : nullptr;
    if (!given || std::memchr(given, '\0', length) == nullptr)
        return CallOriginal(L);
    {
        std::string inside, refusal;
        DataPathInside(std::string_view(given, length), inside, &refusal);
        PushWithWhere(L, refusal);
    }
    return lua_error(L);
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
void Wrap(lua_State* L, const char* library, const char* name, lua_CFunction wrapper, int paths)
{
    if (!PushLibrary(L, library))
        return;
    lua_getfield(L, -1, name);
    if (lua_isfunction(L, -1))
    {
        lua_pushinteger(L, paths);
        lua_pushcclosure(L, wrapper, 2);
        lua_setfield(L, -2, name);
    }
    else
    {
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

// Replaces io.name, which opens the file named first, with GuardedOpen over it.
void WrapOpen(lua_State* L, const char* name, const char* mode, bool returnsFailure)
{
    if (!PushLibrary(L, LUA_IOLIBNAME))
        return;
    lua_getfield(L, -1, name);
    if (lua_isfunction(L, -1))
    {
        if (mode)
            lua_pushstring(L, mode);
        else
            lua_pushnil(L);
        lua_pushboolean(L, returnsFailure);
        lua_pushcclosure(L, &GuardedOpen, 3);
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

std::optional<int> ScriptFileGuard::AskedExitStatus() { return gExitAsked; }

std::string ScriptFileGuard::Refused(const std::string& given, const FileRefusal& refusal)
{
    return refusal.mNotAFile ? refusal.Text(given) + ": scripts open regular files only" : refusal.Text(given);
}

void ScriptFileGuard::Install(lua_State* L)
{
    // Before the open functions are wrapped: the guards call the library's io.input as it is.
    if (PushLibrary(L, LUA_IOLIBNAME))
    {
        const int io = lua_gettop(L);
        lua_getfield(L, io, "input");
        const int input = lua_gettop(L);
        if (lua_isfunction(L, input))
        {
            GuardRead(L, io, "read", "io.read", 1, input);
            GuardRead(L, io, "lines", "io.lines", 2, input);
            luaL_getmetatable(L, LUA_FILEHANDLE);
            if (lua_istable(L, -1))
            {
                const int methods = lua_gettop(L);
                GuardRead(L, methods, "read", "file:read", 0, input);
                GuardRead(L, methods, "lines", "file:lines", 0, input);
            }
            lua_pop(L, 1);
        }
        lua_settop(L, io - 1);
    }
    lua_pushcfunction(L, &GuardedPrint);
    lua_setfield(L, LUA_GLOBALSINDEX, "print");
    if (PushLibrary(L, LUA_OSLIBNAME))
    {
        lua_pushcfunction(L, &EngineExit);
        lua_setfield(L, -2, "exit");
        lua_pop(L, 1);
    }

    Wrap(L, nullptr, "dofile", &GuardedDofile, 1);
    Wrap(L, nullptr, "loadfile", &GuardedLoadfile, 1);
    Wrap(L, nullptr, "require", &GuardedRequire, 1);
    WrapOpen(L, "open", nullptr, true);
    WrapOpen(L, "lines", "r", false);
    WrapOpen(L, "input", "r", false);
    WrapOpen(L, "output", "w", false);
    for (const auto& [name, paths] : {std::pair<const char*, int>{"remove", 1}, {"rename", 2}})
    {
        if (!PushLibrary(L, LUA_OSLIBNAME))
            break;
        lua_pushinteger(L, paths);
        lua_pushcclosure(L, &GuardedNameChange, 1);
        lua_setfield(L, -2, name);
        lua_pop(L, 1);
    }

    const char* runs = "scripts may not run programs";
    Refuse(L, LUA_OSLIBNAME, "execute", runs);
    Refuse(L, LUA_IOLIBNAME, "popen", runs);
    Refuse(L, LUA_LOADLIBNAME, "loadlib", runs);
    Refuse(L, LUA_OSLIBNAME, "tmpname", "scripts keep their files inside the data folder");
    Refuse(L, LUA_IOLIBNAME, "tmpfile", "scripts keep their files inside the data folder");

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

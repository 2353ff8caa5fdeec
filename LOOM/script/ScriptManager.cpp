#include "LOOM/script/ScriptManager.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include <lua.hpp>

#include "LOOM/base/Clocks.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/calls/CallScope.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogScriptGlobals.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/script/ScriptBounds.h"
#include "LOOM/script/ScriptFileGuard.h"
#include "LOOM/script/ScriptTypes.h"

// Lua is C and raises errors by longjmp: no function here raises while a C++ object with a
// destructor is alive in its frame. Script calls go through lua_pcall, engine writes to the
// globals are raw.

namespace {

constexpr const char* kInitScript = "Scripts/Init.lua";
// Instructions between two looks at the watchdog's clock: a few microseconds of script.
constexpr int kHookCount = 4096;
// One instruction can work through a whole value in C (compare two strings, shift a table's
// elements): while large values live, the clock is read often enough that the instructions
// between two looks cannot touch more than this many bytes (a fraction of a second).
constexpr int kBytesPerLookBits = 28;
// Blocks from this size on are counted by size.
constexpr int kLargeBlockBits = 12;

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The time the calling thread has worked: a script is held to what it does, not to what a busy
// machine gives its thread. The wall clock still stands behind it, at a few times the limit.
double WorkSeconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return NowSeconds();
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// How many times the limit a script may take by the wall clock while it waits rather than works.
constexpr double kWallTimesLimit = 4.0;

// The text of any error value: scripts may raise tables, nil or booleans as well as strings.
void PushErrorText(lua_State* L, int index)
{
    switch (lua_type(L, index))
    {
    case LUA_TSTRING:
    case LUA_TNUMBER:
        lua_pushvalue(L, index);
        lua_tostring(L, -1);
        return;
    case LUA_TNONE:
    case LUA_TNIL:
        lua_pushliteral(L, "nil");
        return;
    case LUA_TBOOLEAN:
        lua_pushstring(L, lua_toboolean(L, index) ? "true" : "false");
        return;
    default:
        break;
    }
    // A raising __tostring must not swallow the error being reported. Script code, run where
    // the hook is on: the handler may run with it off.
    if (luaL_getmetafield(L, index, "__tostring"))
    {
        lua_pushvalue(L, index);
        if (ScriptManager::Instance().CallInThread(L, 1, 1) == 0 && lua_isstring(L, -1))
            return;
        lua_pop(L, 1);
    }
    lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, index));
}

// os.getenv: the player's environment (home folder, paths) is none of a script's business.
int NoEnvironment(lua_State* L)
{
    luaL_checkstring(L, 1);
    lua_pushnil(L);
    return 1;
}

int ErrorFunc(lua_State* L)
{
    // A call the watchdog stops is reported once, by the call's owner.
    if (ScriptManager::Instance().WatchdogStop())
        return 0;
    // Called by a script with no argument there is no top value to read.
    PushErrorText(L, lua_gettop(L) > 0 ? lua_gettop(L) : 1);
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    Console::Instance().Log("Lua Error: " + std::string(text ? text : "", length), LogError);
    return 0;
}

// The global "ErrorFunc" (scripts may install their own); the engine's own when it is not a
// function, so errors are never lost. Kept in the registry to avoid a closure per call.
int gErrorFuncRef = LUA_NOREF;

void PushHandler(lua_State* L)
{
    lua_pushliteral(L, "ErrorFunc");
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_isfunction(L, -1))
    {
        // Script code as a handler could loop where the hook does not reach.
        if (lua_tocfunction(L, -1) != &ErrorFunc)
            ScriptBounds::GuardHandler(L);
        return;
    }
    lua_pop(L, 1);
    lua_rawgeti(L, LUA_REGISTRYINDEX, gErrorFuncRef);
}

int EmptyUpdate(lua_State*) { return 0; }

int Panic(lua_State* L)
{
    const char* text = lua_tostring(L, -1);
    Console::Instance().Log(std::string("Lua Panic: ") + (text ? text : "unknown error"), LogError);
    return 0;
}

void OpenLibrary(lua_State* L, lua_CFunction open, const char* name)
{
    // Lua 5.1 wants its openers called as Lua functions.
    lua_pushcfunction(L, open);
    lua_pushstring(L, name);
    if (lua_pcall(L, 1, 0, 0) != 0)
    {
        Console::Instance().Log(std::string("Lua library failed to open: ") + name, LogError);
        lua_pop(L, 1);
    }
}

void CogGlobal(const std::string& name, Cog* cog)
{
    ScriptManager& scripts = ScriptManager::Instance();
    if (cog)
        scripts.SetGlobalCog(name, cog);
    // The state closes before the cogs go at shutdown and restart: their globals went with it.
    else if (scripts.GetState())
        scripts.SetGlobalNil(name);
}

void CogsRefused(const std::string& typeName, size_t limit)
{
    ScriptManager::Instance().RaiseOnReturn("cog " + typeName + " not made: scripts may keep at most " +
                                            std::to_string(limit) + " cogs alive");
}

// Keeps the count of running script calls so the state is not closed under them.
class RunGuard
{
public:
    explicit RunGuard(int& depth) : mDepth(depth) { ++mDepth; }
    ~RunGuard() { --mDepth; }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    int& mDepth;
};

template <typename T>
T ReadSlot(const uint8_t* slot)
{
    T value;
    std::memcpy(&value, slot, sizeof(T)); // NOLINT(bugprone-sizeof-expression): pointers are slots too
    return value;
}

template <typename T>
void WriteSlot(uint8_t* slot, const T& value)
{
    std::memcpy(slot, &value, sizeof(T)); // NOLINT(bugprone-sizeof-expression)
}

size_t CodeWidth(uint8_t code)
{
    switch (code)
    {
    case TypeInt:
    case TypeUInt:
    case TypeFloat:
        return 4;
    case TypeDouble:
        return 8;
    case TypeByte:
    case TypeBool:
        return 1;
    case TypeString:
        return ParamBlock::kStringSlot;
    case TypeCog:
        return ParamTraits<Cog*>::kSize;
    case TypeVector:
        return sizeof(Vector3);
    case TypeQuat:
        return sizeof(Quat);
    case TypeColor:
        return sizeof(Color);
    case TypeConfig:
        return sizeof(DisplaySettings);
    default:
        return 0;
    }
}

// Whether a parameter of the type holds the number as it is. Comparisons with NaN are false, so
// NaN fits none; the range is checked before the cast back, which would be undefined outside it.
bool FitsInt(double number)
{
    return number >= -2147483648.0 && number <= 2147483647.0 && double(static_cast<int32_t>(number)) == number;
}

bool FitsUInt(double number)
{
    return number >= 0.0 && number <= 4294967295.0 && double(static_cast<uint32_t>(number)) == number;
}

bool FitsByte(double number)
{
    return number >= 0.0 && number <= 255.0 && double(static_cast<uint8_t>(number)) == number;
}

bool FitsFloat(double number) { return std::abs(number) <= double(std::numeric_limits<float>::max()); }

} // namespace

ScriptManager& ScriptManager::Instance()
{
    static ScriptManager instance;
    return instance;
}

// The "StartCoroutine" command exists from static initialisation on, as every command should
// before the first script runs.
namespace {
[[maybe_unused]] ScriptManager& gForceCreate = ScriptManager::Instance();
}

ScriptManager::ScriptManager()
{
    Console::Instance().RegisterCommand("StartCoroutine", MakeConsoleCommand(this, &ScriptManager::StartCoroutine),
                                        "Starts a Coroutine");
    SetCogGlobalSetter(&CogGlobal);
    SetScriptCogGate(ScriptCogGate{[] { return Instance().IsRunning(); }, &CogsRefused});
}

ScriptManager::~ScriptManager()
{
    SetCogGlobalSetter(nullptr);
    SetScriptCogGate(ScriptCogGate{});
    if (mState)
        lua_close(mState);
    mState = nullptr;
    mThreads.clear();
}

bool ScriptManager::IsRunning() const
{
    // Any active call level counts, however the script was entered.
    lua_Debug level;
    return mRunDepth > 0 || (mState && lua_getstack(mState, 0, &level) != 0);
}

void ScriptManager::Init()
{
    if (IsRunning())
    {
        Console::Instance().Log("Lua state is running a script; Init refused", LogError);
        return;
    }
    if (mState)
        Close();

    mMemory.mUsed = 0;
    mMemory.mEnforced = false;
    mMemory.mLarge.fill(0);
    mMemory.mLargest = -1;
    lua_State* L = lua_newstate(&ScriptManager::Allocate, &mMemory);
    if (!L)
    {
        Console::Instance().Log("Lua state could not be created", LogError);
        return;
    }
    lua_atpanic(L, &Panic);
    // Threads made by the scripts take the hook over from this one.
    lua_sethook(L, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, HookCount());
    mState = L;
    if (!mCallParams)
    {
        // Kept for the manager's life, from state to state; the pool gets a block in its place.
        mCallParams = std::make_unique<ParamBuffer>();
        ParamBuffer::AllocatePool(1);
    }
    mCallParamsLent = false;
    mFrameWarned = false;
    mUpdateStopped = false;

    OpenLibrary(L, luaopen_base, ""); // with coroutine
    OpenLibrary(L, luaopen_package, LUA_LOADLIBNAME);
    OpenLibrary(L, luaopen_table, LUA_TABLIBNAME);
    OpenLibrary(L, luaopen_io, LUA_IOLIBNAME);
    OpenLibrary(L, luaopen_os, LUA_OSLIBNAME);
    OpenLibrary(L, luaopen_string, LUA_STRLIBNAME);
    OpenLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    lua_getfield(L, LUA_GLOBALSINDEX, LUA_OSLIBNAME);
    if (lua_istable(L, -1))
    {
        lua_pushcfunction(L, &NoEnvironment);
        lua_setfield(L, -2, "getenv");
    }
    lua_pop(L, 1);
    ScriptFileGuard::Install(L);

    ScriptTypes::RegisterValueTypes(L);
    ScriptTypes::RegisterEngineTables(L);
    ScriptBounds::Install(L);

    lua_pushcfunction(L, &ErrorFunc);
    lua_pushvalue(L, -1);
    gErrorFuncRef = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_setfield(L, LUA_GLOBALSINDEX, "ErrorFunc");
    lua_pushliteral(L, "GUpdate");
    lua_pushcfunction(L, &EmptyUpdate);
    lua_rawset(L, LUA_GLOBALSINDEX);
    lua_settop(L, 0);

    Console::Instance().Log("Lua State Initialized", LogInit);
    // By copy: a publisher may add or remove publishers.
    const std::vector<std::pair<const void*, Publisher>> publishers = mPublishers;
    for (const auto& [owner, publish] : publishers)
        publish(*this);
    Frame();
    RunScript(kInitScript);
}

void ScriptManager::Close()
{
    if (!mState)
        return;
    if (IsRunning())
    {
        // Closing under a running C function would pull the stack from under it.
        Console::Instance().Log("Lua state is running a script; Close refused", LogError);
        return;
    }
    // The finalisers still due run now, all in one time limit.
    OpenWatch("closing the scripts");
    lua_close(mState);
    mState = nullptr;
    mThreads.clear();
    const std::string stopText = CloseWatch();
    if (!stopText.empty())
        Console::Instance().Log("Lua Error: " + stopText, LogError);
}

void ScriptManager::Reset()
{
    if (IsRunning())
    {
        Console::Instance().Log("Lua state is running a script; Reset refused", LogError);
        return;
    }
    Close();
    Init();
}

void ScriptManager::SetClocks(const PreciseTimer* core, const GameClock* game)
{
    mCoreClock = core;
    mGameClock = game;
}

void ScriptManager::SetLimits(double seconds, size_t memoryCap)
{
    if (!(seconds > 0.0) || !std::isfinite(seconds) || memoryCap == 0)
    {
        Console::Instance().Log("Script limits refused: " + std::to_string(seconds) + " s, " +
                                    std::to_string(memoryCap) + " bytes",
                                LogError);
        return;
    }
    mTimeLimit = seconds;
    mMemory.mCap = memoryCap;
}

void* ScriptManager::Allocate(void* budget, void* block, size_t oldSize, size_t newSize)
{
    MemoryBudget& memory = *static_cast<MemoryBudget*>(budget);
    // A null block has no old size worth counting.
    const size_t kept = memory.mUsed - (block ? oldSize : 0);
    if (newSize == 0)
    {
        std::free(block);
        memory.mUsed = kept;
        if (block)
            memory.ForgetBlock(oldSize);
        return nullptr;
    }
    // Shrinking must never fail; growing past the cap does, and Lua raises its memory error.
    if (memory.mEnforced && newSize > oldSize && (newSize > memory.mCap || kept > memory.mCap - newSize))
        return nullptr;
    void* grown = std::realloc(block, newSize);
    if (!grown)
        return nullptr;
    memory.mUsed = kept + newSize;
    if (block)
        memory.ForgetBlock(oldSize);
    if (memory.KeepBlock(newSize))
    {
        // A larger value than any before: the script running may work through it at once, so
        // every thread on the way to it looks at the clock more often from now on. Threads
        // waiting to be resumed are armed when they are.
        ScriptManager& scripts = Instance();
        if (scripts.mState)
            scripts.ArmHook(scripts.mState);
        for (lua_State* thread : scripts.mThreads)
            scripts.ArmHook(thread);
    }
    return grown;
}

bool ScriptManager::MemoryBudget::KeepBlock(size_t size)
{
    const int bits = int(std::bit_width(size)) - 1;
    if (bits < kLargeBlockBits)
        return false;
    ++mLarge[size_t(bits)];
    if (bits <= mLargest)
        return false;
    mLargest = bits;
    return true;
}

void ScriptManager::MemoryBudget::ForgetBlock(size_t size)
{
    const int bits = int(std::bit_width(size)) - 1;
    if (bits < kLargeBlockBits || --mLarge[size_t(bits)] != 0 || bits != mLargest)
        return;
    while (mLargest >= kLargeBlockBits && mLarge[size_t(mLargest)] == 0)
        --mLargest;
    if (mLargest < kLargeBlockBits)
        mLargest = -1;
}

void ScriptManager::ArmHook(lua_State* thread) const
{
    const int count = HookCount();
    if (lua_gethookcount(thread) > count)
        lua_sethook(thread, &ScriptManager::WatchdogHook, HookMask(thread), count);
}

void ScriptManager::EnterThread(lua_State* thread)
{
    ArmHook(thread);
    mThreads.push_back(thread);
}

int ScriptManager::HookCount() const
{
    if (mMemory.mLargest < 0)
        return kHookCount;
    // A block of the largest size class holds fewer than 2^(largest + 1) bytes.
    const int shift = kBytesPerLookBits - (mMemory.mLargest + 1);
    if (shift <= 0)
        return 1;
    return std::min(kHookCount, 1 << std::min(shift, 30));
}

const char* ScriptManager::Overrun()
{
    if (mWatches.empty())
        return nullptr;
    Watch& watch = mWatches.back();
    if (!watch.mStopText.empty())
        return watch.mStopText.c_str();
    if (StopRequested())
        watch.mStopText = watch.mLabel + " stopped: the program is ending";
    else if (WorkSeconds() > watch.mDeadline || NowSeconds() > watch.mWallDeadline)
        watch.mStopText = watch.mLabel + " took too long";
    else
        return nullptr;
    return watch.mStopText.c_str();
}

void ScriptManager::RaiseIfStopped(lua_State* L)
{
    const char* stop = Overrun();
    if (!stop)
        return;
    lua_sethook(L, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, stop);
    lua_error(L);
}

void ScriptManager::RunFinaliser(lua_State* L, int function, int object)
{
    const EngineSide engine(*this);
    // The collector may run this anywhere, engine code halfway included: the engine's doors stay
    // shut while a finaliser runs.
    RunGuard finalising(mFinalising);
    // Outside any script call (the engine's own pushes, the state closing) it is watched on its
    // own; inside one it counts toward that call.
    const bool own = mWatches.empty();
    if (own)
        OpenWatch("a finaliser");
    lua_pushvalue(L, function);
    lua_pushvalue(L, object);
    const int status = CallInThread(L, 1, 0);
    std::string stopText;
    if (own)
        stopText = CloseWatch();
    else if (Overrun())
    {
        // The call it ran in stops at its next instruction, and reports it.
        if (status != 0)
            lua_pop(L, 1);
        return;
    }
    if (status == LUA_YIELD)
        Console::Instance().Log("Lua Error: a finaliser yielded; it is not resumed", LogError);
    else if (!stopText.empty())
        Console::Instance().Log("Lua Error: " + stopText, LogError);
    else if (status == LUA_ERRMEM)
        Console::Instance().Log("Lua Error: a finaliser used too much memory", LogError);
    else if (status != 0)
    {
        const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
        Console::Instance().Log(
            std::string("Lua Error: finaliser: ") + (text ? text : "(error object is not a string)"), LogError);
    }
    if (status != 0)
        lua_pop(L, 1);
}

int ScriptManager::CallInThread(lua_State* L, int nargs, int nresults)
{
    lua_State* thread = lua_newthread(L);
    lua_insert(L, -nargs - 2);
    lua_xmove(L, thread, nargs + 1);
    // Lua turns hooks off for the thread that runs a hook or a collector step; a thread of its
    // own has them on.
    lua_sethook(thread, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, StopRequested() ? 1 : HookCount());
    const bool enforced = mMemory.mEnforced;
    mMemory.mEnforced = true;
    EnterThread(thread);
    int status = lua_resume(thread, nargs);
    LeaveThread();
    mMemory.mEnforced = enforced;
    // Stopped in there: the caller stops at its next instruction too.
    if (Overrun())
        lua_sethook(L, &ScriptManager::WatchdogHook, HookMask(L), 1);
    if (status == LUA_YIELD)
    {
        lua_settop(thread, 0);
        lua_pushliteral(thread, "attempt to yield from outside a coroutine");
    }
    else if (status == 0)
    {
        lua_settop(thread, nresults);
        lua_xmove(thread, L, nresults);
        lua_remove(L, -nresults - 1);
        return 0;
    }
    // The error value in the thread's place.
    lua_xmove(thread, L, 1);
    lua_replace(L, -2);
    return status;
}

void ScriptManager::WatchdogHook(lua_State* L, lua_Debug* ar)
{
    ScriptManager& scripts = Instance();
    if (ar->event == LUA_HOOKRET)
    {
        scripts.RaisePending(L, ar);
        return;
    }
    const char* stop = scripts.Overrun();
    if (!stop)
    {
        const int count = scripts.HookCount();
        if (lua_gethookcount(L) != count)
            lua_sethook(L, &ScriptManager::WatchdogHook, scripts.HookMask(L), count);
        return;
    }
    // From now on every instruction raises again, so a script's own pcall cannot keep the call.
    lua_sethook(L, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, stop);
    lua_error(L);
}

int ScriptManager::HookMask(lua_State* thread) const
{
    return mPending.mThread == thread ? LUA_MASKCOUNT | LUA_MASKRET : LUA_MASKCOUNT;
}

void ScriptManager::RaiseOnReturn(const std::string& text)
{
    lua_State* thread = mThreads.empty() ? mState : mThreads.back();
    const int depth = thread ? StackDepth(thread) : 0;
    if (depth == 0)
        return;
    mPending = PendingError{thread, depth, text};
    lua_sethook(thread, &ScriptManager::WatchdogHook, HookMask(thread), lua_gethookcount(thread));
}

void ScriptManager::RaisePending(lua_State* L, lua_Debug* ar)
{
    if (mPending.mThread != L)
    {
        // Left from an error no longer due.
        lua_sethook(L, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, lua_gethookcount(L));
        return;
    }
    const int depth = StackDepth(L);
    // Returns of script code the engine call ran in turn come first.
    if (depth > mPending.mDepth)
        return;
    {
        const EngineSide engine(*this);
        luaL_where(L, 1);
        if (lua_getinfo(L, "n", ar) && ar->name)
            lua_pushfstring(L, "%s refused: ", ar->name);
        else
            lua_pushliteral(L, "");
        lua_pushlstring(L, mPending.mText.data(), mPending.mText.size());
        lua_concat(L, 3);
    }
    // Shallower: the engine call has returned unseen.
    const bool due = depth == mPending.mDepth;
    mPending = PendingError{};
    lua_sethook(L, &ScriptManager::WatchdogHook, HookMask(L), lua_gethookcount(L));
    if (!due)
    {
        lua_pop(L, 1);
        return;
    }
    lua_error(L);
}

int ScriptManager::CallUnderHandler(lua_State* L)
{
    lua_pushinteger(L, lua_pcall(L, lua_gettop(L) - 2, 0, 1));
    return 1;
}

void ScriptManager::OpenWatch(const std::string& label)
{
    double deadline = WorkSeconds() + mTimeLimit;
    double wallDeadline = NowSeconds() + mTimeLimit * kWallTimesLimit;
    if (!mWatches.empty())
    {
        deadline = std::min(deadline, mWatches.back().mDeadline);
        wallDeadline = std::min(wallDeadline, mWatches.back().mWallDeadline);
    }
    mWatches.push_back(Watch{label, deadline, wallDeadline, {}});
}

std::string ScriptManager::CloseWatch()
{
    std::string stopText = std::move(mWatches.back().mStopText);
    mWatches.pop_back();
    return stopText;
}

int ScriptManager::StackDepth(lua_State* L)
{
    lua_Debug level;
    if (!lua_getstack(L, 0, &level))
        return 0;
    // Doubling, then halving: deep recursion is counted in few steps.
    int known = 0, beyond = 1;
    while (lua_getstack(L, beyond, &level))
    {
        known = beyond;
        beyond *= 2;
    }
    while (beyond - known > 1)
    {
        const int middle = known + (beyond - known) / 2;
        if (lua_getstack(L, middle, &level))
            known = middle;
        else
            beyond = middle;
    }
    return known + 1;
}

ScriptResult ScriptManager::ProtectedCall(int nargs, const std::string& label)
{
    lua_State* L = mState;
    const int handler = lua_gettop(L) - nargs - 1;
    // The program is ending: nothing new starts, and a script this was called from stops at
    // its next instruction.
    if (StopRequested())
    {
        lua_settop(L, handler);
        lua_sethook(L, &ScriptManager::WatchdogHook, LUA_MASKCOUNT, 1);
        return ScriptResult::Stopped;
    }
    // A finaliser runs where the collector happened to be; a script it started would run there too.
    if (mFinalising > 0)
    {
        lua_settop(L, handler);
        Console::Instance().Log("Lua Error: " + label + " not run: scripts are not started from a finaliser", LogError);
        return ScriptResult::Failed;
    }
    RunGuard guard(mRunDepth);
    // Entered from inside a script (a level it starts, a command it runs), the call runs within
    // what is left of the outer call's time, in a thread of its own: the one it comes from may be
    // running a hook or an error handler, where Lua keeps hooks off.
    const bool nested = !mWatches.empty();
    OpenWatch(label);
    int status = 0;
    if (nested)
    {
        lua_pushcfunction(L, &CallUnderHandler);
        lua_insert(L, handler);
        status = CallInThread(L, nargs + 2, 1);
        if (status == 0)
            status = int(lua_tointeger(L, -1));
    }
    else
    {
        const bool enforced = mMemory.mEnforced;
        mMemory.mEnforced = true;
        status = lua_pcall(L, nargs, 0, handler);
        mMemory.mEnforced = enforced;
    }
    const std::string stopText = CloseWatch();
    // What the engine refused for a call that has returned is no longer due.
    if (mWatches.empty())
        mPending = PendingError{};
    // The outer call whose time the inner one used up stops at its next instruction: a loop of
    // nested calls runs too few instructions between them for its hook to come round.
    const bool stops = StopRequested() || (nested && Overrun());
    lua_sethook(L, &ScriptManager::WatchdogHook, HookMask(L), stops ? 1 : HookCount());
    if (stops && !mThreads.empty())
        lua_sethook(mThreads.back(), &ScriptManager::WatchdogHook, HookMask(mThreads.back()), 1);
    if (!stopText.empty())
    {
        // No handler reports it: a handler runs no script code once the call is being stopped.
        Console::Instance().Log("Lua Error: " + stopText, LogError);
        return ScriptResult::Stopped;
    }
    if (status == LUA_ERRMEM)
    {
        // Lua raises its memory error without calling the handler.
        Console::Instance().Log("Lua Error: " + label + " used too much memory (over " +
                                    std::to_string(mMemory.mCap >> 20) + " MiB)",
                                LogError);
        return ScriptResult::Stopped;
    }
    return status == 0 ? ScriptResult::Ran : ScriptResult::Failed;
}

void ScriptManager::Frame()
{
    // First in, last out: a restart asked for by the script runs after the state is let go.
    CallScope scope;
    lua_State* L = mState;
    if (!L)
    {
        // Once per closed period: this runs every frame.
        if (!mFrameWarned)
            Console::Instance().Log("No Lua state: frame step skipped", LogError);
        mFrameWarned = true;
        return;
    }
    const double coreDt = mCoreClock ? mCoreClock->GetDt() : 0.0;
    const int64_t coreMs = mCoreClock ? mCoreClock->GetMs() : 0;
    const double gameDt = mGameClock && !mGameClock->IsPaused() ? mGameClock->GetDt() : 0.0;
    const int64_t gameMs = mGameClock ? mGameClock->GetTotalMs() : 0;

    const int top = lua_gettop(L);
    lua_pushliteral(L, "CoreTimeDiff");
    lua_pushnumber(L, coreDt);
    lua_rawset(L, LUA_GLOBALSINDEX);
    lua_pushliteral(L, "CoreTime");
    lua_pushnumber(L, static_cast<double>(coreMs) * 0.001);
    lua_rawset(L, LUA_GLOBALSINDEX);
    lua_pushliteral(L, "GameTimeDiff");
    lua_pushnumber(L, gameDt);
    lua_rawset(L, LUA_GLOBALSINDEX);
    lua_pushliteral(L, "GameTime");
    lua_pushnumber(L, static_cast<double>(gameMs) * 0.001);
    lua_rawset(L, LUA_GLOBALSINDEX);

    if (mUpdateStopped)
    {
        lua_settop(L, top);
        return;
    }
    PushHandler(L);
    lua_pushliteral(L, "GUpdate");
    lua_rawget(L, LUA_GLOBALSINDEX);
    // One that ran into the watchdog would cost the full time limit again every frame.
    if (ProtectedCall(0, "GUpdate") == ScriptResult::Stopped && !StopRequested())
    {
        mUpdateStopped = true;
        Console::Instance().Log("GUpdate is not called again until a new level or a restart", LogError);
        lua_settop(L, top);
        // A copy: the listener may replace itself.
        if (std::function<void()> listener = mStopListener)
            listener();
        return;
    }
    lua_settop(L, top);
}

void ScriptManager::SetUpdateStopListener(const void* owner, std::function<void()> listener)
{
    mStopListenerOwner = owner;
    mStopListener = std::move(listener);
}

void ScriptManager::ClearUpdateStopListener(const void* owner)
{
    if (mStopListenerOwner != owner)
        return;
    mStopListenerOwner = nullptr;
    mStopListener = nullptr;
}

ScriptResult ScriptManager::RunScript(std::string path)
{
    // First in, last out: a restart asked for by the script runs after the state is let go.
    CallScope scope;
    lua_State* L = mState;
    if (!L)
    {
        LogNoState("script", path);
        return ScriptResult::Failed;
    }
    // Named by a data file, the console or a script: only files inside the data folder run.
    std::string inside;
    if (!DataPathInside(path, inside))
        return ScriptResult::Failed;
    const int top = lua_gettop(L);
    PushHandler(L);
    // Loading is script work under the same watch as running: a parse that outlasts the limit
    // is stopped, and the handler reports a file that cannot be read or compiled.
    lua_pushcfunction(L, &RunScriptFile);
    lua_pushlstring(L, path.data(), path.size());
    const ScriptResult result = ProtectedCall(1, path);
    lua_settop(L, top);
    return result;
}

int ScriptManager::RunScriptFile(lua_State* L)
{
    ScriptBounds::Loaded loaded = ScriptBounds::Loaded::Failed;
    {
        size_t length = 0;
        const char* given = lua_tolstring(L, 1, &length);
        const std::string path(given, length);
        std::string text, why;
        if (!ReadScript(path, text, why))
        {
            const EngineSide engine;
            lua_pushlstring(L, why.data(), why.size());
        }
        else
        {
            // Named as the script's own paths are, relative to the data folder.
            const std::string chunkName = "@" + path;
            loaded = ScriptBounds::LoadText(L, text.data(), text.size(), chunkName.c_str(), path.c_str());
        }
    }
    if (loaded == ScriptBounds::Loaded::Stopped)
        Instance().RaiseIfStopped(L);
    if (loaded != ScriptBounds::Loaded::Chunk)
        return lua_error(L);
    lua_call(L, 0, 0);
    return 0;
}

bool ScriptManager::ReadScript(const std::string& path, std::string& text, std::string& why)
{
    const std::string file = DataFilePath(path);
    FileRefusal refusal;
    if (!ReadWholeFile(file, text, kMaxDataFileBytes, &refusal))
    {
        why = refusal.mWhy.empty() ? "cannot open " + path : ScriptFileGuard::Refused(path, refusal);
        return false;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
    {
        why = path + " is empty";
        return false;
    }
    // As the file loader does: a first line starting with '#' is not Lua; its newline keeps line numbers.
    if (text[0] == '#')
        text.erase(0, std::min(text.find('\n'), text.size()));
    return true;
}

bool ScriptManager::CallFunction(const std::string& name, ParamBuffer& params)
{
    // First in, last out: a restart asked for by the script runs after the state is let go.
    CallScope scope;
    lua_State* L = mState;
    if (!L)
    {
        LogNoState("function", name);
        return false;
    }
    const int top = lua_gettop(L);
    PushHandler(L);
    lua_pushlstring(L, name.data(), name.size());
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_isnil(L, -1))
    {
        lua_settop(L, top);
        Console::Instance().Log("Function Not Found: " + name, LogError);
        return false;
    }
    const int count = PushParams(L, params);
    const bool ok = ProtectedCall(count, name) == ScriptResult::Ran;
    lua_settop(L, top);
    return ok;
}

void ScriptManager::Bind(std::string name, std::unique_ptr<ConsoleCommand> command)
{
    if (mBound.count(name))
    {
        Console::Instance().Log("Function Already Bound: " + name, LogError);
        return; // the new command goes with its unique_ptr
    }
    mBound.emplace(std::move(name), std::move(command));
}

const ConsoleCommand* ScriptManager::FindBound(const std::string& name) const
{
    auto it = mBound.find(name);
    return it == mBound.end() ? nullptr : it->second.get();
}

ParamBuffer* ScriptManager::BorrowCallParams()
{
    if (mCallParamsLent || !mCallParams || !mCallParams->GetBlock())
        return nullptr;
    mCallParamsLent = true;
    mCallParams->Clear();
    return mCallParams.get();
}

void ScriptManager::AddPublisher(const void* owner, Publisher publish)
{
    if (!publish)
        return;
    mPublishers.emplace_back(owner, publish);
    if (mState)
        publish(*this);
}

void ScriptManager::RemovePublishers(const void* owner)
{
    std::erase_if(mPublishers, [owner](const auto& entry) { return entry.first == owner; });
}

void ScriptManager::LogNoState(const char* what, const std::string& name) const
{
    Console::Instance().Log(std::string("No Lua state: ") + what + " " + name + " ignored", LogScripting);
}

template <typename Push>
void ScriptManager::SetGlobal(const std::string& name, Push push)
{
    if (!mState)
    {
        LogNoState("global", name);
        return;
    }
    lua_pushlstring(mState, name.data(), name.size());
    push(mState);
    lua_rawset(mState, LUA_GLOBALSINDEX);
}

void ScriptManager::SetGlobalInt(const std::string& name, int value)
{
    SetGlobal(name, [value](lua_State* L) { lua_pushnumber(L, value); });
}

void ScriptManager::SetGlobalFloat(const std::string& name, float value)
{
    SetGlobal(name, [value](lua_State* L) { lua_pushnumber(L, value); });
}

void ScriptManager::SetGlobalBool(const std::string& name, bool value)
{
    SetGlobal(name, [value](lua_State* L) { lua_pushboolean(L, value); });
}

void ScriptManager::SetGlobalString(const std::string& name, const std::string& value)
{
    SetGlobal(name, [&value](lua_State* L) { lua_pushlstring(L, value.data(), value.size()); });
}

void ScriptManager::SetGlobalColor(const std::string& name, const Color& value)
{
    SetGlobal(name, [&value](lua_State* L) { ScriptTypes::PushColor(L, value); });
}

void ScriptManager::SetGlobalVector(const std::string& name, const Vector3& value)
{
    SetGlobal(name, [&value](lua_State* L) { ScriptTypes::PushVector(L, value); });
}

void ScriptManager::SetGlobalQuat(const std::string& name, const Quat& value)
{
    SetGlobal(name, [&value](lua_State* L) { ScriptTypes::PushQuat(L, value); });
}

void ScriptManager::SetGlobalCog(const std::string& name, Cog* cog)
{
    SetGlobal(name, [cog](lua_State* L) { PushCog(L, cog); });
}

void ScriptManager::SetGlobalNil(const std::string& name)
{
    SetGlobal(name, [](lua_State* L) { lua_pushnil(L); });
}

uint32_t ScriptManager::NumberToBits32(double number)
{
    // A double outside the 64-bit range has no defined conversion: saturate first.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    int64_t wide = 0;
    if (number != number)
        wide = 0;
    else if (number >= kTwoTo63)
        wide = std::numeric_limits<int64_t>::max();
    else if (number < -kTwoTo63)
        wide = std::numeric_limits<int64_t>::min();
    else
        wide = static_cast<int64_t>(number);
    return static_cast<uint32_t>(static_cast<uint64_t>(wide));
}

bool ScriptManager::NumberFits(uint8_t code, double number)
{
    switch (code)
    {
    case ParamInt:
        return FitsInt(number);
    case ParamUInt:
        return FitsUInt(number);
    case TypeByte:
        return FitsByte(number);
    case ParamFloat:
        return FitsFloat(number);
    case ParamDouble:
        return std::isfinite(number);
    default:
        return true;
    }
}

const char* ScriptManager::NumberRange(uint8_t code)
{
    switch (code)
    {
    case ParamInt:
        return "int parameter takes a whole number from -2147483648 to 2147483647";
    case ParamUInt:
        return "uint parameter takes a whole number from 0 to 4294967295";
    case TypeByte:
        return "byte parameter takes a whole number from 0 to 255";
    case ParamFloat:
        return "float parameter takes a finite number of at most 3.4028235e38 either side of 0";
    case ParamDouble:
        return "double parameter takes a finite number";
    default:
        return nullptr;
    }
}

const char* ScriptManager::ExpectedTypeName(uint8_t code)
{
    switch (code)
    {
    case TypeVector:
        return ScriptTypes::kVectorMeta;
    case TypeQuat:
        return ScriptTypes::kQuatMeta;
    case TypeColor:
        return ScriptTypes::kColorMeta;
    case TypeConfig:
        return ScriptTypes::kConfigMeta;
    default:
        return nullptr;
    }
}

namespace {
// FetchValue's work, inlined into the argument loop: a call per argument costs more than its checks.
[[gnu::always_inline]] inline int FetchOne(lua_State* L, uint8_t code, int position, uint8_t* slot, size_t room)
{
    const size_t width = CodeWidth(code);
    if (width == 0 || width > room)
        return 0;
    // A number that its parameter would wrap, round off or make infinite is refused, never
    // changed. Anything but a number or numeric text reads as 0, which every numeric code holds.
    switch (code)
    {
    case ParamInt:
    {
        const lua_Number number = lua_tonumber(L, position);
        if (!FitsInt(number))
            return ScriptManager::kFetchRangeError;
        WriteSlot(slot, static_cast<int32_t>(number));
        return 4;
    }
    case ParamUInt:
    {
        const lua_Number number = lua_tonumber(L, position);
        if (!FitsUInt(number))
            return ScriptManager::kFetchRangeError;
        WriteSlot(slot, static_cast<uint32_t>(number));
        return 4;
    }
    case TypeFloat:
    {
        const lua_Number number = lua_tonumber(L, position);
        if (!FitsFloat(number))
            return ScriptManager::kFetchRangeError;
        WriteSlot(slot, static_cast<float>(number));
        return 4;
    }
    case TypeDouble:
    {
        const lua_Number number = lua_tonumber(L, position);
        if (!std::isfinite(number))
            return ScriptManager::kFetchRangeError;
        WriteSlot(slot, static_cast<double>(number));
        return 8;
    }
    case TypeByte:
    {
        const lua_Number number = lua_tonumber(L, position);
        if (!FitsByte(number))
            return ScriptManager::kFetchRangeError;
        slot[0] = static_cast<uint8_t>(number);
        return 1;
    }
    case TypeBool:
        slot[0] = lua_toboolean(L, position) ? 1 : 0;
        return 1;
    case TypeString:
    {
        size_t length = 0;
        const int type = lua_type(L, position);
        const char* text = type == LUA_TSTRING || type == LUA_TNUMBER ? lua_tolstring(L, position, &length) : nullptr;
        if (!text)
            length = 0;
        // The engine takes the text up to its first NUL: "..\0/x" would arrive as "..". A text cut
        // to its slot would be another text too (a file name naming another file).
        if (length && std::memchr(text, 0, length))
            return ScriptManager::kFetchNulError;
        if (length >= ParamBlock::kStringSlot)
            return ScriptManager::kFetchLongError;
        if (length)
            std::memcpy(slot, text, length);
        std::memset(slot + length, 0, ParamBlock::kStringSlot - length);
        return int(ParamBlock::kStringSlot);
    }
    case TypeCog:
    {
        // Anything but a cog value, or a cog that is gone, arrives as no cog.
        uint32_t id = 0;
        Cog* cog = nullptr;
        if (ScriptTypes::ToCogId(L, position, id) && id != 0 && CogDirectory::Get())
            cog = CogDirectory::Get()->FindCogById(id);
        WriteSlot(slot, cog);
        return int(width);
    }
    case TypeVector:
    case TypeQuat:
    case TypeColor:
    case TypeConfig:
    {
        const void* value = ScriptTypes::TestUserdata(L, position, ScriptManager::ExpectedTypeName(code));
        if (!value)
            return ScriptManager::kFetchTypeError;
        std::memcpy(slot, value, width);
        // A NaN or infinite component would reach positions, colours and timings unseen.
        if (code != TypeConfig)
            for (size_t at = 0; at < width; at += sizeof(float))
                if (!std::isfinite(ReadSlot<float>(slot + at)))
                    return ScriptManager::kFetchRangeError;
        return int(width);
    }
    default:
        return 0;
    }
}
} // namespace

int ScriptManager::FetchValue(lua_State* L, uint8_t code, int position, uint8_t* slot, size_t room)
{
    return FetchOne(L, code, position, slot, room);
}

size_t ScriptManager::PushValue(lua_State* L, uint8_t code, const uint8_t* slot, size_t room)
{
    const size_t width = CodeWidth(code);
    if (width == 0 || width > room)
        return 0;
    switch (code)
    {
    // Each integer code goes out with the signedness its C++ type has in a buffer: a bound
    // function returning -1 gives the script -1, not 4294967295.
    case ParamInt:
        lua_pushnumber(L, ReadSlot<int32_t>(slot));
        break;
    case ParamUInt:
        lua_pushnumber(L, ReadSlot<uint32_t>(slot));
        break;
    case TypeFloat:
        lua_pushnumber(L, ReadSlot<float>(slot));
        break;
    case TypeDouble:
        lua_pushnumber(L, ReadSlot<double>(slot));
        break;
    case TypeByte:
        lua_pushnumber(L, slot[0]);
        break;
    case TypeBool:
        lua_pushboolean(L, slot[0] != 0);
        break;
    case TypeString:
    {
        const char* text = reinterpret_cast<const char*>(slot);
        lua_pushlstring(L, text, strnlen(text, ParamBlock::kStringSlot));
        break;
    }
    case TypeCog:
        PushCog(L, ReadSlot<Cog*>(slot));
        break;
    case TypeVector:
        ScriptTypes::PushVector(L, ReadSlot<Vector3>(slot));
        break;
    case TypeQuat:
        ScriptTypes::PushQuat(L, ReadSlot<Quat>(slot));
        break;
    case TypeColor:
        ScriptTypes::PushColor(L, ReadSlot<Color>(slot));
        break;
    case TypeConfig:
        ScriptTypes::PushConfig(L, ReadSlot<DisplaySettings>(slot));
        break;
    default:
        return 0;
    }
    return width;
}

bool ScriptManager::FetchArgs(uint32_t signature, lua_State* L, ParamBuffer& params, int& badPosition)
{
    ParamBlock* block = params.GetBlock();
    if (!block)
        return true;
    badPosition = 0;
    uint32_t count = 0;
    size_t offset = 0;
    bool aligned = true;
    for (; count < ParamBlock::kMaxParams; ++count)
    {
        const uint8_t code = uint8_t(signature >> (8 * count));
        if (code == 0)
            break;
        block->mSignature[count] = code;
        // After a code with no script form the later offsets are unknown: those stay zero.
        if (!aligned)
            continue;
        const int written = FetchOne(L, code, int(count) + 1, block->mData + offset, ParamBlock::kDataSize - offset);
        if (written < 0)
        {
            badPosition = int(count) + 1;
            return false;
        }
        if (written == 0)
            aligned = false;
        offset += size_t(written);
    }
    // A reused block holds the last call's bytes: after a code with no script form all reads zero.
    if (!aligned)
        std::memset(block->mData + offset, 0, ParamBlock::kDataSize - offset);
    // A reused block may carry a longer signature: the list ends where this one does.
    for (uint32_t i = count; i < ParamBlock::kMaxParams; ++i)
        block->mSignature[i] = 0;
    block->mCount = count;
    return true;
}

int ScriptManager::PushParams(lua_State* L, ParamBuffer& params)
{
    params.Rewind();
    const ParamBlock* block = params.GetBlock();
    if (!block)
        return 0;
    const uint32_t count = block->mCount < ParamBlock::kMaxParams ? block->mCount : ParamBlock::kMaxParams;
    if (!lua_checkstack(L, int(count)))
        return 0;
    int pushed = 0;
    size_t offset = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const size_t used = PushValue(L, block->mSignature[i], block->mData + offset, ParamBlock::kDataSize - offset);
        // A value the script cannot hold ends the list: the later ones sit at unknown offsets.
        if (used == 0)
            break;
        offset += used;
        ++pushed;
    }
    return pushed;
}

void ScriptManager::PushCog(lua_State* L, Cog* cog) { ScriptTypes::PushCogId(L, cog ? cog->GetID() : 0); }

#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct lua_State;
struct lua_Debug;
class Cog;
class ConsoleCommand;
class ParamBuffer;
class PreciseTimer;
class GameClock;
struct Vector3;
struct Quat;
struct Color;

// How a script call ended: stopped means the watchdog ended it (too long, too much memory, or
// the program is ending).
enum class ScriptResult
{
    Ran,
    Failed,
    Stopped,
};

// The engine's one bridge to Lua: owns the script state, runs script files and the per-frame
// GUpdate, publishes engine values as globals and converts parameter blocks to script values
// and back. Main thread only. Every call into the scripts runs under a watchdog: one that runs
// longer than the time limit, or a state that grows past its memory cap, is stopped with an error.
class ScriptManager
{
public:
    static constexpr double kDefaultTimeLimit = 2.0;
    static constexpr size_t kDefaultMemoryCap = size_t(256) << 20;

    static ScriptManager& Instance();

    // Builds a fresh state: libraries, value types, "G", "ErrorFunc", "GUpdate", one Frame,
    // then "Scripts/Init.lua". An existing state is closed first.
    void Init();
    // After Close the state is null and every setter and call does nothing but log.
    void Close();
    void Reset();
    // Sets "CoreTimeDiff", "CoreTime", "GameTimeDiff", "GameTime", then calls GUpdate. A GUpdate
    // the watchdog stopped is not called again until ResumeUpdate or a new state.
    void Frame();
    // A new level may bring a GUpdate that works: Frame calls it again.
    void ResumeUpdate() { mUpdateStopped = false; }
    // Told once the watchdog has stopped GUpdate (not when the program is ending), so what the
    // per-frame work drove (a level's waves) can end instead of standing still. One listener;
    // a second owner's replaces the first, and Clear forgets it only for its own owner.
    void SetUpdateStopListener(const void* owner, std::function<void()> listener);
    void ClearUpdateStopListener(const void* owner);
    // Clocks read by Frame; null reads as time 0 (the core engine installs its own).
    void SetClocks(const PreciseTimer* core, const GameClock* game);

    // A call's running time, the calls it starts counted, in seconds; the memory cap in bytes
    // holds for the state as a whole and applies to the open state at once.
    void SetLimits(double seconds, size_t memoryCap);
    double GetTimeLimit() const { return mTimeLimit; }
    size_t GetMemoryCap() const { return mMemory.mCap; }
    size_t GetMemoryUsed() const { return mMemory.mUsed; }

    // For C work on the scripts' behalf that the count hook does not see (long loops in C,
    // error handlers): the error text when the watched call must stop now, else null.
    const char* WatchdogStop() { return Overrun(); }
    // Raises the watchdog's error in L when the watched call must stop now.
    void RaiseIfStopped(lua_State* L);
    // Around running a coroutine (resumed by a script, or a finaliser's thread): its hook is
    // armed for the values that live now, and a larger value made while it runs arms it again.
    void EnterThread(lua_State* thread);
    void LeaveThread() { mThreads.pop_back(); }
    // For the engine refusing what a script asked of it inside its own frames: the text is
    // raised as a script error when the engine call running now returns to the script.
    void RaiseOnReturn(const std::string& text);
    // Runs a script's finaliser (function at index, called with the value at object) from the
    // collector, which runs finalisers with the hook off: in a thread of its own, where the hook
    // is on, held to the limits. Never raises: the collector may run inside engine code.
    void RunFinaliser(lua_State* L, int function, int object);
    // True while a finaliser runs: the engine's commands refuse it, and no script is started.
    bool InFinaliser() const { return mFinalising > 0; }
    // Calls the function below the top nargs values in a new thread of L, watched, with the
    // hook on whatever L is doing. Leaves nresults values, or the error value; returns the
    // status (LUA_YIELD for a function that yielded, which is not resumed).
    int CallInThread(lua_State* L, int nargs, int nresults);

    ScriptResult RunScript(std::string path);
    // A script file's text through the capped file reader. False, with why naming the file,
    // when it cannot be read or holds nothing but blanks.
    static bool ReadScript(const std::string& path, std::string& text, std::string& why);
    // Calls the global function with the buffer's parameters; true when it ran without error.
    // Watched under its name.
    bool CallFunction(const std::string& name, ParamBuffer& params);
    // A second command under the same name is logged and destroyed.
    void Bind(std::string name, std::unique_ptr<ConsoleCommand> command);
    const ConsoleCommand* FindBound(const std::string& name) const;

    // What a subsystem gives the scripts as globals. Every new state gets it (start, soft and
    // hard restart alike) before "Scripts/Init.lua" runs; a state already open gets it at once.
    using Publisher = std::function<void(ScriptManager&)>;
    void AddPublisher(const void* owner, Publisher publish);
    void RemovePublishers(const void* owner);

    void SetGlobalInt(const std::string& name, int value);
    void SetGlobalFloat(const std::string& name, float value);
    void SetGlobalBool(const std::string& name, bool value);
    void SetGlobalString(const std::string& name, const std::string& value);
    void SetGlobalColor(const std::string& name, const Color& value);
    void SetGlobalVector(const std::string& name, const Vector3& value);
    void SetGlobalQuat(const std::string& name, const Quat& value);
    void SetGlobalCog(const std::string& name, Cog* cog);
    void SetGlobalNil(const std::string& name);

    // Reads script argument position into slot by type code; returns the bytes written, or
    // kFetchTypeError when a value type was expected and something else was given, or
    // kFetchRangeError for a number its parameter cannot hold (a value type's components too:
    // finite only), or kFetchNulError for a string holding a NUL byte, or kFetchLongError for one
    // longer than its slot holds (the caller raises the script error once its own objects are gone).
    static constexpr int kFetchTypeError = -1;
    static constexpr int kFetchRangeError = -2;
    static constexpr int kFetchNulError = -3;
    static constexpr int kFetchLongError = -4;
    static int FetchValue(lua_State* L, uint8_t code, int position, uint8_t* slot, size_t room);
    // Pushes one parameter; returns the bytes consumed, 0 for a code with no script form.
    static size_t PushValue(lua_State* L, uint8_t code, const uint8_t* slot, size_t room);
    static void PushCog(lua_State* L, Cog* cog);
    // Fills params from the call's arguments 1 to 4 by signature. False with badPosition set
    // when FetchValue refuses an argument.
    static bool FetchArgs(uint32_t signature, lua_State* L, ParamBuffer& params, int& badPosition);
    // Returns the number of values pushed.
    static int PushParams(lua_State* L, ParamBuffer& params);
    // The script type name an argument of this code must have ("rVector3" ...), or null.
    static const char* ExpectedTypeName(uint8_t code);
    // 32-bit integer from a script number: truncated toward zero through 64 bits, NaN as 0.
    static uint32_t NumberToBits32(double number);
    // Whether a numeric parameter of this code holds the number as it is: finite, whole for the
    // integer codes, and within the type's range. Any number fits a code that is not numeric.
    static bool NumberFits(uint8_t code, double number);
    // What a numeric parameter of this code takes, for the error a script sees ("byte parameter
    // takes a whole number from 0 to 255"), or null for a code that is not numeric.
    static const char* NumberRange(uint8_t code);

    // "StartCoroutine": scripts run coroutines through the standard library; nothing to do.
    void StartCoroutine(std::string, std::string) {}

    // While the engine carries out a call made by a script, its own pushes are never refused:
    // a memory error there would jump over C++ objects. Made around every such call.
    class EngineSide
    {
    public:
        EngineSide() : EngineSide(Instance()) {}
        // Inline, with the manager at hand: it is made on every call from a script.
        explicit EngineSide(ScriptManager& scripts) : mScripts(scripts), mWasEnforced(scripts.mMemory.mEnforced)
        {
            scripts.mMemory.mEnforced = false;
        }
        ~EngineSide() { mScripts.mMemory.mEnforced = mWasEnforced; }
        EngineSide(const EngineSide&) = delete;
        EngineSide& operator=(const EngineSide&) = delete;

    private:
        ScriptManager& mScripts;
        bool mWasEnforced;
    };

    // The parameters of a call from a script into the engine, kept by the manager: a fresh block
    // is cleared whole on every call. Null while an outer call holds them (or before the first
    // state); that call then takes a fresh block.
    ParamBuffer* BorrowCallParams();
    void ReturnCallParams() { mCallParamsLent = false; }

    lua_State* GetState() const { return mState; }
    // True while a script file, a function called by name or GUpdate is running.
    bool IsRunning() const;

    ScriptManager(const ScriptManager&) = delete;
    ScriptManager& operator=(const ScriptManager&) = delete;

private:
    ScriptManager();
    ~ScriptManager();

    // Stores the value push leaves on the stack under the name, raw, so no script metatable on
    // the globals can raise; without a state it logs and pushes nothing.
    template <typename Push>
    void SetGlobal(const std::string& name, Push push);
    void LogNoState(const char* what, const std::string& name) const;
    // Calls the function below the top nargs values under the handler below it, watched under
    // the label; pops all.
    ScriptResult ProtectedCall(int nargs, const std::string& label);
    static void WatchdogHook(lua_State* L, lua_Debug* ar);
    void RaisePending(lua_State* L, lua_Debug* ar);
    // Calls on the thread's stack, 0 when none runs.
    static int StackDepth(lua_State* L);
    // The count hook, and the return hook while an error waits for its engine call to return.
    int HookMask(lua_State* thread) const;
    // In a nested call's thread: calls the function at 2 with the rest under the handler at 1;
    // returns the status.
    static int CallUnderHandler(lua_State* L);
    // Every script call is watched: the outermost owns the deadline, a nested one keeps it.
    void OpenWatch(const std::string& label);
    // Ends the innermost watch; returns its stop text, empty when it was not stopped.
    std::string CloseWatch();
    // Loads and runs the script file named by argument 1, within the watched call.
    static int RunScriptFile(lua_State* L);
    static void* Allocate(void* budget, void* block, size_t oldSize, size_t newSize);
    // Instructions between two calls of the hook: fewer while large values live.
    int HookCount() const;
    // Lowers the thread's hook count to HookCount, never raises it (a call being stopped has 1).
    void ArmHook(lua_State* thread) const;
    // The error text when the innermost watched call must stop now, else null.
    const char* Overrun();

    // One per watched call in progress, the innermost last. An inner call ends by the outer
    // one's deadlines: however a script is entered, the outermost entry's limit holds.
    struct Watch
    {
        std::string mLabel;
        double mDeadline = 0.0; // the thread's working time
        double mWallDeadline = 0.0;
        std::string mStopText;
    };
    // Only script code is held to the cap; the engine's own pushes between calls always pass.
    struct MemoryBudget
    {
        size_t mUsed = 0;
        size_t mCap = kDefaultMemoryCap;
        bool mEnforced = false;
        // Live large blocks by the power of two at or below their size, and the largest such
        // power with any (-1 for none). KeepBlock is true when a block is larger than all others.
        std::array<uint32_t, 64> mLarge{};
        int mLargest = -1;
        bool KeepBlock(size_t size);
        void ForgetBlock(size_t size);
    };

    lua_State* mState = nullptr;
    std::unique_ptr<ParamBuffer> mCallParams;
    bool mCallParamsLent = false;
    std::map<std::string, std::unique_ptr<ConsoleCommand>> mBound;
    std::vector<std::pair<const void*, Publisher>> mPublishers;
    const void* mStopListenerOwner = nullptr;
    std::function<void()> mStopListener;
    const PreciseTimer* mCoreClock = nullptr;
    const GameClock* mGameClock = nullptr;
    int mRunDepth = 0;
    int mFinalising = 0;
    bool mFrameWarned = false;
    bool mUpdateStopped = false;
    double mTimeLimit = kDefaultTimeLimit;
    MemoryBudget mMemory;
    // An error waiting for the engine call at that depth of that thread to return.
    struct PendingError
    {
        lua_State* mThread = nullptr;
        int mDepth = 0;
        std::string mText;
    };
    PendingError mPending;
    std::vector<Watch> mWatches;
    // The coroutines entered, the running one last; the main thread is not among them.
    std::vector<lua_State*> mThreads;
};

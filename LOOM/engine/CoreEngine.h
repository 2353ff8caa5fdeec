#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/Clocks.h"
#include "LOOM/base/StringUtils.h"

class EngineWindow;
struct LogEntry;
class Loom;
class MessageRegistry;
class QTree;
class TimedCallList;
class ScriptManager;

// How the program makes each loom; the core knows nothing above itself, so the program entry
// hands these in. A null entry (or a null result) leaves that slot empty.
struct LoomFactories
{
    using Make = Loom* (*)();
    Make mAudio = nullptr;
    Make mIO = nullptr;
    Make mNetwork = nullptr;
    Make mPhysics = nullptr;
    Make mGraphics = nullptr;
    Make mLogic = nullptr;
};

// Owns one run of the engine: creates the looms, drives the frame loop, keeps the frame
// statistics, answers the restart and pause commands and tears down in a fixed order.
class CoreEngine
{
public:
    enum Slot
    {
        SlotGraphics,
        SlotNetwork,
        SlotPhysics,
        SlotAudio,
        SlotExtra,
        SlotIO,
        SlotLogic,
        SlotCount,
    };

    CoreEngine(EngineWindow* window, LoomFactories factories);
    ~CoreEngine();
    CoreEngine(const CoreEngine&) = delete;
    CoreEngine& operator=(const CoreEngine&) = delete;

    // Reads the engine configuration before Start; a file that is missing or cannot be read is
    // reported by Start, in the log and in the error dialog.
    void LoadConfig(const std::string& fileName);
    // A start script named in the configuration that cannot be read is reported the same way.
    void Start();
    void Run();
    // One pass of the frame loop's body (Run calls it while running and the window lives).
    void Frame();

    void UpdateLooms();
    void RegisterTypes();
    void StartLooms();
    void StartLoom(Loom* loom, const char* text);
    void ShutdownLooms();

    // Console commands.
    void Exit() { mRunning = false; }
    // The player's pause. A window that holds the clock, or a lock, outranks it: while either
    // stands the command leaves the clock as it is.
    void TogglePause();
    // A window's hold: its script holds the clock while it is open and lets go as it closes. A
    // pause the player made before the window opened stays when it closes.
    void SetPause(bool paused);
    // While locked the clock stands whatever the pause commands ask: a level that is over never
    // moves again. The holds and the player's pause are kept for when it is unlocked.
    void LockClock(bool locked);
    bool IsClockLocked() const { return mClockLocked; }
    // The display is lost: the clock stands until it is back, whatever a window or the Pause
    // key asks. Back, the game stays paused as if the player had paused it, for the player to
    // go on.
    void SetDisplayLost(bool lost);
    // The goal window's Start: the level's clock goes, whatever paused it before the level.
    void StartLevelClock();
    void RequestSoftRestart();
    void RequestRestart();

    bool IsRunning() const { return mRunning; }
    GameClock& GetGameClock() { return mGameClock; }
    // Paused by the "pause" command (the player's key) and by nothing else: a window that holds
    // the clock shows itself.
    bool IsPausedByPlayer() const
    {
        return (mPausedByPlayer || mErrorHeld) && !mHeld && !mClockLocked && !mDisplayLost && mGameClock.IsPaused();
    }
    PreciseTimer& GetCoreTimer() { return mCoreTimer; }
    MessageRegistry& GetMessageRegistry() { return *mMessages; }
    TimedCallList& GetTimedCalls() { return *mTimedCalls; }
    ScriptManager& GetScriptManager();

    // Statistics, copied once per frame.
    float GetFrameRate() const { return mFrameRate; }
    int GetCogCount() const { return mCogCount; }
    int64_t GetRunTime() const { return mRunTime; }
    float GetGraphicsTime() const { return mGraphicsTime; }
    float GetPhysicsTime() const { return mPhysicsTime; }
    float GetOtherLoomsTime() const { return mOtherLoomsTime; }
    float GetFrameDt() const { return mFrameDt; }
    // The frame time averaged over the same frames as the loom times, so each is a share of it.
    float GetFrameTime() const { return mFrameTime; }

private:
    // Only inside the data folder and never through a link; a refused name falls back to the
    // default log file there.
    void OpenRunLog(const std::string& fileName);
    void RunStartupScript();
    void CarryOutRestarts();
    void SoftRestart();
    // Everything a soft restart does, and the looms shut down and start again.
    void HardRestart();
    // The clock stands while the player paused it, a window holds it, it is locked, the display
    // is lost or an error stopped it.
    void ApplyPause();
    // An assertion failed since the last frame: the clock stands until the player goes on with
    // Pause; a window closing does not start it.
    void HoldForError();
    // A restart: neither the pause nor any hold or lock outlives what made it.
    void ReleaseClock();

    std::unique_ptr<MessageRegistry> mMessages;
    EngineWindow* mWindow = nullptr;
    PreciseTimer mCoreTimer;
    GameClock mGameClock;
    std::unique_ptr<TimedCallList> mTimedCalls;
    float mFrameRate = 0.0f;
    int mCogCount = 0;
    int64_t mRunTime = 0;
    float mGraphicsTime = 0.0f;
    float mPhysicsTime = 0.0f;
    float mOtherLoomsTime = 0.0f;
    float mFrameDt = 0.0f;
    float mFrameTime = 0.0f;
    bool mRunning = false;
    bool mPausedByPlayer = false;
    bool mHeld = false;
    bool mClockLocked = false;
    bool mDisplayLost = false;
    bool mErrorHeld = false;
    std::unique_ptr<Loom> mLooms[SlotCount];
    LoomFactories mFactories;
    std::unique_ptr<QTree> mQTree;

    RunningAverage mFrameRateAverage;
    RunningAverage mGraphicsAverage;
    RunningAverage mPhysicsAverage;
    RunningAverage mOtherAverage;
    RunningAverage mFrameTimeAverage;

    // Restarts asked for while a script, cog function, message or console command runs wait
    // until the outermost of them returns, so no script state is closed under a running
    // script and no cog is deleted under its own call.
    bool mSoftRestartPending = false;
    bool mHardRestartPending = false;
    bool mRestarting = false;
    std::function<void()> mPreviousReturnHook;

    // config.xml there but not readable; config.xml not there at all.
    std::string mConfigProblem;
    std::string mConfigMissing;
    // Errors logged before the log file opened, written there once it has.
    std::vector<LogEntry> mEarlyErrors;
};

// The running core engine, not owned: null before the engine main makes it and after it goes.
extern CoreEngine* gCoreEngine;

// Sets the data path, makes the core, reads "config.xml", starts, runs and tears down.
int EngineMain(EngineWindow* window, const LoomFactories& factories);

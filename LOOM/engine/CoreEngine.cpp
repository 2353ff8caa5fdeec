#include "LOOM/engine/CoreEngine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "LOOM/assets/ResourceManager.h"
#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/calls/CallScope.h"
#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreRegistrations.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/engine/EngineWindow.h"
#include "LOOM/engine/Loom.h"
#include "LOOM/engine/TimedCallList.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "LOOM/space/QTree.h"

CoreEngine* gCoreEngine = nullptr;

namespace {
void Init(const std::string& text) { Console::Instance().Log(text, LogInit); }

// An assertion may fail on any thread: the frame loop's thread takes the clock's stop from here.
std::atomic<bool> gErrorPending{false};
void NoteAssertFailed() { gErrorPending.store(true); }

// Where the log goes when the one configured is refused, or when config.xml is missing or cannot be read.
const char* const kDefaultLogFile = "Log.xml";

// The configured folder when it is inside the data folder; the data folder itself (refused, logged)
// when it is not. Files are named by appending to it, so an empty one stays empty.
std::string ConfigFolderInside(const std::string& folder)
{
    std::string inside;
    if (folder.empty() || !DataPathInside(folder, inside))
        return std::string();
    return folder + "\\";
}

// The start script is the game: one that cannot be read leaves nothing to play, so the player is
// told why in the error dialog rather than left before an empty window. Empty when it can be read.
std::string StartScriptProblem(const std::string& script)
{
    if (script.empty())
        return std::string();
    std::string bytes;
    FileRefusal refusal;
    errno = 0;
    if (ReadWholeFile(DataFilePath(script), bytes, kMaxDataFileBytes, &refusal))
        return std::string();
    const int error = errno;
    std::string why = "not read whole";
    if (!refusal.mWhy.empty())
        why = refusal.Text(script);
    else if (error != 0)
        why = std::strerror(error);
    return "The start script " + script + " cannot be read (" + why + ")";
}

// Per-loom timing reads the timer without ticking it, so measuring never disturbs the frame dt.
void TimedUpdate(const std::unique_ptr<Loom>& loom, const PreciseTimer& timer, RunningAverage& average)
{
    if (!loom)
        return;
    const double before = timer.CurrentSeconds();
    loom->Update();
    average.Add(static_cast<float>(timer.CurrentSeconds() - before));
}
} // namespace

CoreEngine::CoreEngine(EngineWindow* window, LoomFactories factories)
    : mMessages(std::make_unique<MessageRegistry>()), mWindow(window),
      mTimedCalls(std::make_unique<TimedCallList>(CogFactory::Instance(), mGameClock)), mFactories(factories)
{
    Console& console = Console::Instance();
    console.RegisterCommand("exit", MakeConsoleCommand(this, &CoreEngine::Exit), "Exits the Engine");
    console.RegisterCommand("pause", MakeConsoleCommand(this, &CoreEngine::TogglePause), "Pauses the Engine");
    console.RegisterCommand("restart", MakeConsoleCommand(this, &CoreEngine::RequestRestart), "Restarts the Engine");
    console.RegisterCommand("SoftRestart", MakeConsoleCommand(this, &CoreEngine::RequestSoftRestart),
                            "Soft Restarts the Engine");
    console.RegisterCommand("SetPause", MakeConsoleCommand(this, &CoreEngine::SetPause), "Pauses the Engine");
    console.SetEngineKeys([this] { Exit(); }, [this] { RequestSoftRestart(); });
    console.SetLogClock(&mCoreTimer);
    gErrorPending.store(false);
    SetAssertHold(&NoteAssertFailed);
    CogFactory::Instance().AddIdListener(mMessages.get());
    mPreviousReturnHook = CallScope::SetOutermostReturnHook([this] { CarryOutRestarts(); });
}

CoreEngine::~CoreEngine()
{
    // Nothing torn down below may start a restart.
    CallScope::SetOutermostReturnHook(std::move(mPreviousReturnHook));
    mSoftRestartPending = mHardRestartPending = false;
    ShutdownLooms();
    for (Slot slot : {SlotGraphics, SlotIO, SlotNetwork, SlotPhysics, SlotAudio, SlotExtra, SlotLogic})
    {
        mLooms[slot].reset();
    }
    mQTree.reset();
    mTimedCalls.reset();
    // The manager outlives this engine: the next one starts from its own data folder, and the
    // functors the looms registered may point into looms that are gone.
    CogFactory::Instance().ForgetRun();
    CogFactory::Instance().RemoveIdListener(mMessages.get());
    mMessages.reset();
    // Last: the looms' teardown still passes parameters, which would refill the pool.
    ParamBuffer::FreePool();

    Console& console = Console::Instance();
    for (const char* name : {"exit", "pause", "restart", "SoftRestart", "SetPause"})
        console.RemoveCommand(name);
    console.SetEngineKeys(nullptr, nullptr);
    console.SetLogClock(nullptr);
    if (mWindow)
        mWindow->RemoveListener(&console);
    SetAssertHold(nullptr);
}

ScriptManager& CoreEngine::GetScriptManager() { return ScriptManager::Instance(); }

void CoreEngine::Start()
{
    // Compositions and the start script may ask for a restart: it runs once the start is done.
    CallScope scope;
    const EngineConfig& config = EngineConfig::Instance();
    Console& console = Console::Instance();
    CogFactory& cogs = CogFactory::Instance();

    const bool configRead = mConfigProblem.empty() && mConfigMissing.empty();
    OpenRunLog(config.mLogFile.empty() && !configRead ? kDefaultLogFile : config.mLogFile);
    SystemInfo info;
    if (mWindow)
        mWindow->ReportSystemInfo(info);
    console.OpenLog(info);
    if (mWindow)
        mWindow->LogFileOpened();
    for (const LogEntry& entry : mEarlyErrors)
        console.WriteToLogFile(entry);
    mEarlyErrors.clear();
    // Now that the log keeps it: the player is told in the error dialog, not on stderr alone.
    const std::string& configProblem = mConfigProblem.empty() ? mConfigMissing : mConfigProblem;
    if (!configProblem.empty() && AssertFailedString("LoadEngineConfig", __FILE__, __LINE__, configProblem))
        DebugBreakIfAttached();
    Init("Starting Core Engine");
    mRunning = true;
    cogs.Exporter().SetExportDocs(config.mExportDocs);
    if (mWindow)
        mWindow->AddListener(&console);
    ParamBuffer::AllocatePool(8);
    mFrameDt = 0.0f;
    if (mWindow && config.mWindowX != 0)
        mWindow->ResizeAndCenter(config.mWindowX, config.mWindowY);
    console.SetConfigFolder(ConfigFolderInside(config.mConfigFolder));
    console.Log(config.mMotD, LogGeneral);

    ResourceManager::Instance().ResourceInfo();
    RegisterCoreFunctions(cogs);

    const LoomFactories::Make makers[] = {mFactories.mAudio,   mFactories.mIO,       mFactories.mNetwork,
                                          mFactories.mPhysics, mFactories.mGraphics, mFactories.mLogic};
    const Slot slots[] = {SlotAudio, SlotIO, SlotNetwork, SlotPhysics, SlotGraphics, SlotLogic};
    for (size_t i = 0; i < std::size(slots); ++i)
        mLooms[slots[i]].reset(makers[i] ? makers[i]() : nullptr);

    RegisterTypes();
    // Hands the called cog to the editor; there is no editor in this program, so nothing happens.
    cogs.Types().RegisterFunction("AutoSelectEditor", MakeCogFunctor([](Cog*) {}));

    Init("Initializing Quad Tree");
    mQTree = std::make_unique<QTree>();
    mQTree->Init();

    ScriptManager& scripts = ScriptManager::Instance();
    scripts.SetClocks(&mCoreTimer, &mGameClock);
    scripts.Init();
    StartLooms();

    if (config.mPreExport)
        cogs.Exporter().Export();
    cogs.Files().SetCacheArchetypes(config.mCacheBinaryArchetypes);
    cogs.SetEditorListener(nullptr);

    if (config.mProcessCompFolder)
    {
        Init("Reading Compositions");
        std::vector<std::string> files;
        ListFolderFiles(DataFilePath("Compositions"), "xml", files);
        for (const std::string& name : files)
            cogs.Files().LoadCogFile("Compositions\\" + name);
        Init("Reading Compositions Complete");
    }
    Init("Running Start Scripts");
    const std::string scriptProblem = StartScriptProblem(config.mStartupScript);
    if (scriptProblem.empty())
        RunStartupScript();
    else if (AssertFailedString("RunStartupScript", __FILE__, __LINE__, scriptProblem))
        DebugBreakIfAttached();
}

void CoreEngine::LoadConfig(const std::string& fileName)
{
    mConfigProblem.clear();
    mConfigMissing.clear();
    if (!LoadEngineConfig(fileName, EngineConfig::Instance(), &mConfigProblem, &mEarlyErrors) && mConfigProblem.empty())
        mConfigMissing =
            fileName + " not found in " + GetDataPath() + ": the engine starts with its default configuration";
}

void CoreEngine::OpenRunLog(const std::string& fileName)
{
    if (fileName.empty())
        return;
    Console& console = Console::Instance();
    // A refusal is logged before the file opens: kept to be written there once one does.
    auto open = [&](const std::string& name, std::string& why) {
        std::string inside;
        if (DataPathInside(name, inside, &why) && console.OpenLogFile(inside))
            return true;
        mEarlyErrors.push_back(console.GetEntries().FromNewest(0));
        why = mEarlyErrors.back().mText;
        return false;
    };
    std::string refusal, fallbackRefusal;
    if (open(fileName, refusal))
        return;
    const bool fallback = fileName != kDefaultLogFile && open(kDefaultLogFile, fallbackRefusal);
    std::fprintf(stderr, "The log file is refused: %s; %s\n", refusal.c_str(),
                 fallback ? "the log goes to Log.xml in the data folder" : "no log file is written");
}

void CoreEngine::RunStartupScript()
{
    const std::string& script = EngineConfig::Instance().mStartupScript;
    if (script.empty())
        return;
    Console& console = Console::Instance();
    const uint32_t before = console.GetEntryCounter();
    const ScriptResult result = ScriptManager::Instance().RunScript(script);
    // Ended by a stop request, it has nothing to say; otherwise, as one that cannot be read, it
    // leaves nothing to play, so the box says why: the newest script error it logged.
    if (result == ScriptResult::Ran || StopRequested())
        return;
    std::string why = "no error text";
    const uint32_t logged = std::min<uint32_t>(console.GetEntryCounter() - before, EntryRing::kCapacity);
    for (uint32_t i = 0; i < logged; ++i)
    {
        const LogEntry& entry = console.GetEntries().FromNewest(i);
        if (entry.mCategory == LogError && entry.mText.rfind("Lua Error: ", 0) == 0)
        {
            why = entry.mText.substr(11);
            break;
        }
    }
    std::string shown = script;
    Console::FixSlashes(shown);
    if (AssertFailedString("RunStartupScript", __FILE__, __LINE__,
                           "The start script " + shown + " failed (" + why + ")"))
        DebugBreakIfAttached();
}

void CoreEngine::RegisterTypes()
{
    Init("Registering Types");
    for (Slot slot : {SlotAudio, SlotIO, SlotGraphics, SlotLogic, SlotPhysics, SlotNetwork, SlotExtra})
        if (mLooms[slot])
            mLooms[slot]->RegisterTypes();
    Init("Registering Complete");
}

void CoreEngine::StartLoom(Loom* loom, const char* text)
{
    if (!loom)
        return;
    loom->Init();
    Init(text);
}

void CoreEngine::StartLooms()
{
    Init("Starting Looms");
    StartLoom(mLooms[SlotAudio].get(), "Audio Active");
    StartLoom(mLooms[SlotNetwork].get(), "Network Active");
    StartLoom(mLooms[SlotPhysics].get(), "Physics Active");
    StartLoom(mLooms[SlotIO].get(), "IO Active");
    StartLoom(mLooms[SlotGraphics].get(), "Graphics Active");
    StartLoom(mLooms[SlotLogic].get(), "Logic Active");
    Init("Looms Started");
}

void CoreEngine::ShutdownLooms()
{
    // The scripts go first: the finalisers due at the close then run against a whole engine,
    // and no script runs while the cogs are torn down.
    ScriptManager::Instance().Close();
    Init("Destroying All Cogs");
    CogFactory::Instance().DestroyAll();
    Init("Shutting Down Looms");
    // The network loom is never shut down, only deleted.
    for (Slot slot : {SlotAudio, SlotLogic, SlotGraphics, SlotIO, SlotExtra, SlotPhysics})
        if (mLooms[slot])
            mLooms[slot]->Shutdown();
}

void CoreEngine::Run()
{
    Init("Starting Core Engine Loop");
    if (mWindow)
        mWindow->ShowMainWindow();
    mCoreTimer.Tick();
    // A stop asked for by a signal ends the loop like "exit".
    while (mRunning && !StopRequested() && (!mWindow || mWindow->PumpMessages()))
        Frame();
    Init("Control Loop Terminated");
}

void CoreEngine::Frame()
{
    CogFactory& cogs = CogFactory::Instance();
    {
        // A restart asked for during the frame runs when this scope ends.
        CallScope frame;
        // Before the clock moves: the time an error dialog stood open is never played.
        if (gErrorPending.exchange(false))
            HoldForError();
        mGameClock.Tick();
        UpdateLooms();
        mTimedCalls->Update();
        cogs.UpdateAll();
        ScriptManager::Instance().Frame();
        cogs.ProcessDestroyList();
    }
    CarryOutRestarts();

    mCoreTimer.Tick();
    mFrameDt = static_cast<float>(mCoreTimer.GetDt());
    // A frame too short to measure says nothing about the rate.
    if (mFrameDt > 0.0f)
        mFrameRateAverage.Add(1.0f / mFrameDt);
    mFrameRate = mFrameRateAverage.mMean;
    mFrameTimeAverage.Add(mFrameDt);
    mFrameTime = mFrameTimeAverage.mMean;
    mCogCount = static_cast<int>(cogs.GetCogCount());
    mGraphicsTime = mGraphicsAverage.mMean;
    mPhysicsTime = mPhysicsAverage.mMean;
    mRunTime = mCoreTimer.GetMs();
}

void CoreEngine::UpdateLooms()
{
    TimedUpdate(mLooms[SlotGraphics], mCoreTimer, mGraphicsAverage);
    TimedUpdate(mLooms[SlotPhysics], mCoreTimer, mPhysicsAverage);
    if (mLooms[SlotExtra])
        mLooms[SlotExtra]->Update();
    const double before = mCoreTimer.CurrentSeconds();
    for (Slot slot : {SlotLogic, SlotAudio, SlotIO, SlotNetwork})
        if (mLooms[slot])
            mLooms[slot]->Update();
    mOtherAverage.Add(static_cast<float>(mCoreTimer.CurrentSeconds() - before));
    mOtherLoomsTime = mOtherAverage.mMean;
}

void CoreEngine::TogglePause()
{
    if (mClockLocked || mHeld || mDisplayLost)
    {
        Console::Instance().Log(mClockLocked ? "Pause ignored: the game is over and stays stopped"
                                    : mHeld  ? "Pause ignored: a window holds the game until it closes"
                                             : "Pause ignored: the display is lost until it is back",
                                LogGeneral);
        return;
    }
    // Only the player's pause and an error's stop are left, and the player lifts both.
    mPausedByPlayer = !mGameClock.IsPaused();
    mErrorHeld = false;
    ApplyPause();
    Console::Instance().Log(mGameClock.IsPaused() ? "Game Paused" : "Game Unpaused", LogGeneral);
}

void CoreEngine::SetPause(bool paused)
{
    mHeld = paused;
    ApplyPause();
}

void CoreEngine::LockClock(bool locked)
{
    mClockLocked = locked;
    ApplyPause();
}

void CoreEngine::SetDisplayLost(bool lost)
{
    if (lost == mDisplayLost)
        return;
    mDisplayLost = lost;
    // Back from elsewhere, the player finds the game as it was left and goes on with Pause.
    if (!lost && !mClockLocked)
        mPausedByPlayer = true;
    ApplyPause();
}

void CoreEngine::HoldForError()
{
    mErrorHeld = true;
    ApplyPause();
    Console::Instance().Log("The game stops for the error logged above; Pause goes on", LogGeneral);
}

void CoreEngine::StartLevelClock()
{
    // A pause made in the menus before the level does not carry into it; a level over already
    // stays still, and a lost display keeps it until it is back.
    const bool wasPaused = mPausedByPlayer || mErrorHeld;
    mPausedByPlayer = mErrorHeld = mHeld = false;
    ApplyPause();
    if (wasPaused && !mGameClock.IsPaused())
        Console::Instance().Log("Game Unpaused: the level starts", LogGeneral);
}

void CoreEngine::ReleaseClock()
{
    // The windows and the level that held the clock are gone, and the start is played afresh.
    mPausedByPlayer = mHeld = mClockLocked = mErrorHeld = false;
    ApplyPause();
}

void CoreEngine::ApplyPause()
{
    const bool paused = mPausedByPlayer || mHeld || mClockLocked || mDisplayLost || mErrorHeld;
    // Setting it again when it stands would move nothing, but starting it again must restart
    // its count from now.
    if (paused != mGameClock.IsPaused())
        mGameClock.SetPaused(paused);
}

void CoreEngine::RequestSoftRestart()
{
    mSoftRestartPending = true;
    if (CallScope::Depth() == 0)
        CarryOutRestarts();
}

void CoreEngine::RequestRestart()
{
    mHardRestartPending = true;
    if (CallScope::Depth() == 0)
        CarryOutRestarts();
}

void CoreEngine::CarryOutRestarts()
{
    // Only from the outermost level, and once at a time: the start script a restart runs
    // may ask for the next one, which this loop then carries out.
    if (mRestarting || CallScope::Depth() != 0)
        return;
    // An exit asked for wins over any restart still pending: the restart would run the start
    // script again, which may ask for the same again.
    if (!mRunning || StopRequested())
        mHardRestartPending = mSoftRestartPending = false;
    mRestarting = true;
    while (mHardRestartPending || mSoftRestartPending)
    {
        const bool hard = mHardRestartPending;
        mHardRestartPending = mSoftRestartPending = false;
        // A hard restart does all a soft one does.
        if (hard)
            HardRestart();
        else
            SoftRestart();
        if (!mRunning || StopRequested())
            mHardRestartPending = mSoftRestartPending = false;
    }
    mRestarting = false;
}

void CoreEngine::SoftRestart()
{
    Init("Soft Restarting");
    ReleaseClock();
    ScriptManager& scripts = ScriptManager::Instance();
    // Closed before the cogs go, as at shutdown.
    scripts.Close();
    CogFactory::Instance().DestroyAll();
    scripts.Init();
    RunStartupScript();
}

void CoreEngine::HardRestart()
{
    ShutdownLooms();
    Init("Hard Restarting");
    ReleaseClock();
    // A fresh state before the looms start, so globals they set in Init land in it.
    ScriptManager::Instance().Init();
    StartLooms();
    RunStartupScript();
}

int EngineMain(EngineWindow* window, const LoomFactories& factories)
{
    SetDataPathFromCwd();
    ConfineToDataFolder(true);
    auto engine = std::make_unique<CoreEngine>(window, factories);
    gCoreEngine = engine.get();
    engine->LoadConfig("config.xml");
    engine->Start();
    engine->Run();
    engine.reset();
    gCoreEngine = nullptr;
    return 0;
}

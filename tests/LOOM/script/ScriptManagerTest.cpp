#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <thread>

#include "LOOM/base/Clocks.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "tests/LOOM/support/ConsoleTestSupport.h"
#include "tests/LOOM/support/FakeClock.h"
#include "tests/LOOM/support/ScriptTestSupport.h"
#include "tests/LOOM/support/TempDir.h"

using ScriptManagerTest = ScriptTest;

TEST_F(ScriptManagerTest, Init_LogsStateAndRunsInitScriptAfterOneFrame)
{
    EXPECT_EQ(Number("InitRuns"), 1.0);
    // The time globals existed and GUpdate was the engine's empty function before Init.lua ran.
    EXPECT_TRUE(True("InitSawTimes"));
    EXPECT_TRUE(True("InitSawUpdate"));
    EXPECT_EQ(String("tostring(G)"), "Loom Engine");
    EXPECT_EQ(TypeOf("ErrorFunc"), "function");

    const uint32_t mark = LogMark();
    Scripts().Init();
    const uint32_t logged = Console::Instance().GetEntryCounter() - mark;
    int found = 0;
    for (uint32_t i = 0; i < logged; ++i)
    {
        const LogEntry& entry = Console::Instance().GetEntries().FromNewest(i);
        if (entry.mText == "Lua State Initialized")
        {
            ++found;
            EXPECT_EQ(entry.mCategory, uint32_t(LogInit));
        }
    }
    EXPECT_EQ(found, 1);
}

TEST_F(ScriptManagerTest, Init_OpensStandardLibrariesIncludingOsAndPackage)
{
    for (const char* library : {"coroutine", "table", "io", "os", "string", "math", "package"})
        EXPECT_EQ(TypeOf(library), "table") << library;
    EXPECT_EQ(TypeOf("require"), "function");
    EXPECT_EQ(TypeOf("debug"), "nil");
}

TEST_F(ScriptManagerTest, Frame_ErroringUpdateLogsOncePerFrameAndKeepsStackHeight)
{
    Scripts().RunScript("Scripts/ErrorEveryFrame.lua");
    const int top = lua_gettop(L());
    for (int frame = 1; frame <= 1000; ++frame)
    {
        const uint32_t mark = LogMark();
        Scripts().Frame();
        const std::vector<std::string> logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), 1u) << "frame " << frame;
        ASSERT_EQ(logged[0].rfind("Lua Error: ", 0), 0u) << logged[0];
        ASSERT_NE(logged[0].find("boom " + std::to_string(frame)), std::string::npos) << logged[0];
        ASSERT_EQ(lua_gettop(L()), top) << "frame " << frame;
    }
    EXPECT_EQ(Number("Frames"), 1000.0);
}

TEST_F(ScriptManagerTest, Frame_SetsFourTimeGlobalsAndGameTimeStandsWhilePaused)
{
    FakeClock clock;
    PreciseTimer core;
    GameClock game;
    Scripts().SetClocks(&core, &game);
    Scripts().RunScript("Scripts/CountFrames.lua");
    auto frame = [&](double seconds) {
        clock.Advance(seconds);
        core.Tick();
        game.Tick();
        Scripts().Frame();
    };

    frame(0.25);
    EXPECT_EQ(Number("Frames"), 1.0);
    EXPECT_NEAR(Number("LastCoreTime"), 0.25, 1e-9);
    EXPECT_NEAR(Number("LastCoreTimeDiff"), 0.25, 1e-9);
    EXPECT_NEAR(Number("LastGameTime"), 0.25, 1e-9);
    EXPECT_NEAR(Number("LastGameTimeDiff"), 0.25, 1e-9);

    game.SetPaused(true);
    for (int i = 0; i < 3; ++i)
    {
        frame(0.5);
        EXPECT_EQ(Number("LastGameTimeDiff"), 0.0);
        EXPECT_NEAR(Number("LastGameTime"), 0.25, 1e-9);
        EXPECT_NEAR(Number("LastCoreTimeDiff"), 0.5, 1e-9);
    }
    EXPECT_NEAR(Number("LastCoreTime"), 1.75, 1e-9);
}

// Past 2^31 ms (24.8 days) and 2^32 ms (49.7 days) of running, CoreTime and GameTime go on.
TEST_F(ScriptManagerTest, Frame_TimeGlobalsAdvancePastTheThirtyTwoBitMilliseconds)
{
    FakeClock clock;
    PreciseTimer core;
    GameClock game;
    Scripts().SetClocks(&core, &game);
    Scripts().RunScript("Scripts/CountFrames.lua");
    const double day = 24.0 * 3600.0;
    for (const double seconds : {24.0 * day, 25.0 * day, 50.0 * day, 50.0 * day + 0.5})
    {
        SCOPED_TRACE(seconds);
        clock.mNow = 1000000 + static_cast<uint64_t>(seconds * 1e6);
        core.Tick();
        game.Tick();
        Scripts().Frame();
        EXPECT_NEAR(Number("LastCoreTime"), seconds, 1e-3);
        EXPECT_NEAR(Number("LastGameTime"), seconds, 1e-3);
    }
}

TEST_F(ScriptManagerTest, RunScript_MissingOrBrokenFileLogsLuaErrorAndRunsNothing)
{
    const int top = lua_gettop(L());
    uint32_t mark = LogMark();
    Scripts().RunScript("Scripts/NoSuchFile.lua");
    std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("Lua Error: cannot open", 0), 0u) << logged[0];

    mark = LogMark();
    Scripts().RunScript("Scripts\\Broken.lua"); // data paths may use backslashes
    logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("Lua Error: ", 0), 0u);
    EXPECT_NE(logged[0].find("Broken.lua"), std::string::npos) << logged[0];
    EXPECT_EQ(TypeOf("x"), "nil");
    EXPECT_EQ(lua_gettop(L()), top);

    // A script file outside the data folder is not read at all.
    for (const std::string& outside : {std::string("../scripts/Scripts/CountFrames.lua"),
                                       std::string("Scripts\\..\\..\\scripts\\Scripts\\CountFrames.lua"),
                                       std::string(LOOM_TEST_DATA) + "/scripts/Scripts/CountFrames.lua"})
    {
        SCOPED_TRACE(outside);
        mark = LogMark();
        EXPECT_EQ(Scripts().RunScript(outside), ScriptResult::Failed);
        logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].rfind("Path refused: ", 0), 0u) << logged[0];
        EXPECT_EQ(TypeOf("Frames"), "nil");
    }
}

TEST_F(ScriptManagerTest, FileFunctions_ReachOnlyTheDataFolder)
{
    TempDir root;
    root.Write("outside.txt", "secret");
    root.Write("outside.lua", "Escaped = true");
    root.Write("data/stage.txt", "hi");
    root.Write("data/Scripts/Count.lua", "Counted = (Counted or 0) + 1 return Counted");
    std::filesystem::create_directory_symlink(root.Path(), root.Path("data/out"));
    // Files that would block an open or never end a read.
    ASSERT_EQ(mkfifo(root.Path("data/Pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(root.Path("data/Piped.lua").c_str(), 0600), 0);
    // A device like /dev/zero inside the folder (a link to it leaves the folder); where devices
    // cannot be made, a socket.
    if (mknod(root.Path("data/Zero").c_str(), S_IFCHR | 0600, makedev(1, 5)) != 0)
    {
        const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const std::string path = root.Path("data/Zero");
        ASSERT_LT(path.size(), sizeof(address.sun_path));
        std::memcpy(address.sun_path, path.c_str(), path.size());
        ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        close(sock);
    }
    SetDataPath(root.Path("data") + "/");

    struct Case
    {
        std::string mCode;
        // Empty: the call works, relative to the data folder. Else the start of the one Error logged.
        std::string mRefused;
        std::string mWhy;
    };
    const std::string absolute = root.Path("outside.txt");
    const Case cases[] = {
        {"local f = io.open('stage.txt') assert(f:read('*a') == 'hi') f:close()", "", ""},
        {"local f = io.open('Scripts/../new.txt', 'w') f:write('new') f:close()"
         " assert(io.open('new.txt'):read('*a') == 'new')",
         "", ""},
        {"for line in io.lines('stage.txt') do assert(line == 'hi') end", "", ""},
        {"io.input('stage.txt') assert(io.read('*a') == 'hi') io.input(io.stdin)", "", ""},
        {"io.output('Scripts\\\\written.txt') io.write('w') io.close() io.output(io.stdout)", "", ""},
        {"assert(os.rename('Scripts/written.txt', 'moved.txt')) assert(os.remove('moved.txt'))", "", ""},
        {"assert(dofile('Scripts/Count.lua') == 1)", "", ""},
        {"assert(loadfile('Scripts\\\\Count.lua')() == 2) assert(loadfile('Scripts/None.lua') == nil)", "", ""},
        {"assert(require('Scripts.Count') == 3)", "", ""},
        {"io.open('../outside.txt')", "Path refused: \"../outside.txt\"", "leaves the data folder"},
        {"io.open('Scripts\\\\..\\\\..\\\\outside.txt', 'w')", "Path refused: ", "leaves the data folder"},
        {"io.open('" + absolute + "')", "Path refused: \"" + absolute + "\"", "is absolute"},
        {"io.open('out/outside.txt')", "Path refused: \"out/outside.txt\"", "through a link"},
        {"io.lines('../outside.txt')", "Path refused: ", "leaves the data folder"},
        {"io.input('/etc/passwd')", "Path refused: ", "is absolute"},
        {"io.output('../written.txt')", "Path refused: ", "leaves the data folder"},
        {"os.remove('../outside.txt')", "Path refused: ", "leaves the data folder"},
        {"os.rename('stage.txt', '../stolen.txt')", "Path refused: \"../stolen.txt\"", "leaves the data folder"},
        {"os.rename('../outside.txt', 'mine.txt')", "Path refused: \"../outside.txt\"", "leaves the data folder"},
        {"dofile('../outside.lua')", "Path refused: ", "leaves the data folder"},
        {"loadfile('out/outside.lua')", "Path refused: ", "through a link"},
        {"require('..outside')", "Path refused: ", "is absolute"},
        // The whole Lua string is the name: a NUL byte in it does not cut it short.
        {"io.open('..\\0/outside.txt', 'w')", "Path refused: \"..\\0/outside.txt\"", "holds a NUL byte"},
        {"io.open('..\\0/made.txt', 'a')", "Path refused: ", "holds a NUL byte"},
        {"io.open('..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/etc/hostname')", "Path refused: ", "holds a NUL byte"},
        {"io.lines('..\\0/outside.txt')", "Path refused: ", "holds a NUL byte"},
        {"io.output('stage.txt\\0')", "Path refused: ", "holds a NUL byte"},
        {"dofile('..\\0/outside.lua')", "Path refused: ", "holds a NUL byte"},
        {"loadfile('..\\0/outside.lua')", "Path refused: ", "holds a NUL byte"},
        {"require('\\0')", "Path refused: ", "holds a NUL byte"},
        {"os.remove('..\\0/outside.txt')", "Path refused: ", "holds a NUL byte"},
        {"io.open(('a/'):rep(3000) .. 'x')", "Path refused: ", "is too long"},
        {"os.execute('true')", "os.execute refused: ", "run programs"},
        {"io.popen('ls')", "io.popen refused: ", "run programs"},
        {"package.loadlib('lib.so', 'open')", "package.loadlib refused: ", "run programs"},
        {"os.tmpname()", "os.tmpname refused: ", "inside the data folder"},
        {"io.tmpfile()", "io.tmpfile refused: ", "inside the data folder"},
        {"io.open('Pipe')", "Pipe is not a regular file (a FIFO)", "regular files only"},
        {"io.open('Pipe', 'w')", "Pipe is not a regular file (a FIFO)", "regular files only"},
        {"for line in io.lines('Zero') do end", "Zero is not a regular file", "regular files only"},
        {"io.input('Pipe')", "Pipe is not a regular file", "regular files only"},
        {"io.output('Zero')", "Zero is not a regular file", "regular files only"},
        {"io.open('Scripts')", "Scripts is not a regular file (a folder)", "regular files only"},
        {"dofile('Pipe')", "Pipe is not a regular file", "regular files only"},
        {"loadfile('Zero')", "Zero is not a regular file", "regular files only"},
        {"require('Piped')", "Piped.lua is not a regular file", "regular files only"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mCode);
        const uint32_t mark = LogMark();
        const bool ran = Run(c.mCode);
        const std::vector<std::string> logged = LoggedSince(mark);
        if (c.mRefused.empty())
        {
            EXPECT_TRUE(ran);
            EXPECT_TRUE(logged.empty()) << logged.front();
            continue;
        }
        // The refusal is logged, then raised into the script, whose handler logs it again.
        EXPECT_FALSE(ran);
        ASSERT_EQ(logged.size(), 2u) << (logged.empty() ? "" : logged[0]);
        // The log writes paths with '\\'.
        std::string refused = c.mRefused;
        std::replace(refused.begin(), refused.end(), '/', '\\');
        EXPECT_EQ(logged[0].rfind(refused, 0), 0u) << logged[0];
        EXPECT_NE(logged[0].find(c.mWhy), std::string::npos) << logged[0];
        EXPECT_EQ(Console::Instance().GetEntries().FromNewest(1).mCategory, uint32_t(LogError));
        EXPECT_EQ(logged[1].rfind("Lua Error: ", 0), 0u) << logged[1];
        EXPECT_NE(logged[1].find(logged[0]), std::string::npos) << logged[1];
    }
    EXPECT_EQ(TempDir::Read(root.Path("outside.txt")), "secret");
    EXPECT_EQ(TypeOf("Escaped"), "nil");
    for (const char* name : {"written.txt", "stolen.txt", "mine.txt", "data/mine.txt", "made.txt"})
        EXPECT_FALSE(std::filesystem::exists(root.Path(name))) << name;
}

TEST_F(ScriptManagerTest, ErrorFunc_ReportsAnyErrorValueAsText)
{
    struct Case
    {
        const char* mRaise;
        const char* mLogged;
    };
    const Case cases[] = {
        {"error('plain', 0)", "Lua Error: plain"},
        {"error(42, 0)", "Lua Error: 42"},
        {"error(nil)", "Lua Error: nil"},
        {"error(false)", "Lua Error: false"},
        {"error({})", "Lua Error: (error object is a table value)"},
        {"error(setmetatable({}, {__tostring = function() return 'custom' end}))", "Lua Error: custom"},
        {"error(Vector3())", "Lua Error: (error object is a userdata value)"},
        // A __tostring that raises still leaves the error reported.
        {"error(setmetatable({}, {__tostring = function() error('worse') end}))",
         "Lua Error: (error object is a table value)"},
    };
    for (const Case& c : cases)
    {
        const uint32_t mark = LogMark();
        EXPECT_FALSE(Run(c.mRaise));
        const std::vector<std::string> logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), 1u) << c.mRaise;
        EXPECT_EQ(logged[0], c.mLogged);
        EXPECT_EQ(Console::Instance().GetEntries().FromNewest(0).mCategory, uint32_t(LogError));
    }
}

TEST_F(ScriptManagerTest, ErrorFunc_CalledWithoutArgumentLogsNil)
{
    const uint32_t mark = LogMark();
    EXPECT_TRUE(Run("ErrorFunc()"));
    const std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Lua Error: nil");
}

TEST_F(ScriptManagerTest, ErrorFunc_ReplacedByNilStillReportsErrors)
{
    ASSERT_TRUE(Run("ErrorFunc = nil function GUpdate() error('still seen', 0) end"));
    const uint32_t mark = LogMark();
    Scripts().Frame();
    const std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Lua Error: still seen");
}

TEST_F(ScriptManagerTest, CallFunction_MissingAndNonFunctionGlobalsFail)
{
    const int top = lua_gettop(L());
    ParamBuffer params;
    uint32_t mark = LogMark();
    EXPECT_FALSE(Scripts().CallFunction("NoSuchFunction", params));
    std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Function Not Found: NoSuchFunction");
    EXPECT_EQ(lua_gettop(L()), top);

    ASSERT_TRUE(Run("NotAFunction = 5"));
    mark = LogMark();
    EXPECT_FALSE(Scripts().CallFunction("NotAFunction", params));
    logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("Lua Error: ", 0), 0u);
    EXPECT_EQ(lua_gettop(L()), top);

    ASSERT_TRUE(Run("function Fails() error('inside', 0) end"));
    EXPECT_FALSE(Scripts().CallFunction("Fails", params));
    EXPECT_EQ(lua_gettop(L()), top);
}

TEST_F(ScriptManagerTest, CallFunction_HandsTypedParametersInOrder)
{
    ASSERT_TRUE(Run("function Take(a, b, c, d) A, B, C, D = a, b, c, d return 'ignored' end"));
    ParamBuffer params;
    params.PushInt(-5);
    params.PushStdString("hello");
    params.PushVector(Vector3(1.0f, 2.0f, 3.0f));
    params.PushBool(true);
    const int top = lua_gettop(L());
    EXPECT_TRUE(Scripts().CallFunction("Take", params));
    EXPECT_EQ(lua_gettop(L()), top);
    EXPECT_EQ(Number("A"), -5.0);
    EXPECT_EQ(String("B"), "hello");
    EXPECT_EQ(Number("C.z"), 3.0);
    EXPECT_TRUE(True("D == true"));

    ParamBuffer more;
    more.PushUInt(4000000000u);
    more.PushDouble(0.125);
    more.PushColor(Color(0.1f, 0.2f, 0.3f, 0.5f));
    more.PushQuat(Quat(1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_TRUE(Scripts().CallFunction("Take", more));
    ExpectNumbers({{"A", 4000000000.0}, {"B", 0.125}, {"C.a", 0.5}, {"D.w", 1.0}, {"D.z", 4.0}});

    ParamBuffer none;
    EXPECT_TRUE(Scripts().CallFunction("Take", none));
    EXPECT_EQ(TypeOf("A"), "nil");
}

TEST_F(ScriptManagerTest, FetchArgs_ReusedBufferTakesTheNewSignatureWhole)
{
    ParamBuffer params;
    params.PushFloat(1.0f);
    params.PushFloat(2.0f);
    params.PushFloat(3.0f);
    const int top = lua_gettop(L());
    lua_pushliteral(L(), "word");
    int bad = 0;
    ASSERT_TRUE(ScriptManager::FetchArgs(ParamString, L(), params, bad));
    lua_settop(L(), top);
    EXPECT_EQ(params.GetSignature(), uint32_t(ParamString));
    EXPECT_EQ(params.GetCount(), 1u);
}

TEST_F(ScriptManagerTest, Reset_DropsScriptGlobalsAndRerunsInitScript)
{
    ASSERT_TRUE(Run("LeftOver = 1"));
    Scripts().SetGlobalInt("Published", 3);
    Scripts().Reset();
    ASSERT_NE(L(), nullptr);
    ExpectNil({"LeftOver", "Published"});
    EXPECT_EQ(Number("InitRuns"), 1.0);
}

TEST_F(ScriptManagerTest, Setters_StoreEachKindOfGlobal)
{
    Scripts().SetGlobalInt("I", -7);
    Scripts().SetGlobalFloat("F", 0.5f);
    Scripts().SetGlobalBool("B", true);
    Scripts().SetGlobalString("S", std::string("with\0zero", 9));
    Scripts().SetGlobalColor("C", Color(0.0f, 0.25f, 0.5f, 1.0f));
    Scripts().SetGlobalVector("V", Vector3(4.0f, 5.0f, 6.0f));
    Scripts().SetGlobalQuat("Q", Quat(0.5f, 0.0f, 1.0f, 0.0f));
    ExpectNumbers({{"I", -7.0}, {"F", 0.5}});
    EXPECT_TRUE(True("B == true"));
    ExpectNumbers({{"#S", 9.0}, {"C.b", 0.5}, {"V.y", 5.0}, {"Q.w", 0.5}, {"Q.y", 1.0}});
    Scripts().SetGlobalNil("I");
    EXPECT_EQ(TypeOf("I"), "nil");
}

TEST_F(ScriptManagerTest, Setters_IgnoreScriptMetatableOnGlobals)
{
    // A strict-mode script may make writes to undeclared globals raise; engine writes are raw.
    ASSERT_TRUE(Run("setmetatable(_G, {__newindex = function() error('strict') end})"));
    const uint32_t mark = LogMark();
    Scripts().SetGlobalInt("Declared", 1);
    Scripts().Frame();
    EXPECT_EQ(CountStartingWith(LoggedSince(mark), "Lua Error"), 0u);
    lua_pushliteral(L(), "Declared");
    lua_rawget(L(), LUA_GLOBALSINDEX);
    EXPECT_EQ(lua_tonumber(L(), -1), 1.0);
    lua_pop(L(), 1);
}

TEST_F(ScriptManagerTest, Close_MakesEveryCallANoOpThatLogs)
{
    Scripts().Close();
    EXPECT_EQ(L(), nullptr);
    uint32_t mark = LogMark();
    Scripts().SetGlobalInt("X", 1);
    Scripts().SetGlobalCog("Cog", nullptr);
    Scripts().SetGlobalNil("X");
    Scripts().SetGlobalVector("V", Vector3());
    ParamBuffer params;
    EXPECT_FALSE(Scripts().CallFunction("GUpdate", params));
    Scripts().RunScript("Scripts/Init.lua");
    std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 6u);
    EXPECT_EQ(logged[0], "No Lua state: global X ignored");
    EXPECT_EQ(logged[4], "No Lua state: function GUpdate ignored");

    // The frame step runs every frame: one line for the whole closed stretch.
    mark = LogMark();
    Scripts().Frame();
    Scripts().Frame();
    EXPECT_EQ(LoggedSince(mark).size(), 1u);
    Scripts().Close(); // twice is harmless
}

namespace {
struct Closer
{
    void CloseScripts() { ScriptManager::Instance().Close(); }
    void ResetScripts() { ScriptManager::Instance().Reset(); }
};
} // namespace

TEST_F(ScriptManagerTest, Close_FromInsideARunningScriptIsRefused)
{
    Closer closer;
    Console::Instance().RegisterCommand("TestCloseScripts", MakeConsoleCommand(&closer, &Closer::CloseScripts), "");
    Console::Instance().RegisterCommand("TestResetScripts", MakeConsoleCommand(&closer, &Closer::ResetScripts), "");
    lua_State* before = L();
    const uint32_t mark = LogMark();
    EXPECT_TRUE(Run("G.TestCloseScripts() G.TestResetScripts() StillHere = true"));
    EXPECT_EQ(L(), before);
    EXPECT_EQ(CountStartingWith(LoggedSince(mark), "Lua state is running a script"), 2u);
    EXPECT_TRUE(True("StillHere"));

    // The same through a call by name and from GUpdate.
    ASSERT_TRUE(Run("function CloseInside() G.TestCloseScripts() end GUpdate = CloseInside"));
    ParamBuffer params;
    EXPECT_TRUE(Scripts().CallFunction("CloseInside", params));
    Scripts().Frame();
    EXPECT_EQ(L(), before);
    EXPECT_EQ(CountStartingWith(LoggedSince(mark), "Lua state is running a script"), 4u);
}

TEST_F(ScriptManagerTest, Bind_SecondCommandUnderANameIsLoggedAndDestroyed)
{
    int deleted = 0;
    auto first = std::make_unique<RecordingCommand>(&deleted);
    const ConsoleCommand* firstPtr = first.get();
    const std::string name = "Bound" + std::to_string(reinterpret_cast<uintptr_t>(this));
    Scripts().Bind(name, std::move(first));
    const uint32_t mark = LogMark();
    Scripts().Bind(name, std::make_unique<RecordingCommand>(&deleted));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(Scripts().FindBound(name), firstPtr);
    const std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Function Already Bound: " + name);
}

TEST_F(ScriptManagerTest, StartCoroutine_TakesTwoWordsAndChangesNothing)
{
    ASSERT_NE(Console::Instance().FindCommand("StartCoroutine"), nullptr);
    EXPECT_EQ(Console::Instance().GetCommands().at("startcoroutine").mDescription, "Starts a Coroutine");
    const uint32_t mark = LogMark();
    Console::Instance().ExecuteLine("StartCoroutine one two");
    EXPECT_TRUE(Run("assert(select('#', G.StartCoroutine('a', 'b')) == 0)"));
    for (const std::string& text : LoggedSince(mark))
        EXPECT_EQ(text.find("Mismatch"), std::string::npos) << text;
    // Script coroutines are the standard library's.
    EXPECT_EQ(Number("select(2, coroutine.resume(coroutine.create(function(x) return x * 2 end), 21))"), 42.0);
}

namespace {
// This thread's processor time: what a runaway script burns, whatever else shares the machine.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}
} // namespace

// Whatever a script does to hold on (its own pcall, a coroutine, memory kept or thrown away),
// the call ends with one error naming it, soon after the limit, and the state goes on working.
TEST_F(ScriptManagerTest, Watchdog_StopsRunawayCallsWithOneErrorAndTheStateGoesOn)
{
    constexpr double kLimit = 0.2;
    const WatchdogLimits limits(kLimit, size_t(64) << 20);
    ASSERT_TRUE(Run(R"(
        function Spin() while true do end end
        function SpinInPcall() while true do pcall(Spin) end end
        function SpinInCoroutine() while true do coroutine.resume(coroutine.create(Spin)) end end
        function Hoard() local t = {} while true do t[#t + 1] = string.rep("x", 1048576) .. #t end end
        function HoardInPcall() while true do pcall(Hoard) end end
        function SlowHandler() ErrorFunc = function(e) while true do end end Spin() end
        function StopFromOutside() while true do end end
        -- Handlers run with the hook off once the hook has raised; finalisers always do.
        function XpcallLoop() xpcall(function() error("boom") end, function() while true do end end) end
        function XpcallAfterStop() xpcall(Spin, function() while true do end end) end
        function OwnHandlerLoop() error("boom") end
        function ProxyFinaliserLoop()
            local p = newproxy(true)
            getmetatable(p).__gc = function() while true do end end
            p = nil
            collectgarbage()
        end
        function ValueFinaliserLoop()
            getmetatable(Vector3()).__gc = function() while true do end end
            collectgarbage()
        end
        -- Long C work: backtracking patterns and a repeat of nothing two thousand million times.
        function FindBacktrack() string.find(string.rep("a", 4000), ".-.-.-.-b") end
        function GmatchBacktrack() for a in string.rep("a", 4000):gmatch("(.-)(.-)(.-)b") do end end
        function GsubBacktrack() string.gsub(string.rep("a", 4000), "a*a*a*a*b", "") end
        function BalanceScan() string.find(string.rep('(', 400000), '%b()') end
        function RepLoop() while true do string.rep("", 2^31 - 1) end end
    )"));
    enum class Way
    {
        Call,
        File,
        Frame,
    };
    struct Case
    {
        Way mWay;
        const char* mName;
        const char* mError;
        bool mStopFromThread;
        const char* mSetup = "";
        // Filling the memory cap takes long on a loaded machine: there the time limit must not come first.
        double mSeconds = kLimit;
    };
    const Case cases[] = {
        {Way::Call, "Spin", "Lua Error: Spin took too long", false},
        {Way::Call, "SpinInPcall", "Lua Error: SpinInPcall took too long", false},
        {Way::Call, "SpinInCoroutine", "Lua Error: SpinInCoroutine took too long", false},
        {Way::Call, "Hoard", "Lua Error: Hoard used too much memory (over 64 MiB)", false, "", 600.0},
        {Way::Call, "HoardInPcall", "Lua Error: HoardInPcall took too long", false},
        {Way::Call, "SlowHandler", "Lua Error: SlowHandler took too long", false},
        {Way::File, "Scripts/Spin.lua", "Lua Error: Scripts\\Spin.lua took too long", false},
        {Way::Frame, "Spin", "Lua Error: GUpdate took too long", false},
        {Way::Call, "StopFromOutside", "Lua Error: StopFromOutside stopped: the program is ending", true},
        {Way::Call, "XpcallLoop", "Lua Error: XpcallLoop took too long", false},
        {Way::Call, "XpcallAfterStop", "Lua Error: XpcallAfterStop took too long", false},
        {Way::Call, "OwnHandlerLoop", "Lua Error: OwnHandlerLoop took too long", false,
         "ErrorFunc = function() while true do end end"},
        {Way::Call, "ProxyFinaliserLoop", "Lua Error: ProxyFinaliserLoop took too long", false},
        {Way::Call, "ValueFinaliserLoop", "Lua Error: ValueFinaliserLoop took too long", false},
        {Way::Call, "FindBacktrack", "Lua Error: FindBacktrack took too long", false},
        {Way::Call, "GmatchBacktrack", "Lua Error: GmatchBacktrack took too long", false},
        {Way::Call, "GsubBacktrack", "Lua Error: GsubBacktrack took too long", false},
        {Way::Call, "RepLoop", "Lua Error: RepLoop took too long", false},
        {Way::Call, "BalanceScan", "Lua Error: BalanceScan took too long", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        ASSERT_TRUE(Run("getmetatable(Vector3()).__gc = nil ErrorFunc = nil GUpdate = nil"));
        ASSERT_TRUE(Run(c.mSetup));
        ClearStopRequest();
        // The stop comes from elsewhere while the script runs, as a signal would.
        std::thread stopper;
        Scripts().SetLimits(c.mSeconds, size_t(64) << 20);
        if (c.mStopFromThread)
        {
            Scripts().SetLimits(30.0, size_t(64) << 20);
            stopper = std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                RequestStop();
            });
        }
        const int top = lua_gettop(L());
        const uint32_t mark = LogMark();
        const double start = ThreadSeconds();
        ScriptResult result = ScriptResult::Ran;
        ParamBuffer none;
        if (c.mWay == Way::Call)
            result = Scripts().CallFunction(c.mName, none) ? ScriptResult::Ran : ScriptResult::Stopped;
        else if (c.mWay == Way::File)
            result = Scripts().RunScript(c.mName);
        else
        {
            ASSERT_TRUE(Run(std::string("GUpdate = ") + c.mName));
            Scripts().Frame();
            result = ScriptResult::Stopped;
        }
        const double took = ThreadSeconds() - start;
        if (stopper.joinable())
            stopper.join();
        ClearStopRequest();
        Scripts().SetLimits(kLimit, size_t(64) << 20);

        EXPECT_EQ(result, ScriptResult::Stopped);
        EXPECT_LT(took, 5.0);
        const std::vector<std::string> logged = LoggedSince(mark);
        std::vector<std::string> expected{c.mError};
        if (c.mWay == Way::Frame)
        {
            // Stopped once, GUpdate is left out of the frames after it.
            expected.push_back("GUpdate is not called again until a new level or a restart");
            const uint32_t again = LogMark();
            Scripts().Frame();
            EXPECT_EQ(LoggedSince(again), std::vector<std::string>());
        }
        EXPECT_EQ(logged, expected);
        EXPECT_EQ(lua_gettop(L()), top);
        // The state works, and what the script hoarded is garbage now.
        ASSERT_TRUE(Run("getmetatable(Vector3()).__gc = nil ErrorFunc = nil GUpdate = nil collectgarbage() "
                        "collectgarbage() Works = 40 + 2"));
        EXPECT_EQ(Number("Works"), 42.0);
        EXPECT_LT(Scripts().GetMemoryUsed(), size_t(8) << 20);
    }
    // Once the program is ending no script starts at all.
    RequestStop();
    ParamBuffer none;
    const uint32_t mark = LogMark();
    EXPECT_FALSE(Scripts().CallFunction("Spin", none));
    EXPECT_EQ(Scripts().RunScript("Scripts/Spin.lua"), ScriptResult::Stopped);
    EXPECT_TRUE(LoggedSince(mark).empty());
}

// One entry, one limit: a call made from inside another runs within what is left of the outer
// one's time, so the outer call is stopped with it and never goes on.
TEST_F(ScriptManagerTest, Watchdog_NestedCallsRunWithinTheOuterLimit)
{
    const WatchdogLimits limits(1.0, ScriptManager::kDefaultMemoryCap);
    struct Spinner
    {
        void RunSpin() { ScriptManager::Instance().RunScript("Scripts/Spin.lua"); }
    } spinner;
    Console::Instance().RegisterCommand("TestRunSpin", MakeConsoleCommand(&spinner, &Spinner::RunSpin), "");
    ASSERT_TRUE(Run("function Outer() G.TestRunSpin() for i = 1, 100000 do end OuterGoesOn = true end"));
    ParamBuffer none;
    const uint32_t mark = LogMark();
    EXPECT_FALSE(Scripts().CallFunction("Outer", none));
    EXPECT_FALSE(True("OuterGoesOn"));
    EXPECT_EQ(
        LoggedSince(mark),
        (std::vector<std::string>{"Lua Error: Scripts\\Spin.lua took too long", "Lua Error: Outer took too long"}));
    Console::Instance().RemoveCommand("TestRunSpin");
}

// However a script is entered from inside another (an engine command, a handler Lua runs with its
// hook off, a coroutine, a finaliser), it runs within the outer call's limit and stops it; a
// finaliser may not call the engine at all, and what it asked is logged by name.
TEST_F(ScriptManagerTest, Watchdog_EveryWayInRunsWithinTheOuterLimit)
{
    const WatchdogLimits limits(0.3, ScriptManager::kDefaultMemoryCap);
    struct Doors
    {
        void RunSpin() { ScriptManager::Instance().RunScript("Scripts/Spin.lua"); }
        void Refuse() { ScriptManager::Instance().RaiseOnReturn("not for the test"); }
    } doors;
    Console::Instance().RegisterCommand("TestRunSpin", MakeConsoleCommand(&doors, &Doors::RunSpin), "");
    Console::Instance().RegisterCommand("TestRefuse", MakeConsoleCommand(&doors, &Doors::Refuse), "");
    ASSERT_TRUE(Run(R"(
        function Loop() for i = 1, 100 do G.TestRunSpin() end Went = true end
        -- The refusal is raised from the hook: Lua runs the handler with hooks off.
        function RefusedHandler() xpcall(G.TestRefuse, function() while true do end end) Went = true end
        function HandlerStarts() xpcall(G.TestRefuse, function() G.TestRunSpin() end) Went = true end
        function InCoroutine() coroutine.wrap(function() G.TestRunSpin() Went = true end)() Went = true end
        function Finaliser()
            local p = newproxy(true)
            getmetatable(p).__gc = function() G.TestRunSpin() end
            p = nil
            collectgarbage()
            Went = true
        end
    )"));
    const std::string spin = "Lua Error: Scripts\\Spin.lua took too long";
    struct Case
    {
        const char* mFunction;
        std::vector<std::string> mLogged;
        bool mGoesOn;
    };
    const Case cases[] = {
        {"Loop", {spin, "Lua Error: Loop took too long"}, false},
        {"RefusedHandler", {"Lua Error: RefusedHandler took too long"}, false},
        {"HandlerStarts", {spin, "Lua Error: HandlerStarts took too long"}, false},
        {"InCoroutine", {spin, "Lua Error: InCoroutine took too long"}, false},
        {"Finaliser",
         {"Lua Error: G.TestRunSpin refused: a finaliser may not act on the engine",
          "Lua Error: finaliser: *G.TestRunSpin refused: a finaliser may not act on the engine"},
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mFunction);
        ASSERT_TRUE(Run("Went = false"));
        ParamBuffer none;
        const uint32_t mark = LogMark();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Scripts().CallFunction(c.mFunction, none), c.mGoesOn);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.3 + 1.0);
        // A '*' stands for where the script was.
        const std::vector<std::string> logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), c.mLogged.size()) << testing::PrintToString(logged);
        for (size_t i = 0; i < logged.size(); ++i)
        {
            const std::string& want = c.mLogged[i];
            const size_t star = want.find('*');
            if (star == std::string::npos)
            {
                EXPECT_EQ(logged[i], want);
                continue;
            }
            const std::string tail = want.substr(star + 1);
            EXPECT_EQ(logged[i].rfind(want.substr(0, star), 0), 0u) << logged[i];
            EXPECT_TRUE(logged[i].size() >= tail.size() &&
                        logged[i].compare(logged[i].size() - tail.size(), tail.size(), tail) == 0)
                << logged[i];
        }
        EXPECT_EQ(True("Went"), c.mGoesOn);
    }
    Console::Instance().RemoveCommand("TestRunSpin");
    Console::Instance().RemoveCommand("TestRefuse");
}

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"

namespace fs = std::filesystem;

namespace {
// The script manager's time limit, which the game keeps: seconds of the script thread's work,
// and four times as many on the clock at most, however little of a busy core the game gets.
constexpr double kTimeLimit = 2.0;
constexpr double kWallLimit = 4.0 * kTimeLimit;

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Polls until done() holds or the limit passes; true when it held.
template <typename Done>
bool WaitFor(Done done, double limitSeconds)
{
    const double end = Seconds() + limitSeconds;
    while (!done())
    {
        if (Seconds() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The game's data folder with its start script replaced.
void MakeGameFolder(TempDir& dir, const std::string& startScript)
{
    fs::copy(LOOM_TEST_DATA "/../../data", dir.Path(), fs::copy_options::recursive);
    dir.Write("Scripts/TestStart.lua", startScript);
    std::string config = TempDir::Read(dir.Path("config.xml"));
    const size_t start = config.find("Scripts\\Game.lua");
    ASSERT_NE(start, std::string::npos);
    config.replace(start, 16, "Scripts\\TestStart.lua");
    dir.Write("config.xml", config);
}

// The real program on a data folder, in a process group of its own that goes with the test.
class Program
{
public:
    explicit Program(const std::string& folder) : mFolder(folder)
    {
        // exec: the shell becomes the program, so a signal goes to the program itself.
        const std::string command = "cd '" + folder + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
            "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " + LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' " +
            "> stdout.txt 2> stderr.txt";
        mPid = fork();
        if (mPid == 0)
        {
            setpgid(0, 0);
            // A suite run under nohup would hand the program hang-ups ignored, which it keeps.
            signal(SIGHUP, SIG_DFL);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Program()
    {
        if (mPid > 0 && !Ended())
        {
            kill(-mPid, SIGKILL);
            waitpid(mPid, &mStatus, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return mPid > 0; }
    // The program's own: the shell execs it.
    pid_t Pid() const { return mPid; }
    bool Ended()
    {
        if (!mEnded && mPid > 0)
            mEnded = waitpid(mPid, &mStatus, WNOHANG) == mPid;
        return mEnded;
    }
    int Status() const { return mStatus; }
    // Never to a reaped program: its number may be another process's by now.
    void Signal(int signal) const
    {
        if (mPid > 0 && !mEnded)
            kill(mPid, signal);
    }
    std::string Log() const { return TempDir::Read(mFolder + "/Log.xml"); }
    std::string Errors() const { return TempDir::Read(mFolder + "/stderr.txt"); }
    bool Logged(const std::string& message) const
    {
        return Log().find("<Message>" + message + "</Message>") != std::string::npos;
    }
    // Waits for the message in the log; false when the program ends or the limit passes first.
    bool WaitForMessage(const std::string& message, double limitSeconds)
    {
        return WaitFor([&] { return Logged(message) || Ended(); }, limitSeconds) && Logged(message);
    }
    // The log is closed as the program's last act.
    bool LogClosed() const
    {
        const std::string end = "</LoomRunTimeLog>\n";
        const std::string log = Log();
        return log.size() >= end.size() && log.compare(log.size() - end.size(), end.size(), end) == 0;
    }

private:
    std::string mFolder;
    pid_t mPid = -1;
    bool mEnded = false;
    int mStatus = 0;
};

// Ways a level script froze or crashed the game. The watchdog stops the stopped ones within
// seconds of its limit (the level is dropped, while loading or in play, and the start script
// brings the menu back); a pattern too deep to match and the file functions refusing what is no
// regular file are script errors like any other.
constexpr const char* kNotStarted = "Level not started: Scripts\\Levels\\Freeze.lua was stopped";
struct Freeze
{
    const char* mName;
    const char* mCode;
    const char* mError;
    // The level's end that the stop brings, or null when the level goes on.
    const char* mDropped;
};
const Freeze kFreezes[] = {
    {"xpcall whose handler loops", "xpcall(function() error('boom') end, function() while true do end end)",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"looping finaliser",
     "local p = newproxy(true) getmetatable(p).__gc = function() while true do end end p = nil collectgarbage()",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"backtracking pattern", "string.find(string.rep('a', 5000), '.-.-.-.-b')",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"long replacement in gsub", "string.gsub(('b'):rep(1e5), '(x?)', ('%1'):rep(1e6))",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"repeat of nothing in a loop", "while true do string.rep('', 2^31 - 1) end",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    // In play: the per-frame work that sends the waves freezes a few frames in.
    {"loop in the level's per-frame work",
     "G.SetGameState(InLevel) local frames = 0 "
     "function LevelUpdate() frames = frames + 1 if frames > 3 then while true do end end end",
     "Lua Error: GUpdate took too long",
     "Level ended: the per-frame script of Scripts\\Levels\\Freeze.lua was stopped"},
    {"long literal run in a pattern", "string.find(('a'):rep(4e7), '.' .. ('a'):rep(2e7) .. 'b')",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"sort of references to a long string",
     "local s = ('a'):rep(5e7) local t = {} for i = 1, 2000 do t[i] = s end table.sort(t)",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"long strings compared in a loop", "local a, b = ('a'):rep(5e7), ('a'):rep(5e7) while true do local _ = a < b end",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"long strings compared in a coroutine",
     "coroutine.wrap(function() local a = ('a'):rep(5e7) while true do local _ = a < a end end)()",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"full collections in a loop", "local h for i = 1, 1e6 do h = {h} end while true do collectgarbage() end",
     "Lua Error: Scripts\\Levels\\Freeze.lua took too long", kNotStarted},
    {"pattern deeper than the C stack", "string.find(('a'):rep(150000), ('a?'):rep(150000) .. '$')",
     "Freeze.lua:2: pattern too complex</Message>", nullptr},
    {"open of a FIFO", "local f = io.open('Pipe') f:read('*a')",
     "Pipe is not a regular file (a FIFO): scripts open regular files only", nullptr},
    {"lines of a device", "for line in io.lines('Device') do end", "Device is not a regular file", nullptr},
};

// A data folder whose start script starts the freezing level once; when the start script runs
// again (a soft restart after the level was dropped) it says whether the menu is back.
void MakeFreezeFolder(TempDir& dir, const Freeze& freeze)
{
    MakeGameFolder(dir,
                   "dofile(\"Scripts/Game.lua\")\n"
                   "local started = io.open(\"Started.txt\")\n"
                   "if started then\n"
                   "    started:close()\n"
                   "    G.Mes(MainMenu and \"Back at the menu\" or \"No menu\")\n"
                   "else\n"
                   "    started = io.open(\"Started.txt\", \"w\")\n"
                   "    started:write(\"yes\")\n"
                   "    started:close()\n"
                   "    G.LogicCreateLevel(\"Scripts\\\\Levels\\\\Freeze.lua\")\n"
                   "end\n");
    dir.Write("Scripts/Levels/Freeze.lua", std::string("G.Mes(\"Freeze starts\")\n") + freeze.mCode + "\n");
    ASSERT_EQ(mkfifo(dir.Path("Pipe").c_str(), 0600), 0);
    // A device like /dev/zero (a link to it would leave the folder); where none can be made, a FIFO.
    if (mknod(dir.Path("Device").c_str(), S_IFCHR | 0600, makedev(1, 5)) != 0)
    {
        ASSERT_EQ(mkfifo(dir.Path("Device").c_str(), 0600), 0);
    }
}
} // namespace

// Each freeze is stopped, or refused, and the game goes on: back at the menu, or the level loaded
// without the script's file. SIGTERM then ends the program with its log closed.
TEST(Program, ScriptFreezesAreStoppedAndTheGameGoesOn)
{
    for (const Freeze& freeze : kFreezes)
    {
        SCOPED_TRACE(freeze.mName);
        TempDir dir;
        MakeFreezeFolder(dir, freeze);
        Program program(dir.Path());
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitForMessage("Freeze starts", 120.0)) << program.Errors();
        if (freeze.mDropped)
        {
            // The script's limit on the clock plus at most three seconds.
            const double started = Seconds();
            EXPECT_TRUE(WaitFor(
                [&] { return program.Log().find(freeze.mError) != std::string::npos || program.Ended(); }, 60.0));
            EXPECT_LT(Seconds() - started, kWallLimit + 3.0);
        }
        const char* after = freeze.mDropped ? "Back at the menu" : "Done Loading";
        EXPECT_TRUE(program.WaitForMessage(after, 60.0)) << "the game is stuck";

        const std::string log = program.Log();
        const size_t error = log.find(freeze.mError);
        EXPECT_NE(error, std::string::npos);
        if (freeze.mDropped)
        {
            const size_t dropped = log.find(std::string("<Message>") + freeze.mDropped);
            EXPECT_LT(error, dropped);
            EXPECT_LT(dropped, log.find("<Message>Back at the menu</Message>"));
        }

        program.Signal(SIGTERM);
        EXPECT_TRUE(WaitFor([&] { return program.Ended(); }, 30.0)) << "the program went on after SIGTERM";
        EXPECT_TRUE(program.LogClosed());
        EXPECT_TRUE(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0) << program.Errors();
    }
}

// SIGTERM while a level script freezes (or as soon as it starts) ends the program within
// seconds, with its log closed.
TEST(Program, SigtermDuringAScriptFreezeEndsTheProgramWithTheLogClosed)
{
    for (const Freeze& freeze : kFreezes)
    {
        SCOPED_TRACE(freeze.mName);
        TempDir dir;
        MakeFreezeFolder(dir, freeze);
        Program program(dir.Path());
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitForMessage("Freeze starts", 120.0)) << program.Errors();

        const double signalled = Seconds();
        program.Signal(SIGTERM);
        const bool ended = WaitFor([&] { return program.Ended(); }, 30.0);
        const double took = Seconds() - signalled;
        ASSERT_TRUE(ended) << "the program went on after SIGTERM";
        EXPECT_LT(took, 5.0);
        EXPECT_TRUE(program.LogClosed());
        EXPECT_TRUE(WIFEXITED(program.Status())) << program.Errors();
        EXPECT_TRUE(program.Logged("Ended by a signal") ||
                    program.Log().find("of the stop signal; ended at once") != std::string::npos);
    }
}

// The game's data folder with a start script that starts, again and again, a level whose script
// never ends: whenever SIGTERM comes, a script is spinning. The program ends at once all the
// same, with its log closed and nothing leaked.
TEST(Program, SigtermDuringAnEndlessLevelScriptEndsTheProgramWithTheLogClosed)
{
    TempDir dir;
    MakeGameFolder(dir, "while true do\n    G.LogicCreateLevel(\"Scripts\\\\Levels\\\\Endless.lua\")\nend\n");
    // The level says so once its script runs, then spins.
    dir.Write("Scripts/Levels/Endless.lua", "G.Mes(\"Endless spins\")\nwhile true do\nend\n");
    Program program(dir.Path());
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForMessage("Endless spins", 120.0)) << program.Errors();

    // The log is closed as the program's last act; the leak check after it is the test's own.
    const double signalled = Seconds();
    program.Signal(SIGTERM);
    const bool closed = WaitFor([&] { return program.LogClosed(); }, 30.0);
    const double took = Seconds() - signalled;
    const bool ended = WaitFor([&] { return program.Ended(); }, 30.0);
    ASSERT_TRUE(closed && ended) << "the program went on after SIGTERM";
    EXPECT_LT(took, 2.0);
    ASSERT_TRUE(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0) << program.Errors();

    const std::string log = program.Log();
    const size_t stopped =
        log.find("<Message>Lua Error: Scripts\\Levels\\Endless.lua stopped: the program is ending</Message>");
    const size_t loopEnd = log.find("<Message>Control Loop Terminated</Message>");
    const size_t signal = log.find("<Message>Ended by a signal</Message>");
    EXPECT_NE(stopped, std::string::npos);
    EXPECT_LT(stopped, loopEnd);
    EXPECT_LT(loopEnd, signal);
    EXPECT_NE(signal, std::string::npos);
    EXPECT_EQ(log.find("<Message>Done Loading</Message>"), std::string::npos);
}

namespace {
// A process id no program has any more: a child that has ended and been reaped.
pid_t EndedProcessId()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}
} // namespace

// A closed terminal (SIGHUP) or SIGQUIT while the game saves its options over and over ends the
// program as SIGTERM does: the file whole, the log closed. Temporary files that saves a killed
// run cut off are removed at the next start, each logged; files only named like them (the
// player's own, with another shape, a second name or a running writer) and links (and what they
// lead to) are left alone.
TEST(Program, HangUpAndQuitSignalsEndTheProgramLikeSigtermAndCutSavesAreSweptAtStart)
{
    struct StopSignal
    {
        const char* mName;
        int mSignal;
    };
    const StopSignal kSignals[] = {{"SIGHUP", SIGHUP}, {"SIGQUIT", SIGQUIT}};
    for (const StopSignal& stop : kSignals)
    {
        SCOPED_TRACE(stop.mName);
        TempDir dir;
        fs::copy(LOOM_TEST_DATA "/e2e", dir.Path(), fs::copy_options::recursive);
        dir.Write("Scripts/Start.lua",
                  "G.Mes(\"Saving starts\")\n"
                  "for i = 1, 100000 do G.SaveOptions(math.mod(i, 2) == 0, 0.5) end\n");
        std::string first;
        {
            Program program(dir.Path());
            ASSERT_TRUE(program.Started());
            first = std::to_string(program.Pid());
            ASSERT_TRUE(program.WaitForMessage("Saving starts", 120.0)) << program.Errors();
            program.Signal(stop.mSignal);
            ASSERT_TRUE(WaitFor([&] { return program.Ended(); }, 30.0)) << "the program went on after the signal";
            EXPECT_TRUE(WIFEXITED(program.Status())) << program.Errors();
            EXPECT_TRUE(program.LogClosed());
            // On a loaded machine the wind-down may overrun its grace and the program is ended
            // where it stands: the log is closed all the same, and the next start clears up.
            EXPECT_TRUE(program.Logged("Ended by a signal") ||
                        program.Log().find("of the stop signal; ended at once") != std::string::npos);
            const std::string options = TempDir::Read(dir.Path("Options.txt"));
            EXPECT_TRUE(options == "Shadows=0\nVolume=0.5\n" || options == "Shadows=1\nVolume=0.5\n") << options;
        }

        // What saves cut off by a kill leave, beside what must stay.
        const std::string dead = std::to_string(EndedProcessId());
        const std::string running = std::to_string(getpid());
        auto leftover = [](const std::string& target, const std::string& writer, const std::string& number) {
            return std::string(".")
                .append(target)
                .append(".loom-save-")
                .append(writer)
                .append("-")
                .append(number)
                .append(".partial");
        };
        TempDir outside;
        outside.Write("Kept.xml", "outside");
        outside.Write(leftover("Cut.xml", dead, "0"), "outside");
        outside.Write("Hard.xml", "outside");
        const std::vector<std::string> cut = {leftover("Options.txt", dead, "0"),
                                              "Levels/" + leftover("L1.xml", dead, "3")};
        const std::vector<std::string> kept = {"holiday.tmp999998_2024",
                                               "Options.txt.tmp" + dead + "_0",
                                               "Options.txt.loom-save-" + dead + "-0.partial",
                                               leftover("Options.txt", dead, "0") + ".xml",
                                               leftover("Options.txt", dead, "x"),
                                               leftover("Options.txt", "0" + dead, "0"),
                                               ".loom-save-" + dead + "-0.partial",
                                               "Levels/" + leftover("L1.xml", running, "1")};
        for (const std::string& name : cut)
            dir.Write(name, "Shadows=");
        for (const std::string& name : kept)
            dir.Write(name, "kept");
        const std::string linked = leftover("Linked.xml", dead, "1");
        const std::string hard = leftover("Hard.xml", dead, "2");
        fs::create_symlink(outside.Path("Kept.xml"), dir.Path(linked));
        fs::create_hard_link(outside.Path("Hard.xml"), dir.Path(hard));
        fs::create_directory_symlink(outside.Path(), dir.Path("Levels/Outside"));

        dir.Write("Scripts/Start.lua", "G.Mes(\"Started again\")\nfunction GUpdate() G.exit() end\n");
        Program again(dir.Path());
        ASSERT_TRUE(again.Started());
        ASSERT_TRUE(WaitFor([&] { return again.Ended(); }, 120.0)) << "the second start did not end";
        EXPECT_TRUE(WIFEXITED(again.Status()) && WEXITSTATUS(again.Status()) == 0) << again.Errors();
        EXPECT_TRUE(again.Logged("Started again"));
        for (std::string name : cut)
        {
            EXPECT_FALSE(fs::exists(dir.Path(name))) << name;
            std::replace(name.begin(), name.end(), '/', '\\');
            EXPECT_TRUE(again.Logged("Removed " + name + ", the temporary file of a save that was cut off")) << name;
        }
        for (const std::string& name : kept)
            EXPECT_EQ(TempDir::Read(dir.Path(name)), "kept") << name;
        EXPECT_TRUE(fs::is_symlink(dir.Path(linked)));
        EXPECT_EQ(TempDir::Read(dir.Path(hard)), "outside");
        EXPECT_EQ(TempDir::Read(outside.Path("Kept.xml")), "outside");
        EXPECT_EQ(TempDir::Read(outside.Path(leftover("Cut.xml", dead, "0"))), "outside");
        // Nothing else is removed but what the first run's cut save may have left.
        const std::string log = again.Log();
        const std::regex removal("<Message>Removed ([^,<]*), the temporary");
        const std::regex firstRuns("\\.Options\\.txt\\.loom-save-" + first + "-[0-9]+\\.partial");
        for (auto it = std::sregex_iterator(log.begin(), log.end(), removal); it != std::sregex_iterator(); ++it)
        {
            std::string name = (*it)[1];
            std::replace(name.begin(), name.end(), '\\', '/');
            EXPECT_TRUE(std::find(cut.begin(), cut.end(), name) != cut.end() || std::regex_match(name, firstRuns))
                << name;
        }
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            EXPECT_FALSE(std::regex_match(entry.path().filename().string(), firstRuns)) << entry.path();
    }
}

namespace {
// The start script's own line for each loader refused a precompiled chunk, and what it got.
constexpr const char* kForgedStart = R"lua(dofile("Scripts/Game.lua")
local dumped = string.dump(function(a, b) return a + b end)
-- Three bytes changed: forged code that the library's check of binary chunks lets through.
local at = math.floor(string.len(dumped) / 2)
local forged = string.sub(dumped, 1, at) .. "\255\127\001" .. string.sub(dumped, at + 4)
for name, bytes in pairs({ ["Forged.lua"] = forged, ["Dumped.lua"] = dumped, ["Scripts/Levels/Forged.lua"] = forged }) do
    local file = io.open(name, "wb")
    file:write(bytes)
    file:close()
end
local function Say(route, ...)
    local results = { ... }
    for i = 1, select("#", ...) do
        results[i] = tostring(results[i])
    end
    G.Mes(route .. ": " .. table.concat(results, " | "))
end
Say("loadstring forged", pcall(function() return loadstring(forged)(1, 2, 3, "q", {}) end))
Say("loadstring dumped", loadstring(dumped))
local given = false
Say("load forged", load(function() if given then return nil end given = true return forged end))
Say("dofile forged", pcall(dofile, "Forged.lua"))
Say("loadfile dumped", loadfile("Dumped.lua"))
-- G.Mes takes short texts: the library's own lead-in is left out.
Say("require forged", string.match(select(2, pcall(require, "Forged")), "\n\t(.*)"))
Say("HOME", os.getenv("HOME"))
G.LogicCreateLevel("Scripts\\Levels\\Forged.lua")
G.Mes("Refusals done")
function GUpdate() G.exit() end
)lua";
} // namespace

// A precompiled chunk, forged or as string.dump made it, is refused by every loader a script
// has and by the engine running a level script, each error naming the chunk; nothing crashes,
// the game goes on and ends with its log closed. The scripts get no environment.
TEST(Program, BinaryChunksAreRefusedAndTheGameGoesOn)
{
    TempDir dir;
    MakeGameFolder(dir, kForgedStart);
    Program program(dir.Path());
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitFor([&] { return program.Ended(); }, 240.0)) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0) << program.Errors();
    EXPECT_TRUE(program.LogClosed());
    const std::string refused = ": binary chunk refused: scripts load source text only";
    const std::vector<std::string> said = {
        "loadstring forged: false | Scripts\\TestStart.lua:18: attempt to call a nil value",
        "loadstring dumped: nil | loadstring" + refused,
        "load forged: nil | load" + refused,
        "dofile forged: false | Forged.lua" + refused,
        "loadfile dumped: nil | Dumped.lua" + refused,
        "require forged: Forged.lua" + refused,
        "HOME: nil",
        "Lua Error: Scripts\\Levels\\Forged.lua" + refused,
        "Refusals done",
    };
    const std::string log = program.Log();
    size_t last = 0;
    for (const std::string& line : said)
    {
        SCOPED_TRACE(line);
        const size_t at = log.find("<Message>" + line + "</Message>");
        EXPECT_NE(at, std::string::npos);
        EXPECT_GT(at, last);
        last = at == std::string::npos ? last : at;
    }
    // Errors name files as the scripts do, inside the data folder.
    EXPECT_EQ(log.find(dir.Path()), std::string::npos);
    if (HasFailure())
        std::cerr << log;
}

namespace {
// Builds the text of a chunk of 100,000 string constants of 64 bytes that differ only where the
// library's string hash does not look (it reads every third byte from the end), a tenth a frame
// so that no call spends much of its own time limit on it; then starts the level (nested, so this
// call's clock stands while it runs, and goes on after it is stopped) and says how much of the
// program's working time the level took.
constexpr const char* kParseStart = R"lua(local started = io.open("Started.txt")
if started then
    -- The per-frame call that started the level is stopped with it: the working time since it
    -- started the level is read here, after the soft restart that drops the level.
    local before = io.open("Before.txt")
    G.Mes(string.format("The level took %.3f s of working time", os.clock() - tonumber(before:read("*a"))))
    before:close()
    started:close()
end
dofile("Scripts/Game.lua")
if started then
    G.Mes(MainMenu and "Back at the menu" or "No menu")
    function GUpdate() G.exit() end
    return
end
started = io.open("Started.txt", "w")
started:write("yes")
started:close()
local parts, n = {}, -1
local literal = '"x00x00x0' .. string.rep("x", 56) .. '",\n'
local function Number()
    n = n + 1
    local d = string.format("%05d", n)
    return "x" .. string.sub(d, 1, 2) .. "x" .. string.sub(d, 3, 4) .. "x" .. string.sub(d, 5, 5)
end
function GUpdate()
    if #parts < 10 then
        parts[#parts + 1] = string.gsub(string.rep(literal, 10000), "x00x00x0", Number)
        return
    end
    GUpdate = function() end
    LiteralsText = "return {\n" .. table.concat(parts) .. "}\n"
    local before = io.open("Before.txt", "w")
    before:write(string.format("%.6f", os.clock()))
    before:close()
    G.LogicCreateLevel("Scripts\\Levels\\Parse.lua")
    G.Mes("The per-frame call went on")
end
)lua";
} // namespace

// A chunk whose parse would freeze the game for many seconds, compiled by a level script from
// a text a script built or from a file shipped in the data folder, is cut once the script's time limit
// passes, with the watchdog's error: the level is dropped, the per-frame call that started it is
// stopped with it (one limit for both), and the menu comes back. The level's working time, the
// program's own CPU clock (a busy machine does not lengthen it), stays within the limit plus one
// second, the soft restart that drops it included.
TEST(Program, AParseThatOutlastsTheLimitIsStoppedAndTheGameGoesOn)
{
    const char* levels[] = {"G.Mes(\"Parse starts\")\nlocal f = loadstring(LiteralsText)\nG.Mes(\"Parsed\")\n",
                            "G.Mes(\"Parse starts\")\ndofile(\"Literals.lua\")\nG.Mes(\"Parsed\")\n"};
    // The same chunk shipped as a file.
    std::string literals = "return {\n";
    for (int i = 0; i < 100000; ++i)
    {
        const std::string digits = std::to_string(100000 + i);
        literals += std::string("\"x") + digits[1] + digits[2] + "x" + digits[3] + digits[4] + "x" + digits[5] +
            std::string(56, 'x') + "\",\n";
    }
    literals += "}\n";
    for (const char* level : levels)
    {
        SCOPED_TRACE(level);
        TempDir dir;
        MakeGameFolder(dir, kParseStart);
        dir.Write("Literals.lua", literals);
        dir.Write("Scripts/Levels/Parse.lua", level);
        Program program(dir.Path());
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(WaitFor([&] { return program.Ended(); }, 240.0)) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0) << program.Errors();
        EXPECT_TRUE(program.LogClosed());

        const std::string log = program.Log();
        const std::vector<std::string> said = {
            "Parse starts",
            "Lua Error: Scripts\\Levels\\Parse.lua took too long",
            "Level not started: Scripts\\Levels\\Parse.lua was stopped",
            "Lua Error: GUpdate took too long",
            "Back at the menu",
        };
        size_t last = 0;
        for (const std::string& line : said)
        {
            SCOPED_TRACE(line);
            const size_t at = log.find("<Message>" + line + "</Message>");
            EXPECT_NE(at, std::string::npos);
            EXPECT_GT(at, last);
            last = at == std::string::npos ? last : at;
        }
        EXPECT_EQ(log.find("<Message>Parsed</Message>"), std::string::npos);
        EXPECT_EQ(log.find("<Message>The per-frame call went on</Message>"), std::string::npos);
        std::smatch took;
        ASSERT_TRUE(std::regex_search(log, took, std::regex("<Message>The level took ([0-9.]+) s of working time")));
        EXPECT_LT(std::stod(took[1]), kTimeLimit + 1.0);
    }
}

namespace {
// Makes grunts for a fifth of a second of working time a frame until one is refused, each call in
// pcall, counting the made and the refused; then waits for the test to have measured it. The
// game stands paused: what is measured is the cogs kept, and thousands of walking grunts would
// make the run last minutes under the sanitizers.
constexpr const char* kCogStart = R"lua(dofile("Scripts/Start.lua")
G.SetPause(true)
local frames, made, refused, why, counted = 0, 0, 0, "none", false
function GUpdate()
    frames = frames + 1
    -- A fifth of a second of work a frame: far inside the time limit on a slow, busy machine too.
    if refused == 0 and frames <= 100 then
        local start = os.clock()
        while os.clock() - start < 0.2 and refused == 0 do
            local ok, cog = pcall(G.CreateAt, "grunt", Vector3(math.random(10, 500), 2, math.random(10, 500)))
            if ok and cog then
                made = made + 1
            elseif not ok then
                refused = refused + 1
                why = cog
            end
        end
    elseif not counted then
        counted = true
        -- In a file of its own: the log is long with the refused calls.
        local counts = io.open("Made.txt", "w")
        counts:write("Made " .. made .. ", refused " .. refused .. "\n" .. tostring(why))
        counts:close()
    else
        local measured = io.open("Measured.txt")
        if measured then
            measured:close()
            G.exit()
        end
    end
end
)lua";

// The program's peak resident memory in KiB, 0 when it cannot be read.
long PeakKiB(pid_t pid)
{
    const std::string status = TempDir::Read("/proc/" + std::to_string(pid) + "/status");
    std::smatch peak;
    if (!std::regex_search(status, peak, std::regex("VmHWM:\\s*([0-9]+) kB")))
        return 0;
    return std::stol(peak[1]);
}
} // namespace

// A script making cogs through an engine command every frame reaches the limit of live cogs
// scripts may keep: past it each call is refused with an error naming the limit, the program
// stays under 1 GiB, and the frames go on until the script ends the run.
TEST(Program, CogsMadeByAScriptStayWithinTheirLimitAndTheRunEnds)
{
    TempDir dir;
    MakeGameFolder(dir, kCogStart);
    Program program(dir.Path());
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitFor([&] { return !TempDir::Read(dir.Path("Made.txt")).empty() || program.Ended(); }, 600.0))
        << "the frames did not go on";
    ASSERT_FALSE(program.Ended()) << program.Errors();
    const long peak = PeakKiB(program.Pid());
    dir.Write("Measured.txt", "yes");
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 1024L * 1024L);
    ASSERT_TRUE(WaitFor([&] { return program.Ended(); }, 120.0)) << "the run did not end";
    EXPECT_TRUE(WIFEXITED(program.Status()) && WEXITSTATUS(program.Status()) == 0) << program.Errors();
    EXPECT_TRUE(program.LogClosed());

    const std::string made = TempDir::Read(dir.Path("Made.txt"));
    std::smatch counts;
    ASSERT_TRUE(std::regex_search(made, counts, std::regex("^Made ([0-9]+), refused ([0-9]+)\n"))) << made;
    // A grunt is more than one cog.
    EXPECT_GT(std::stoul(counts[1]), 1000u);
    EXPECT_LE(std::stoul(counts[1]), 5000u);
    EXPECT_GT(std::stoul(counts[2]), 0u);
    // The cog refused first may be a grunt or the parachute a grunt comes with.
    EXPECT_TRUE(std::regex_match(
        counts.suffix().str(), std::regex("cog (grunt|Parachute) not made: scripts may keep at most 5000 cogs alive")))
        << counts.suffix();
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/LOOM/support/TempDir.h"

namespace fs = std::filesystem;

namespace {
double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// How the program's standard streams are set up for a run.
enum class Output
{
    Unread, // a pipe the test holds open and never reads
    Closed, // a pipe whose reader is gone before the program starts
};

struct Ended
{
    int mStatus = -1; // the exit code, -1 for a signal or the time limit
    long mPeakKiB = 0;
};

// The real program on folder, standard input an open pipe nobody writes to; its peak resident
// size comes from the kernel's account of the child.
Ended RunProgram(const std::string& folder, Output output, double limitSeconds)
{
    int input[2], out[2];
    if (pipe(input) != 0 || pipe(out) != 0)
        return {};
    if (output == Output::Closed)
        close(out[0]);
    const std::string errors = folder + "/stderr.txt";
    const pid_t pid = fork();
    if (pid == 0)
    {
        setpgid(0, 0);
        dup2(input[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        setenv("LP_NUM_THREADS", "0", 1);
        setenv("LOOM_ASSERT", "continue", 1);
        // A smaller quarantine of freed blocks than the sanitizer's own 256 MiB keeps the peak
        // about what the program holds.
        setenv("ASAN_OPTIONS", "detect_leaks=1:intercept_tls_get_addr=0:quarantine_size_mb=32", 1);
        setenv("LSAN_OPTIONS", "suppressions=" LOOM_LEAK_SUPPRESSIONS, 1);
        signal(SIGPIPE, SIG_DFL);
        execl(LOOM_PROGRAM, LOOM_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    close(out[1]);
    Ended ended;
    const double end = Seconds() + limitSeconds;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) != pid)
    {
        if (Seconds() > end)
        {
            kill(-pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(input[1]);
    if (output == Output::Unread)
        close(out[0]);
    ended.mStatus = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ended.mPeakKiB = usage.ru_maxrss;
    return ended;
}

// The shipped data folder with its start script replaced.
std::string MakeFolder(TempDir& dir, const std::string& startScript)
{
    const std::string folder = dir.Path("data");
    fs::copy(LOOM_TEST_DATA "/../../data", folder, fs::copy_options::recursive);
    dir.Write("data/Scripts/StoresStart.lua", startScript);
    std::string config = TempDir::Read(folder + "/config.xml");
    const size_t start = config.find("Scripts\\Game.lua");
    EXPECT_NE(start, std::string::npos);
    config.replace(start, 16, "Scripts\\StoresStart.lua");
    dir.Write("data/config.xml", config);
    return folder;
}

struct LogEntry
{
    std::string mType;
    long mMs = 0;
    std::string mMessage;
};

// The log's entries, or none when it is not well formed.
std::vector<LogEntry> ReadLog(const std::string& path, bool& wellFormed)
{
    pugi::xml_document document;
    wellFormed = document.load_file(path.c_str()) && document.child("LoomRunTimeLog");
    std::vector<LogEntry> entries;
    for (pugi::xml_node node : document.child("LoomRunTimeLog").children("Entry"))
    {
        int minutes = 0, seconds = 0, ms = 0;
        std::sscanf(node.child_value("Time"), "%d:%d:%d", &minutes, &seconds, &ms);
        entries.push_back(
            {node.child_value("Type"), (minutes * 60L + seconds) * 1000L + ms, node.child_value("Message")});
    }
    return entries;
}

const LogEntry* Find(const std::vector<LogEntry>& entries, const std::string& start)
{
    for (const LogEntry& entry : entries)
        if (entry.mMessage.rfind(start, 0) == 0)
            return &entry;
    return nullptr;
}

// What a hostile script grows or blocks, frame by frame; each step logs what it saw.
constexpr const char* kHostileScript = R"lua(
local function Say(text) G.Mes(text) end
local work = coroutine.wrap(function()
    Say("print starts")
    print(("p"):rep(1e6))
    Say("print done")
    Say("io.read " .. tostring(pcall(io.read)))
    Say("Log.xml opened " .. tostring(pcall(io.open, "Log.xml", "w")))
    G.SetResolution(16384, 16384)
    local subject, needle = ("a"):rep(2e6), ("a"):rep(1e6) .. "b"
    local started = os.clock()
    local plain = string.find(subject, needle, 1, true)
    local pattern = string.find(subject, needle)
    local captured = string.match(subject .. "b", "(" .. needle .. ")")
    Say(string.format("finds %s %s %d in %.1f s", tostring(plain), tostring(pattern), #captured, os.clock() - started))
    coroutine.yield()

    -- Each frame's 40 iterators are kept until the next frame's take their place: their
    -- patterns are the collector's to pace, as any other value the script drops.
    local kept, made = {}, 0
    for frame = 1, 30 do
        kept = {}
        for i = 1, 40 do
            kept[i] = string.gmatch("abc", string.rep("%a", 65000))
            made = made + 1
        end
        coroutine.yield()
    end
    Say("iterators made " .. made .. ", kept " .. #kept)
    kept = nil
    collectgarbage()

    local cog = G.CreateAt("Controls", Vector3(0, 0, 0))
    local names = 0
    for frame = 1, 30 do
        local stop = os.clock() + 0.5
        while os.clock() < stop do
            names = names + 1
            G.DebugValue("value" .. names, "x")
            G.Subscribe(cog, "message" .. names)
        end
        coroutine.yield()
    end
    Say("names made " .. names)

    local line = ("L"):rep(120)
    local written = 0
    while written < 80e6 do
        local stop = os.clock() + 0.5
        while os.clock() < stop and written < 80e6 do
            G.Mes(line)
            written = written + #line + 120
        end
        coroutine.yield()
    end
    return true
end)
function GUpdate()
    local ok, finished = pcall(work)
    if not ok then
        Say("the script failed: " .. tostring(finished))
        os.exit(4)
    elseif finished then
        G.exit()
    end
end
)lua";
} // namespace

// A mod author's script cannot grow the program past its bounds, hold its frame on the standard
// streams, write over its log or end it without a word.
TEST(ScriptStoresProgram, HostileScriptStaysInsideTheBounds)
{
    TempDir dir;
    const std::string folder = MakeFolder(dir, kHostileScript);
    const Ended ended = RunProgram(folder, Output::Unread, 300.0);
    EXPECT_EQ(ended.mStatus, 0) << TempDir::Read(folder + "/stderr.txt");
    EXPECT_LT(ended.mPeakKiB, 1024L * 1024L) << "peak resident KiB";

    bool wellFormed = false;
    const std::vector<LogEntry> log = ReadLog(folder + "/Log.xml", wellFormed);
    EXPECT_TRUE(wellFormed);
    const LogEntry* failed = Find(log, "the script failed");
    EXPECT_EQ(failed, nullptr) << (failed ? failed->mMessage : "");
    EXPECT_LE(fs::file_size(folder + "/Log.xml"), 64u << 20);

    struct Expect
    {
        const char* mWhat;
        const char* mStart;
    };
    const Expect expects[] = {
        {"the unread output said once", "Standard output takes no more"},
        {"standard input refused", "io.read refused: scripts do not read standard input"},
        {"the script went on", "io.read false"},
        {"the log not a script's to write", "Log.xml refused: the engine is writing its log there"},
        {"the open refused", "Log.xml opened false"},
        {"the resolution clamped", "SetResolution: 16384 x 16384 is larger than the display"},
        {"both finds done", "finds nil nil 1000001 in"},
        {"every iterator made", "iterators made 1200, kept 40"},
        {"the debug values' limit named", "DebugValue refused: at most 1024 debug values"},
        {"the message names' limit named", "Subscribe refused: at most 4096 message names"},
    };
    for (const Expect& expect : expects)
    {
        SCOPED_TRACE(expect.mWhat);
        EXPECT_NE(Find(log, expect.mStart), nullptr);
    }
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().mMessage.find("entries were not written: the log reached its limit of 64 MiB"),
              std::string::npos)
        << log.back().mMessage;

    // The 1 MB print held no frame: the entries around it are well within a second of each other.
    const LogEntry* before = Find(log, "print starts");
    const LogEntry* after = Find(log, "print done");
    ASSERT_TRUE(before && after);
    EXPECT_LT(after->mMs - before->mMs, 1000);
    // Each find of a 1 MB needle in 2 MB is linear: well inside the watchdog's 2 s.
    const LogEntry* finds = Find(log, "finds ");
    ASSERT_TRUE(finds);
    const double findSeconds = std::atof(finds->mMessage.substr(finds->mMessage.rfind(" in ") + 4).c_str());
    EXPECT_LT(findSeconds, 2.0) << finds->mMessage;
}

// A closed standard output fails the write and the game ends as it should; a folder where a
// configuration file belongs is logged by its name in the data folder, never by where that lies;
// os.exit ends the game through the engine, which logs it and closes the log.
TEST(ScriptStoresProgram, ClosedOutputExitAndFileNamesRelativeToTheData)
{
    struct Case
    {
        const char* mWhat;
        const char* mScript;
        int mStatus;
        const char* mLogged;
    };
    const Case cases[] = {
        {"closed output", "print('hello') io.stdout:flush()", 0, "Standard output takes no more (it is closed)"},
        {"os.exit", "os.exit(3)", 3, "os.exit(3): the game ends, through the engine's exit"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mWhat);
        TempDir dir;
        const std::string folder = MakeFolder(dir,
                                              std::string("local frames = 0\n"
                                                          "function GUpdate() frames = frames + 1\n"
                                                          "    if frames == 2 then ") +
                                                  c.mScript + " end\n    if frames == 4 then G.exit() end\nend\n");
        fs::remove(folder + "/Config/GuiConfig.xml");
        fs::create_directories(folder + "/Config/GuiConfig.xml");
        const Ended ended = RunProgram(folder, Output::Closed, 300.0);
        EXPECT_EQ(ended.mStatus, c.mStatus) << TempDir::Read(folder + "/stderr.txt");
        bool wellFormed = false;
        const std::vector<LogEntry> log = ReadLog(folder + "/Log.xml", wellFormed);
        EXPECT_TRUE(wellFormed);
        EXPECT_NE(Find(log, c.mLogged), nullptr);
        EXPECT_NE(Find(log, "Config\\GuiConfig.xml"), nullptr);
        const std::string text = TempDir::Read(folder + "/Log.xml");
        std::string shown = fs::canonical(folder).string();
        EXPECT_EQ(text.find(shown), std::string::npos);
        std::replace(shown.begin(), shown.end(), '/', '\\');
        EXPECT_EQ(text.find(shown), std::string::npos) << "the data folder's path is in the log";
    }
}

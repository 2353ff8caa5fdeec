#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {
const std::string kLogEnd = "</LoomRunTimeLog>\n";
const std::string kVictim = "the player's own file\n";

// The test data folder in data/ of the test's folder, beside outside/ that holds a file of the
// player's; the start script ends the program after three frames.
struct Folders
{
    Folders()
    {
        fs::copy(LOOM_TEST_DATA "/e2e", Data(), fs::copy_options::recursive);
        dir.Write("data/Scripts/Start.lua",
                  "local frames = 0\n"
                  "function GUpdate()\n"
                  "    frames = frames + 1\n"
                  "    if frames == 3 then G.exit() end\n"
                  "end\n");
        dir.Write("outside/victim.txt", kVictim);
    }
    std::string Data(const std::string& name = "") const { return dir.Path("data/" + name); }
    std::string Outside(const std::string& name = "") const { return dir.Path("outside/" + name); }
    // config.xml with one string setting changed.
    void Configure(const std::string& setting, const std::string& value) const
    {
        std::string config = TempDir::Read(Data("config.xml"));
        const std::string open = "<string name=\"" + setting + "\">";
        const size_t start = config.find(open) + open.size();
        config.replace(start, config.find('<', start) - start, value);
        dir.Write("data/config.xml", config);
    }
    std::string Command(const std::string& env) const
    {
        return "cd '" + Data() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null " +
            "LP_NUM_THREADS=0 " + env + " " + LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > '" + dir.Path("stdout.txt") +
            "' 2> '" + dir.Path("stderr.txt") + "'";
    }
    std::string Stderr() const { return TempDir::Read(dir.Path("stderr.txt")); }
    std::string Log() const { return TempDir::Read(Data("Log.xml")); }

    TempDir dir;
};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
} // namespace

// A configured log file outside the data folder, by name or through a link, is refused: the
// player's file out there stays as it was and nothing is created there; the log goes to Log.xml
// in the data folder when that is free, and the refusal is on stderr.
TEST(DataFolderGuard, LogFileOutsideTheDataFolderLeavesTheOutsideUntouched)
{
    struct Case
    {
        const char* name;
        std::function<std::string(const Folders&)> logFile; // makes any link; the LogFile setting
        const char* refusal;                                // on stderr
        bool logInside;                                     // Log.xml in the data folder holds the refusal
    };
    const Case cases[] = {
        {"relative", [](const Folders&) { return std::string("..\\outside\\victim.txt"); }, "leaves the data folder",
         true},
        {"absolute", [](const Folders& f) { return f.Outside("victim.txt"); }, "is absolute", true},
        {"link to a file",
         [](const Folders& f) {
             fs::create_symlink(f.Outside("victim.txt"), f.Data("Log.xml"));
             return std::string("Log.xml");
         },
         "leaves the data folder through a link", false},
        {"link to no file yet",
         [](const Folders& f) {
             fs::create_symlink(f.Outside("made.txt"), f.Data("Log.xml"));
             return std::string("Log.xml");
         },
         "leaves the data folder through a link", false},
        {"folder link",
         [](const Folders& f) {
             fs::create_directory_symlink(f.Outside(), f.Data("Logs"));
             return std::string("Logs\\victim.txt");
         },
         "leaves the data folder through a link", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        folders.Configure("LogFile", c.logFile(folders));
        ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

        EXPECT_EQ(TempDir::Read(folders.Outside("victim.txt")), kVictim);
        EXPECT_FALSE(fs::exists(folders.Outside("made.txt")));
        EXPECT_EQ(std::distance(fs::directory_iterator(folders.Outside()), fs::directory_iterator()), 1);
        const std::string errors = folders.Stderr();
        EXPECT_NE(errors.find(c.refusal), std::string::npos) << errors;
        if (c.logInside)
        {
            const std::string log = folders.Log();
            const size_t refused = log.find(c.refusal);
            EXPECT_NE(refused, std::string::npos) << log;
            if (refused != std::string::npos)
            {
                EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0) << log;
            }
            EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << log;
            EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
        }
    }
}

// A configuration folder outside the data folder is refused and nothing is read from it: its
// Methods.xml names an effect that would end the program.
TEST(DataFolderGuard, ConfigFolderOutsideTheDataFolderIsNotRead)
{
    const std::string methods =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
        "<ShaderControl>\n<list name=\"Methods\" size=\"1\" type=\"Shader\">\n<Shader>\n"
        "<string name=\"Name\">Broken</string>\n<string name=\"FileName\">Broken.fx</string>\n"
        "<int name=\"Stages\">1</int>\n<bool name=\"Advanced\">false</bool>\n"
        "<string name=\"SpecialFX\"></string>\n</Shader>\n</list>\n</ShaderControl>\n</Stream>\n";
    struct Case
    {
        const char* name;
        std::function<std::string(const Folders&)> folder;
        const char* refusal;
    };
    const Case cases[] = {
        {"relative", [](const Folders&) { return std::string("..\\outside"); }, "leaves the data folder"},
        {"absolute", [](const Folders& f) { return f.Outside(); }, "is absolute"},
        {"link",
         [](const Folders& f) {
             fs::create_directory_symlink(f.Outside(), f.Data("Settings"));
             return std::string("Settings");
         },
         "leaves the data folder through a link"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        folders.dir.Write("outside/Methods.xml", methods);
        folders.dir.Write("outside/Broken.fx", "not an effect {");
        folders.Configure("ConfigFolder", c.folder(folders));
        ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

        const std::string log = folders.Log();
        const size_t refused = log.find(c.refusal);
        ASSERT_NE(refused, std::string::npos) << log;
        EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0) << log;
        EXPECT_EQ(log.find("Fx Compile Error"), std::string::npos) << log;
        EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << log;
    }
}

// The box that tells of a start that cannot go on (a broken effect, a config.xml that cannot be
// read) says why, as the log does; SIGTERM takes it down and ends the program with the log
// closed, as "Exit" would.
TEST(DataFolderGuard, StartErrorBoxShowsTheReasonAndEndsOnSigterm)
{
    struct Case
    {
        const char* name;
        std::function<void(const Folders&)> breakIt;
        const char* caption;
        const char* reason; // in the box and in the log
    };
    const Case cases[] = {
        {"broken effect",
         [](const Folders& f) {
             f.dir.Write("data/Config/Methods.xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n<ShaderControl>\n"
                         "<list name=\"Methods\" size=\"1\" type=\"Shader\">\n<Shader>\n"
                         "<string name=\"Name\">Broken</string>\n"
                         "<string name=\"FileName\">Effects\\Broken.fx</string>\n<int name=\"Stages\">1</int>\n"
                         "<bool name=\"Advanced\">false</bool>\n<string name=\"SpecialFX\"></string>\n</Shader>\n"
                         "</list>\n</ShaderControl>\n</Stream>\n");
             f.dir.Write("data/Effects/Broken.fx", "technique T { pass P { VertexShader = compile vs_2_0 Nowhere(); }");
         },
         "Fx Compile Error", "Broken.fx"},
        {"config.xml a folder",
         [](const Folders& f) {
             fs::remove(f.Data("config.xml"));
             fs::create_directory(f.Data("config.xml"));
         },
         "LOOM Error", "config.xml cannot be read (not a file)"},
        {"config.xml cut short",
         [](const Folders& f) {
             f.dir.Write("data/config.xml", "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n");
         },
         "LOOM Error", "config.xml cannot be read (XML File is not correct: the file ends too early"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        c.breakIt(folders);
        // exec: the shell becomes the program, so the signal goes to the program itself.
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            // Boxes, not the tests' carry-on answer to a failed assertion.
            const std::string command = folders.Command("LOOM_ASSERT= LOOM_TEST_BOX=stay");
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        bool exited = false;
        auto reap = [&] { return exited || (exited = waitpid(pid, &status, WNOHANG) == pid); };
        const std::string up = std::string("Test box up: ") + c.caption + "\n";
        const bool shown = WaitUntil(
            [&] {
                const std::string errors = folders.Stderr();
                return reap() || (errors.find(up) != std::string::npos && errors.find(c.reason) != std::string::npos);
            },
            120.0, 0.05);
        if (!shown || exited)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(shown && !exited) << folders.Stderr();
        const std::string errors = folders.Stderr();
        const size_t boxAt = errors.find("Test box process ");
        ASSERT_NE(boxAt, std::string::npos) << errors;
        const pid_t box = static_cast<pid_t>(std::stol(errors.substr(boxAt + 17)));
        std::string log = folders.Log();
        const size_t reason = log.find(c.reason);
        EXPECT_NE(reason, std::string::npos) << log;
        if (reason != std::string::npos)
        {
            EXPECT_EQ(log.compare(log.rfind("<Type>", reason), 18, "<Type>Error</Type>"), 0) << log;
        }

        // The box is up and nobody answers it: the stop request alone must end it, and the program.
        const auto signalled = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
        const bool closed = WaitUntil([&] { return EndsWith(folders.Log(), kLogEnd); }, 30.0, 0.02);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
        const bool ended = WaitUntil(reap, 30.0, 0.02);
        if (!ended)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(closed && ended) << "the box kept the program after SIGTERM\n" << folders.Stderr();
        EXPECT_LT(took, 5.0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << folders.Stderr();
        EXPECT_NE(kill(box, 0), 0) << "the box outlived the program";
        log = folders.Log();
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    }
}

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"

namespace fs = std::filesystem;

namespace {
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
} // namespace

// The game's data folder with a start script that starts, again and again, a level whose script
// never ends: whenever SIGTERM comes, a script is spinning. The program ends at once all the
// same, with its log closed and nothing leaked.
TEST(Program, SigtermDuringAnEndlessLevelScriptEndsTheProgramWithTheLogClosed)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/../../data", dir.Path(), fs::copy_options::recursive);
    // The level says so once its script runs, then spins.
    dir.Write("Scripts/Levels/Endless.lua", "G.Mes(\"Endless spins\")\nwhile true do\nend\n");
    dir.Write("Scripts/Runaway.lua",
              "while true do\n    G.LogicCreateLevel(\"Scripts\\\\Levels\\\\Endless.lua\")\nend\n");
    std::string config = TempDir::Read(dir.Path("config.xml"));
    const size_t start = config.find("Scripts\\Game.lua");
    ASSERT_NE(start, std::string::npos);
    config.replace(start, 16, "Scripts\\Runaway.lua");
    dir.Write("config.xml", config);

    // exec: the shell becomes the program, so the signal goes to the program itself.
    const std::string command = "cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " + LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' " +
        "> stdout.txt 2> stderr.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    bool exited = false;
    auto reap = [&] { return exited || (exited = waitpid(pid, &status, WNOHANG) == pid); };
    const bool spinning = WaitFor(
        [&] { return reap() || TempDir::Read(dir.Path("Log.xml")).find("Endless spins") != std::string::npos; }, 120.0);
    ASSERT_FALSE(exited) << TempDir::Read(dir.Path("stderr.txt"));
    ASSERT_TRUE(spinning);

    // The log is closed as the program's last act; the leak check after it is the test's own.
    const std::string end = "</LoomRunTimeLog>\n";
    const double signalled = Seconds();
    kill(pid, SIGTERM);
    const bool closed = WaitFor(
        [&] {
            const std::string log = TempDir::Read(dir.Path("Log.xml"));
            return log.size() >= end.size() && log.compare(log.size() - end.size(), end.size(), end) == 0;
        },
        30.0);
    const double took = Seconds() - signalled;
    const bool ended = WaitFor(reap, 30.0);
    if (!ended)
    {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(closed && ended) << "the program went on after SIGTERM";
    EXPECT_LT(took, 2.0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << TempDir::Read(dir.Path("stderr.txt"));

    const std::string log = TempDir::Read(dir.Path("Log.xml"));
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

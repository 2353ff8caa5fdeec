#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {
// Runs the real program in a copy of the test data folder; returns its exit status. Leaks are
// checked: only the GL driver's, unloaded at exit with no stack to name, are suppressed.
int RunProgram(const TempDir& dir)
{
    return RunToEnd("cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " +
                        LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' " + "> stdout.txt 2> stderr.txt",
                    kProgramLimit);
}

// Positions of each text's first appearance as a log message, in the order given.
std::vector<size_t> Find(const std::string& log, const std::vector<std::string>& texts)
{
    std::vector<size_t> at;
    at.reserve(texts.size());
    for (const std::string& text : texts)
        at.push_back(log.find("<Message>" + text + "</Message>"));
    return at;
}

size_t Count(const std::string& log, const std::string& text)
{
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}
} // namespace

TEST(Program, StartScriptDrivesPauseRestartsAndExit)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/e2e", dir.Path(), fs::copy_options::recursive);
    ASSERT_EQ(RunProgram(dir), 0) << TempDir::Read(dir.Path("stderr.txt"));

    const std::string log = TempDir::Read(dir.Path("Log.xml"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.rfind("</LoomRunTimeLog>\n"), log.size() - std::string("</LoomRunTimeLog>\n").size())
        << "the log is closed";

    const std::vector<size_t> start =
        Find(log,
             {"Starting Core Engine", "Registering Types", "Registering Complete", "Initializing Quad Tree",
              "Starting Looms", "Audio Active", "Network Active", "Physics Active", "IO Active", "Graphics Active",
              "Looms Started", "Reading Compositions", "Reading Compositions Complete", "Running Start Scripts",
              "Starting Core Engine Loop"});
    for (size_t i = 0; i < start.size(); ++i)
    {
        ASSERT_NE(start[i], std::string::npos) << "start text " << i << " missing";
        if (i > 0)
        {
            EXPECT_LT(start[i - 1], start[i]) << "start text " << i << " out of order";
        }
    }

    const std::vector<size_t> run =
        Find(log, {"Game Paused", "Game Unpaused", "Soft Restarting", "Hard Restarting", "Control Loop Terminated"});
    for (size_t i = 0; i < run.size(); ++i)
    {
        ASSERT_NE(run[i], std::string::npos) << "run text " << i << " missing";
        if (i > 0)
        {
            EXPECT_LT(run[i - 1], run[i]);
        }
    }
    EXPECT_EQ(Count(log, "<Message>Registering Types</Message>"), 1u) << "types are registered once";
    EXPECT_EQ(Count(log, "<Message>Audio Active</Message>"), 2u) << "started, then started again by restart";
    EXPECT_EQ(Count(log, "<Message>Start script stage"), 3u);
    EXPECT_NE(log.find("Leaving after"), std::string::npos);

    // Teardown after the loop: cogs, then the looms.
    const size_t end = run.back();
    const size_t destroying = log.find("<Message>Destroying All Cogs</Message>", end);
    const size_t shutting = log.find("<Message>Shutting Down Looms</Message>", end);
    ASSERT_NE(destroying, std::string::npos);
    ASSERT_NE(shutting, std::string::npos);
    EXPECT_LT(destroying, shutting);
}

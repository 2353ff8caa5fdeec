#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/DataFolderBeside.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"
#include "tests/platform/BombBitmap.h"

namespace fs = std::filesystem;
using Beside = beside::ThreeFrames;
using FolderWatch = beside::OutsideWatch;

namespace {
struct Finished
{
    int mStatus = -1;
    long mPeakKiB = 0;
};

// The real program in the folder, started through the shell as the other program tests start it.
// wait4 reports the largest resident size of the shell and everything it waited for; the shell
// starts as a copy of this process, so the figure carries this process's own size and is only
// compared with a run of the same kind. The sanitizer's quarantine keeps freed blocks resident; it
// is not the program's memory and is turned off here.
Finished RunProgram(const TempDir& dir)
{
    const std::string command = "cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " +
        LOOM_LEAK_CHECK "ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0:quarantine_size_mb=0 " +
        "timeout 120 '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt";
    Finished finished;
    const pid_t child = fork();
    if (child == 0)
    {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return finished;
    finished.mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    finished.mPeakKiB = usage.ru_maxrss;
    return finished;
}

} // namespace

// A 1,078-byte splash bitmap whose header declares 30000x30000 is refused from its header: the
// program names the file and the cap on standard error and in its log, shows a blank splash and
// plays on to its exit.
TEST(BrokenStart, SplashBombIsRefusedWithinTheMemoryOfANormalStart)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/e2e", dir.Path(), fs::copy_options::recursive);
    dir.Write("Scripts/Start.lua",
              "local frames = 0\n"
              "function GUpdate()\n"
              "    frames = frames + 1\n"
              "    if frames == 3 then G.exit() end\n"
              "end\n");

    // The same start without a splash is the measure: the bomb may cost little more than that.
    const Finished plain = RunProgram(dir);
    ASSERT_EQ(plain.mStatus, 0) << TempDir::Read(dir.Path("stderr.txt"));
    dir.Write("InvaderLoading.bmp", BombBitmap(30000, 30000));
    const Finished finished = RunProgram(dir);
    const std::string errors = TempDir::Read(dir.Path("stderr.txt"));
    ASSERT_EQ(finished.mStatus, 0) << errors;
    EXPECT_LT(finished.mPeakKiB, plain.mPeakKiB + (96L << 10))
        << "peak resident KiB, " << plain.mPeakKiB << " KiB without a splash";
    EXPECT_NE(errors.find("splash image InvaderLoading.bmp: 30000x30000 decodes to 2575 MiB, above the 64 MiB cap"),
              std::string::npos)
        << errors;
    const std::string log = TempDir::Read(dir.Path("Log.xml"));
    // Refused before the log file opened, it is written there once it does, as an Error.
    const size_t refused = log.find("<Message>PlatformWindow: splash image InvaderLoading.bmp: 30000x30000 decodes "
                                    "to 2575 MiB, above the 64 MiB cap</Message>");
    ASSERT_NE(refused, std::string::npos) << log;
    EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0);
    EXPECT_LT(log.find("</LogHeader>"), refused);
    EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << "it played on";
    EXPECT_EQ(log.rfind("</LoomRunTimeLog>\n"), log.size() - std::string("</LoomRunTimeLog>\n").size())
        << "the log is closed";
}

// The splash is read from the data folder once the folder is fixed and held to: a splash that is a
// link out of it is refused with a logged Error, the picture outside is never opened, and the
// program plays on with a blank splash.
TEST(BrokenStart, SplashLinkOutOfTheDataFolderIsRefusedUnopened)
{
    struct Case
    {
        const char* mName;
        bool mPictureThere;
    };
    const Case cases[] = {{"link to a picture outside", true}, {"link to no file outside", false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        Beside folders;
        if (c.mPictureThere)
            fs::copy_file(LOOM_TEST_DATA "/../../data/InvaderLoading.bmp", folders.Outside("Splash.bmp"));
        fs::create_symlink("../outside/Splash.bmp", folders.Data("InvaderLoading.bmp"));
        const FolderWatch watch(folders.Outside());

        ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

        EXPECT_EQ(watch.Events(), std::vector<std::string>());
        EXPECT_EQ(fs::exists(folders.Outside("Splash.bmp")), c.mPictureThere);
        const std::string log = folders.Log();
        const std::string refusal = "PlatformWindow: splash image InvaderLoading.bmp cannot be read: Path refused: "
                                    "&quot;InvaderLoading.bmp&quot; leaves the data folder through a link";
        const size_t refused = log.find("<Message>" + refusal + "</Message>");
        ASSERT_NE(refused, std::string::npos) << log;
        EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0);
        EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << "it played on";
    }
}

// A start that cannot read config.xml, or whose start script cannot be read, does not compile or
// fails when run, says why in the error box and in Log.xml; nobody answers the box, so SIGTERM
// ends the program, as "Exit" would, with a failure status.
TEST(BrokenStart, ConfigOrStartScriptBrokenSaysWhyInTheBoxAndEndsWithAFailure)
{
    struct Case
    {
        const char* mName;
        std::function<void(const Beside&)> mBreak;
        std::function<std::string(const Beside&)> mReason;
        // Further text of the reason after it (the script's own error names where it is).
        std::string mReasonEnd;
    };
    auto linkOut = [](const Beside& f, const std::string& name, const std::string& up) {
        fs::rename(f.Data(name), f.Outside(fs::path(name).filename()));
        fs::create_symlink(up + "outside/" + fs::path(name).filename().string(), f.Data(name));
    };
    const Case cases[] = {
        // The box names the folder; the log never says where the data folder lies.
        {"config.xml missing", [](const Beside& f) { fs::remove(f.Data("config.xml")); },
         [](const Beside&) { return std::string("config.xml not found in "); },
         ": the engine starts with its default configuration"},
        {"config.xml a folder",
         [](const Beside& f) {
             fs::remove(f.Data("config.xml"));
             fs::create_directory(f.Data("config.xml"));
         },
         [](const Beside&) { return std::string("config.xml cannot be read (not a file)"); }, ""},
        {"config.xml a link out of the data folder", [&](const Beside& f) { linkOut(f, "config.xml", "../"); },
         [](const Beside&) {
             return std::string(
                 "config.xml cannot be read (Path refused: \"config.xml\" leaves the data folder through a link)");
         },
         ""},
        {"start script missing", [](const Beside& f) { fs::remove(f.Data("Scripts/Start.lua")); },
         [](const Beside&) {
             return std::string("The start script Scripts\\Start.lua cannot be read (No such file or directory)");
         },
         ""},
        {"start script that does not compile",
         [](const Beside& f) {
             std::ofstream(f.Data("Scripts/Start.lua"), std::ios::trunc) << "function GUpdate(\n  G.exit()\nend\n";
         },
         [](const Beside&) { return std::string("The start script Scripts\\Start.lua failed ("); },
         "Start.lua:2: ')' expected near '.')"},
        {"start script that fails when run",
         [](const Beside& f) {
             std::ofstream(f.Data("Scripts/Start.lua"), std::ios::trunc)
                 << "function GUpdate() end\nerror('no menu to show', 0)\n";
         },
         [](const Beside&) { return std::string("The start script Scripts\\Start.lua failed (no menu to show)"); }, ""},
        {"start script a link out of the data folder",
         [&](const Beside& f) { linkOut(f, "Scripts/Start.lua", "../../"); },
         [](const Beside&) {
             return std::string("The start script Scripts\\Start.lua cannot be read (Path refused: "
                                "\"Scripts\\Start.lua\" leaves the data folder through a link)");
         },
         ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        Beside folders;
        c.mBreak(folders);
        const std::string reason = c.mReason(folders);
        // Boxes, not the tests' carry-on answer to a failed assertion.
        ChildProcess program(folders.Command("LOOM_ASSERT= LOOM_TEST_BOX=stay"));
        ASSERT_TRUE(program.Started());
        const std::string up = "Test box up: LOOM Error\n";
        const bool shown = WaitUntil(
            [&] {
                const std::string errors = folders.Stderr();
                const size_t box = errors.find(up);
                const size_t said = box == std::string::npos ? box : errors.find(reason, box);
                return !program.Running() ||
                    (said != std::string::npos && errors.find(c.mReasonEnd, said) != std::string::npos);
            },
            kProgramLimit, 0.05);
        ASSERT_TRUE(shown && program.Running()) << folders.Stderr();

        program.Signal(SIGTERM);
        EXPECT_EQ(program.Wait(60.0), 1) << folders.Stderr();
        const std::string log = folders.Log();
        // As the log writes it: slashes turned, markup as entities.
        auto escaped = [](std::string text) {
            std::replace(text.begin(), text.end(), '/', '\\');
            for (const auto& [plain, entity] :
                 {std::pair{"&", "&amp;"}, {"\"", "&quot;"}, {"<", "&lt;"}, {">", "&gt;"}})
                for (size_t at = 0; (at = text.find(plain, at)) != std::string::npos; at += std::strlen(entity))
                    text.replace(at, 1, entity);
            return text;
        };
        const size_t logged = log.find(escaped(reason));
        ASSERT_NE(logged, std::string::npos) << log;
        EXPECT_EQ(log.compare(log.rfind("<Type>", logged), 18, "<Type>Error</Type>"), 0) << log;
        EXPECT_NE(log.find(escaped(c.mReasonEnd), logged), std::string::npos) << log;
        EXPECT_EQ(log.rfind("</LoomRunTimeLog>\n"), log.size() - std::string("</LoomRunTimeLog>\n").size())
            << "the log is closed";
    }
}

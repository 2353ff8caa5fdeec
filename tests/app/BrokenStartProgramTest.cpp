#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/platform/BombBitmap.h"

namespace fs = std::filesystem;

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

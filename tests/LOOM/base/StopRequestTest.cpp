#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "LOOM/base/StopRequest.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
// Where the forked process's last act writes; set before the fork.
char gLastActFile[512];

void WriteLastAct()
{
    const int file = open(gLastActFile, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file >= 0)
    {
        const char text[] = "last act";
        [[maybe_unused]] const ssize_t written = write(file, text, sizeof(text) - 1);
        close(file);
    }
}
} // namespace

// A process that does not end after a stop request, stuck in an open that never returns, is
// ended by the deadline after its last act; one that got past its teardown is left alone.
TEST(StopRequest, DeadlineEndsAProcessStuckAfterTheRequest)
{
    struct Case
    {
        const char* mName;
        bool mRequestFirst;
        bool mDisarm;
        int mExitCode;
    };
    const Case cases[] = {
        {"request after arming", false, false, 7},
        {"request before arming", true, false, 7},
        {"disarmed at the end of teardown", false, true, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        TempDir dir;
        const std::string pipe = dir.Path("Pipe");
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        const std::string last = dir.Path("last.txt");
        ASSERT_LT(last.size(), sizeof(gLastActFile));
        std::strcpy(gLastActFile, last.c_str());

        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            if (c.mRequestFirst)
                RequestStop();
            ArmStopDeadline(0.3, &WriteLastAct, 7);
            if (c.mDisarm)
            {
                DisarmStopDeadline();
                RequestStop();
                std::this_thread::sleep_for(std::chrono::seconds(1));
                _exit(0);
            }
            RequestStop();
            // No writer ever comes: the open blocks for good.
            open(pipe.c_str(), O_RDONLY);
            _exit(3);
        }
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = waitpid(pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (reaped != pid)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the process went on";
            continue;
        }
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.mExitCode);
        EXPECT_EQ(TempDir::Read(last), c.mDisarm ? "" : "last act");
    }
}

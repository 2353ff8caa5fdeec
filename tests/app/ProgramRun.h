#pragma once
// The real program (or a tool it needs, such as a virtual display) as a child of the test: in a
// process group of its own that is killed on every way out of the test, failed asserts included.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/LOOM/support/WaitFor.h"

class ChildProcess
{
public:
    // Runs the shell command in a new session, so its whole tree shares one process group.
    // Commands end in "exec program" so that the program is the child the test waits for.
    explicit ChildProcess(const std::string& command)
    {
        mPid = fork();
        if (mPid == 0)
        {
            setsid();
            // Should the test itself be killed, the command goes with it: the shell execs it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return mPid > 0; }
    bool Running()
    {
        Reap(WNOHANG);
        return mPid > 0 && !mEnded;
    }
    // The exit code once it ends within the limit; -1 when killed by a signal or still running
    // at the limit (then the group is killed).
    int Wait(double limitSeconds)
    {
        if (!WaitUntil([&] { return !Running(); }, limitSeconds, 0.05))
            Kill();
        return mEnded && WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
    }
    // To the program itself (the command ends in "exec program").
    void Signal(int signal) const
    {
        if (mPid > 0 && !mEnded)
            kill(mPid, signal);
    }
    void Kill()
    {
        if (mPid <= 0 || mEnded)
            return;
        kill(-mPid, SIGKILL);
        Reap(0);
    }

private:
    // Once reaped, the leader's number is free for any new process, or group, on the machine: what
    // is left of the group is killed before, while the unreaped leader still holds the number.
    void Reap(int options)
    {
        if (mPid <= 0 || mEnded)
            return;
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(mPid), &info, WEXITED | WNOWAIT | options) != 0 || info.si_pid != mPid)
            return;
        // The group may outlive its leader: a shell's children stay behind it.
        kill(-mPid, SIGKILL);
        int status = 0;
        if (waitpid(mPid, &status, 0) == mPid)
        {
            mEnded = true;
            mStatus = status;
        }
    }

    pid_t mPid = -1;
    bool mEnded = false;
    int mStatus = 0;
};

// A whole run of the program under sanitizers on a loaded machine, well inside the test's own
// limit so that the test, not ctest, reports it.
constexpr double kProgramLimit = 480.0;

// Runs the command to its end within the limit; its exit code, or -1 (signal, time-out).
inline int RunToEnd(const std::string& command, double limitSeconds)
{
    ChildProcess child(command);
    return child.Wait(limitSeconds);
}

// The messages of the error entries in a program's log file.
inline std::vector<std::string> Errors(const std::string& log)
{
    std::vector<std::string> errors;
    const std::regex entry("<Type>Error</Type>\\s*<Time>[^<]*</Time>\\s*<Message>([^<]*)</Message>");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), entry); it != std::sregex_iterator(); ++it)
        errors.push_back((*it)[1]);
    return errors;
}

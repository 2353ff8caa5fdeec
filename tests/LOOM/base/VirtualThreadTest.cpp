#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/VirtualThread.h"
#include "tests/LOOM/support/LogCapture.h"

namespace {
class CountingTask : public VirtualThread
{
public:
    ~CountingTask() override { Stop(); }
    void Run() override
    {
        mEntered = true;
        while (KeepRunning())
        {
            ++mRounds;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    std::atomic<bool> mEntered{false};
    std::atomic<int> mRounds{0};
};

// Ignores KeepRunning: only the test lets it go.
class StubbornTask : public VirtualThread
{
public:
    explicit StubbornTask(std::atomic<bool>& release) : mRelease(release) {}
    ~StubbornTask() override { Stop(); }
    void Run() override
    {
        ++mRuns;
        while (!mRelease)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        mFinished = true;
    }
    std::atomic<bool>& mRelease;
    std::atomic<int> mRuns{0};
    std::atomic<bool> mFinished{false};
};
} // namespace

TEST(VirtualThread, StopWithoutSpawnReturnsAtOnce)
{
    CountingTask task;
    task.Stop();
    EXPECT_EQ(task.GetState(), THREAD_STOPPED);
}

TEST(VirtualThread, StopRightAfterSpawnWaitsForRunThenEndsIt)
{
    CountingTask task;
    task.Spawn();
    task.Stop();
    EXPECT_TRUE(task.mEntered);
    EXPECT_EQ(task.GetState(), THREAD_STOPPED);
    EXPECT_FALSE(task.KeepRunning());
    task.Spawn();
    EXPECT_NE(task.GetState(), THREAD_STOPPED);
    task.Stop();
    EXPECT_EQ(task.GetState(), THREAD_STOPPED);
}

TEST(VirtualThread, SpawnRefusesARunningTask)
{
    CountingTask task;
    task.Spawn();
    const int before = AssertFailureCount();
    task.Spawn();
    EXPECT_EQ(AssertFailureCount(), before + 1);
    task.Stop();
}

TEST(VirtualThread, TaskIgnoringStopIsWaitedForPastTheTimeoutAndLogged)
{
    LogCapture capture;
    std::atomic<bool> release{false};
    StubbornTask task(release);
    task.SetStopTimeout(0.05f);
    task.Spawn();
    std::atomic<bool> stopReturned{false};
    std::atomic<bool> stillWaiting{false};
    std::thread releaser([&] {
        // Far past the time-out, Stop must still be waiting and the state must not say stopped.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        stillWaiting = !stopReturned && task.GetState() != THREAD_STOPPED;
        release = true;
    });
    task.Stop();
    stopReturned = true;
    releaser.join();
    EXPECT_TRUE(stillWaiting);
    EXPECT_TRUE(task.mFinished);
    EXPECT_EQ(task.GetState(), THREAD_STOPPED);
    EXPECT_EQ(capture.Count("did not stop within its time-out"), 1);
}

namespace {
// A worker blocked in recv on a socket nobody writes to; Wake shuts the socket down.
class SocketTask : public VirtualThread
{
public:
    SocketTask() { mOk = socketpair(AF_UNIX, SOCK_STREAM, 0, mSockets) == 0; }
    ~SocketTask() override
    {
        Stop();
        close(mSockets[0]);
        close(mSockets[1]);
    }
    void Run() override
    {
        char byte = 0;
        mEntered = true;
        while (KeepRunning())
        {
            if (recv(mSockets[0], &byte, 1, 0) <= 0)
                break;
        }
        mReturned = true;
    }
    void Wake() override { shutdown(mSockets[0], SHUT_RDWR); }
    int mSockets[2] = {-1, -1};
    bool mOk = false;
    std::atomic<bool> mEntered{false};
    std::atomic<bool> mReturned{false};
};
} // namespace

TEST(VirtualThread, WorkerBlockedInRecvIsWokenAndJoinedWithinItsTimeout)
{
    LogCapture capture;
    SocketTask task;
    ASSERT_TRUE(task.mOk);
    task.SetStopTimeout(30.0f);
    task.Spawn();
    while (!task.mEntered)
        std::this_thread::yield();
    task.Stop();
    EXPECT_TRUE(task.mReturned);
    EXPECT_EQ(task.GetState(), THREAD_STOPPED);
    EXPECT_EQ(capture.Count("did not stop"), 0);
}

TEST(VirtualThread, SpawnIsRefusedUntilTheEarlierRunReturned)
{
    std::atomic<bool> release{false};
    StubbornTask task(release);
    task.Spawn();
    while (task.GetState() != THREAD_RUNNING)
        std::this_thread::yield();
    const int before = AssertFailureCount();
    task.Spawn();
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_EQ(task.mRuns, 1);
    release = true;
    task.Stop();
    // Ended on its own: a new run may start.
    release = false;
    task.Spawn();
    while (task.mRuns < 2)
        std::this_thread::yield();
    release = true;
    task.Stop();
    EXPECT_EQ(task.mRuns, 2);
    EXPECT_EQ(AssertFailureCount(), before + 1);
}

TEST(NamedMutexLock, SameThreadSecondLockIsRefusedNotDeadlocked)
{
    LogCapture capture;
    const int before = AssertFailureCount();
    NamedMutexLock first("NetMessageSendMutex");
    NamedMutexLock second("NetMessageSendMutex");
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_TRUE(capture.Contains("NetMessageSendMutex is already held by this thread"));
    first.Release();
    second.Lock("NetMessageSendMutex");
    EXPECT_TRUE(second.IsHeld());
}

TEST(NamedMutexLock, SecondLockerWaitsForTheFirst)
{
    std::atomic<int> order{0};
    std::atomic<int> secondSaw{-1};
    auto first = std::make_unique<NamedMutexLock>("NetMessageSendMutex");
    std::thread other([&] {
        NamedMutexLock lock("NetMessageSendMutex");
        secondSaw = order.load();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    order = 1;
    first.reset();
    other.join();
    EXPECT_EQ(secondSaw, 1);

    NamedMutexLock relock;
    EXPECT_FALSE(relock.IsHeld());
    relock.Lock("Adding Recv Message");
    relock.Lock("NetMessageSendMutex");
    EXPECT_TRUE(relock.IsHeld());
    relock.Release();
    NamedMutexLock again("Adding Recv Message"); // released by the re-lock above
    EXPECT_TRUE(again.IsHeld());
}

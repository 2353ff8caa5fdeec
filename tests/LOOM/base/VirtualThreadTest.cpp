#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/VirtualThread.h"

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

class StubbornTask : public VirtualThread
{
public:
    explicit StubbornTask(std::shared_ptr<std::atomic<bool>> release) : mRelease(std::move(release)) {}
    void Run() override
    {
        std::shared_ptr<std::atomic<bool>> release = mRelease;
        while (!*release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::shared_ptr<std::atomic<bool>> mRelease;
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

TEST(VirtualThread, TaskIgnoringStopIsDetachedAfterTimeout)
{
    auto release = std::make_shared<std::atomic<bool>>(false);
    {
        StubbornTask task(release);
        task.SetStopTimeout(0.2f);
        task.Spawn();
        const auto start = std::chrono::steady_clock::now();
        task.Stop();
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(waited, 0.19);
        EXPECT_EQ(task.GetState(), THREAD_STOPPED);
    }
    *release = true; // the detached worker ends on its own
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

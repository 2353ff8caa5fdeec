#include "LOOM/base/VirtualThread.h"

#include <map>
#include <mutex>
#include <thread>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/Clocks.h"
#include "LOOM/console/Console.h"

struct VirtualThread::ThreadHolder
{
    std::thread mThread;
};

namespace {
std::atomic<uint32_t> gNextThreadId{1};
}

VirtualThread::VirtualThread() : mControl(std::make_shared<Control>()), mThread(std::make_unique<ThreadHolder>()) {}

VirtualThread::~VirtualThread()
{
    Stop();
}

std::string VirtualThread::Describe() const
{
    return "Thread ID " + std::to_string(mThreadId);
}

void VirtualThread::Spawn()
{
    if (mControl->mState.load() != THREAD_STOPPED)
    {
        if (AssertFailed("mState != THREAD_RUNNING", "VirtualThread", 35, "The thread task is already spawned"))
            DebugBreakIfAttached();
        return;
    }
    // A thread left behind by an earlier time-out may still hold the old control block.
    if (mThread->mThread.joinable())
        mThread->mThread.join();
    mControl = std::make_shared<Control>();
    mControl->mState = THREAD_SPAWNED;
    mControl->mKeepRunning = true;
    mThreadId = gNextThreadId++;
    std::shared_ptr<Control> control = mControl;
    try
    {
        mThread->mThread = std::thread([this, control] {
            control->mState = THREAD_RUNNING;
            Run();
            control->mKeepRunning = false;
            control->mState = THREAD_STOPPED;
        });
        mHasThread = true;
    }
    catch (const std::system_error&)
    {
        mControl->mState = THREAD_STOPPED;
        mControl->mKeepRunning = false;
    }
}

void VirtualThread::Stop()
{
    mControl->mKeepRunning = false;
    if (!mHasThread)
        return;
    while (mControl->mState.load() == THREAD_SPAWNED)
        std::this_thread::yield();
    Wake();
    PreciseTimer timer;
    while (mControl->mState.load() != THREAD_STOPPED && timer.CurrentSeconds() < mStopTimeout)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    if (mControl->mState.load() != THREAD_STOPPED)
    {
        // Never let a stuck worker end the process: let it go and say so.
        Console::Instance().Log(Describe() + " did not stop within its time-out and was detached", LogError);
        mThread->mThread.detach();
        mControl = std::make_shared<Control>();
    }
    else if (mThread->mThread.joinable())
    {
        mThread->mThread.join();
    }
    mHasThread = false;
}

namespace {
std::mutex gNamesMutex;
std::map<std::string, std::unique_ptr<std::timed_mutex>>& NamedMutexes()
{
    static std::map<std::string, std::unique_ptr<std::timed_mutex>> mutexes;
    return mutexes;
}
} // namespace

NamedMutexLock::NamedMutexLock(const std::string& name)
{
    Lock(name);
}

NamedMutexLock::~NamedMutexLock()
{
    Release();
}

void NamedMutexLock::Lock(const std::string& name)
{
    Release();
    std::timed_mutex* mutex = nullptr;
    {
        std::lock_guard<std::mutex> guard(gNamesMutex);
        auto& slot = NamedMutexes()[name];
        if (!slot)
            slot = std::make_unique<std::timed_mutex>();
        mutex = slot.get();
    }
    mutex->lock();
    mMutex = mutex;
}

void NamedMutexLock::Release()
{
    if (!mMutex)
        return;
    mMutex->unlock();
    mMutex = nullptr;
}

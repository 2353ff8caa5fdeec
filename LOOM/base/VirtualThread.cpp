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

VirtualThread::VirtualThread() : mThread(std::make_unique<ThreadHolder>()) {}

VirtualThread::~VirtualThread() { Stop(); }

std::string VirtualThread::Describe() const { return "Thread ID " + std::to_string(mThreadId); }

void VirtualThread::Spawn()
{
    if (mState.load() != THREAD_STOPPED)
    {
        if (AssertFailed("mState != THREAD_RUNNING", "VirtualThread", 35, "The thread task is already spawned"))
            DebugBreakIfAttached();
        return;
    }
    // A Run() that returned on its own leaves its thread to be joined; it has finished.
    if (mThread->mThread.joinable())
        mThread->mThread.join();
    mState = THREAD_SPAWNED;
    mKeepRunning = true;
    mThreadId = gNextThreadId++;
    try
    {
        mThread->mThread = std::thread([this] {
            mState = THREAD_RUNNING;
            Run();
            mKeepRunning = false;
            mState = THREAD_STOPPED;
        });
    }
    catch (const std::system_error&)
    {
        mState = THREAD_STOPPED;
        mKeepRunning = false;
    }
}

void VirtualThread::Stop()
{
    mKeepRunning = false;
    std::thread& thread = mThread->mThread;
    if (!thread.joinable())
        return;
    // Run() asking for its own end: the owner joins later.
    if (thread.get_id() == std::this_thread::get_id())
        return;
    while (mState.load() == THREAD_SPAWNED)
        std::this_thread::yield();
    Wake();
    PreciseTimer timer;
    while (mState.load() != THREAD_STOPPED && timer.CurrentSeconds() < mStopTimeout)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (mState.load() != THREAD_STOPPED)
        Console::Instance().Log(Describe() + " did not stop within its time-out; still waiting for it", LogError);
    thread.join();
}

struct NamedMutexLock::Named
{
    std::mutex mMutex;
    std::thread::id mOwner; // guarded by gNamesMutex
};

namespace {
std::mutex gNamesMutex;
std::map<std::string, std::unique_ptr<NamedMutexLock::Named>>& NamedMutexes()
{
    static std::map<std::string, std::unique_ptr<NamedMutexLock::Named>> mutexes;
    return mutexes;
}
} // namespace

NamedMutexLock::NamedMutexLock(const std::string& name) { Lock(name); }

NamedMutexLock::~NamedMutexLock() { Release(); }

void NamedMutexLock::Lock(const std::string& name)
{
    Release();
    Named* named = nullptr;
    {
        std::lock_guard<std::mutex> guard(gNamesMutex);
        auto& slot = NamedMutexes()[name];
        if (!slot)
            slot = std::make_unique<Named>();
        named = slot.get();
        if (named->mOwner == std::this_thread::get_id())
            named = nullptr;
    }
    if (!named)
    {
        const std::string message = "The named mutex " + name + " is already held by this thread";
        if (AssertFailed("mOwner != this thread", "VirtualThread", __LINE__, message.c_str()))
            DebugBreakIfAttached();
        return;
    }
    named->mMutex.lock();
    std::lock_guard<std::mutex> guard(gNamesMutex);
    named->mOwner = std::this_thread::get_id();
    mMutex = named;
}

void NamedMutexLock::Release()
{
    if (!mMutex)
        return;
    {
        std::lock_guard<std::mutex> guard(gNamesMutex);
        mMutex->mOwner = std::thread::id();
    }
    mMutex->mMutex.unlock();
    mMutex = nullptr;
}

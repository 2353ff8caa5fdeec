#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

enum ThreadState : int32_t
{
    THREAD_STOPPED = 0,
    THREAD_SPAWNED = 1,
    THREAD_RUNNING = 2,
};

// A worker task on a thread of its own, stopped cooperatively with a time-out.
// Derived classes call Stop() in their own destructor, before their members go.
class VirtualThread
{
public:
    VirtualThread();
    virtual ~VirtualThread();
    virtual std::string Describe() const;
    virtual void Run() = 0;
    // Called by Stop() once KeepRunning() is false: unblock Run() (shut the socket down, notify the
    // condition variable) so that it returns within the stop time-out.
    virtual void Wake() {}

    void Spawn();
    void Stop();

    bool KeepRunning() const { return mControl->mKeepRunning.load(); }
    int32_t GetState() const { return mControl->mState.load(); }
    void SetStopTimeout(float seconds) { mStopTimeout = seconds; }

private:
    // Shared with the thread, so a worker that outlives its time-out never writes freed memory.
    struct Control
    {
        std::atomic<bool> mKeepRunning{false};
        std::atomic<int32_t> mState{THREAD_STOPPED};
    };

    float mStopTimeout = 4.0f;
    std::shared_ptr<Control> mControl;
    uint32_t mThreadId = 0;
    bool mHasThread = false;
    struct ThreadHolder;
    std::unique_ptr<ThreadHolder> mThread;
};

// Scoped lock on a mutex shared by name within the process.
class NamedMutexLock
{
public:
    NamedMutexLock() = default;
    explicit NamedMutexLock(const std::string& name);
    ~NamedMutexLock();
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    void Lock(const std::string& name);
    void Release();
    bool IsHeld() const { return mMutex != nullptr; }

private:
    std::timed_mutex* mMutex = nullptr;
};

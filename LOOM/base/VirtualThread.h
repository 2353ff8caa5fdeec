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
// Derived classes call Stop() in their own destructor, before their members go: Stop() always
// joins the thread, so no worker outlives the object it runs on.
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

    // Refused (assertion) while an earlier Run() has not returned.
    void Spawn();
    // Asks Run() to end, wakes it and joins it. Past the time-out it logs once and keeps waiting:
    // a thread cannot be ended safely from outside.
    void Stop();

    bool KeepRunning() const { return mKeepRunning.load(); }
    // Running until Run() has really returned.
    int32_t GetState() const { return mState.load(); }
    void SetStopTimeout(float seconds) { mStopTimeout = seconds; }

private:
    float mStopTimeout = 4.0f;
    std::atomic<bool> mKeepRunning{false};
    std::atomic<int32_t> mState{THREAD_STOPPED};
    uint32_t mThreadId = 0;
    struct ThreadHolder;
    std::unique_ptr<ThreadHolder> mThread;
};

// Scoped lock on a mutex shared by name within the process. The mutexes are not recursive:
// a thread that asks again for a name it already holds is refused (assertion, nothing held)
// instead of locking itself out.
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

    struct Named;

private:
    Named* mMutex = nullptr;
};

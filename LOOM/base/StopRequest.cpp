#include "LOOM/base/StopRequest.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace {
// Lock-free, so a signal handler may set it.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Posted from the signal handler (sem_post is async-signal-safe); the deadline thread waits on it.
sem_t gStopPosted;
std::atomic<bool> gArmed{false};

// Never freed: the deadline thread may still hold it while the program's statics go.
std::mutex& EndMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}
bool gDisarmed = false; // under EndMutex
} // namespace

void RequestStop() noexcept
{
    gStop.store(true, std::memory_order_relaxed);
    if (gArmed.load(std::memory_order_acquire))
        sem_post(&gStopPosted);
}

bool StopRequested() noexcept { return gStop.load(std::memory_order_relaxed); }

void ClearStopRequest() noexcept { gStop.store(false, std::memory_order_relaxed); }

void ArmStopDeadline(double graceSeconds, void (*lastAct)(), int exitCode)
{
    if (gArmed.load(std::memory_order_acquire))
        return;
    sem_init(&gStopPosted, 0, 0);
    gArmed.store(true, std::memory_order_release);
    // Waits for a request made before it was armed too.
    if (StopRequested())
        sem_post(&gStopPosted);
    // The thread takes no signals: a stop signal lands in a thread whose blocked call it can end.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    std::thread([graceSeconds, lastAct, exitCode] {
        while (sem_wait(&gStopPosted) != 0 && errno == EINTR)
        {
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(graceSeconds));
        std::lock_guard<std::mutex> lock(EndMutex());
        if (gDisarmed)
            return;
        if (lastAct)
            lastAct();
        _exit(exitCode);
    }).detach();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void DisarmStopDeadline() noexcept
{
    std::lock_guard<std::mutex> lock(EndMutex());
    gDisarmed = true;
}

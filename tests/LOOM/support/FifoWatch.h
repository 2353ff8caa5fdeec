#pragma once
// A FIFO that code under test must never open. Opening one waits for the other end: a test that
// only bounded the open by time would hang on the fault, or fail on a slow machine. Here the FIFO
// is held open at both ends for as long as the watch lasts, so no open of it can wait, and the
// kernel reports each open (inotify) however fast or slow the machine: the fault is counted,
// never waited for.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>

class FifoWatch
{
public:
    explicit FifoWatch(const std::string& fifo)
        : mHeld(::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)), mWatch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(mHeld, 0);
        // Added after the ends are held: only opens by others are seen.
        EXPECT_GE(inotify_add_watch(mWatch, fifo.c_str(), IN_OPEN | IN_ACCESS | IN_MODIFY), 0);
    }
    ~FifoWatch()
    {
        ::close(mHeld);
        ::close(mWatch);
    }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    // Opens, reads and writes of the FIFO by anyone else so far. The kernel queues an open's event
    // before the open returns, so whatever the caller did before asking is counted.
    int Touches()
    {
        Drain();
        return mTouches;
    }

private:
    void Drain()
    {
        alignas(inotify_event) char buffer[4096];
        int seen = 0;
        for (ssize_t n; (n = ::read(mWatch, buffer, sizeof(buffer))) > 0;)
            for (char* at = buffer; at < buffer + n;
                 at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
                ++seen;
        mTouches += seen;
    }

    int mHeld;
    int mWatch;
    int mTouches = 0;
};

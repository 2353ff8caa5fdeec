#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "LOOM/base/VirtualThread.h"

// Opens the sound device off the main thread, so a slow or hanging driver never stalls a frame.
class DeviceOpenTask : public VirtualThread
{
public:
    using Opener = std::function<void*(const std::string& deviceName)>;

    DeviceOpenTask(Opener opener, std::string deviceName);
    ~DeviceOpenTask() override;
    void Run() override;
    // Nothing to unblock: the opener returns when the driver does.
    void Wake() override {}

    // Waits up to seconds for the opener to answer; true once it has.
    bool WaitDone(float seconds);
    bool IsDone();
    // The device once done (null when none opened); the caller owns it from then on.
    void* TakeDevice();
    // The loom no longer wants the device: a late one is closed by the task itself.
    void Abandon();

private:
    struct Slot
    {
        std::mutex mMutex;
        std::condition_variable mDone;
        bool mFinished = false;
        bool mAbandoned = false;
        void* mDevice = nullptr;
    };

    Opener mOpener;
    std::string mDeviceName;
    std::shared_ptr<Slot> mSlot;
};

// Opens the CD tray; ends by itself. Its one failure text is collected by the main thread,
// since workers never write the log.
class CdTrayTask : public VirtualThread
{
public:
    explicit CdTrayTask(std::string device);
    ~CdTrayTask() override;
    void Run() override;
    // Nothing to unblock: the device is opened without waiting and the eject returns by itself.
    void Wake() override {}

    // The failure text once the task has stopped; empty when the tray opened.
    std::string TakeError();

private:
    std::string mDevice;
    std::mutex mMutex;
    std::string mError;
};

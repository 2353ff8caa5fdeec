#include "audio/AudioTasks.h"

#include <AL/alc.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

DeviceOpenTask::DeviceOpenTask(Opener opener, std::string deviceName)
    : mOpener(std::move(opener)), mDeviceName(std::move(deviceName)), mSlot(std::make_shared<Slot>())
{
}

DeviceOpenTask::~DeviceOpenTask() { Stop(); }

void DeviceOpenTask::Run()
{
    std::shared_ptr<Slot> slot = mSlot;
    void* device = mOpener ? mOpener(mDeviceName) : nullptr;
    std::lock_guard<std::mutex> lock(slot->mMutex);
    if (slot->mAbandoned)
    {
        if (device)
            alcCloseDevice(static_cast<ALCdevice*>(device));
        device = nullptr;
    }
    slot->mDevice = device;
    slot->mFinished = true;
    slot->mDone.notify_all();
}

bool DeviceOpenTask::WaitDone(float seconds)
{
    std::unique_lock<std::mutex> lock(mSlot->mMutex);
    return mSlot->mDone.wait_for(lock, std::chrono::duration<float>(seconds), [this] { return mSlot->mFinished; });
}

bool DeviceOpenTask::IsDone()
{
    std::lock_guard<std::mutex> lock(mSlot->mMutex);
    return mSlot->mFinished;
}

void* DeviceOpenTask::TakeDevice()
{
    std::lock_guard<std::mutex> lock(mSlot->mMutex);
    void* device = mSlot->mDevice;
    mSlot->mDevice = nullptr;
    return device;
}

void DeviceOpenTask::Abandon()
{
    std::lock_guard<std::mutex> lock(mSlot->mMutex);
    mSlot->mAbandoned = true;
    if (mSlot->mDevice)
        alcCloseDevice(static_cast<ALCdevice*>(mSlot->mDevice));
    mSlot->mDevice = nullptr;
}

CdTrayTask::CdTrayTask(std::string device) : mDevice(std::move(device)) {}

CdTrayTask::~CdTrayTask() { Stop(); }

// Only a block device is a drive. The path is looked at before anything is opened (a FIFO waits,
// and opening a device may act), then held by an O_PATH descriptor that is checked again and
// reopened itself, so the ioctl reaches the very device that was checked. Anything else there,
// or nothing, gets one text: the log tells a script nothing of what lies at the path.
void CdTrayTask::Run()
{
    std::string error;
    char reason[256] = {};
    const std::string refused = "OpenCDTray: " + mDevice + " is not a CD drive (a block device)";
    struct stat named = {};
    int fd = -1;
    if (stat(mDevice.c_str(), &named) != 0 || !S_ISBLK(named.st_mode))
        error = refused;
    else
    {
        const int held = open(mDevice.c_str(), O_PATH | O_CLOEXEC);
        struct stat info = {};
        if (held < 0 || fstat(held, &info) != 0 || !S_ISBLK(info.st_mode) || info.st_rdev != named.st_rdev)
            error = refused;
        else
        {
            const std::string self = "/proc/self/fd/" + std::to_string(held);
            fd = open(self.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                error = "OpenCDTray: cannot open " + mDevice + ": " + strerror_r(errno, reason, sizeof(reason));
        }
        if (held >= 0)
            close(held);
    }
    if (fd >= 0)
    {
        if (ioctl(fd, CDROMEJECT, 0) < 0)
            error = "OpenCDTray: " + mDevice + " would not eject: " + strerror_r(errno, reason, sizeof(reason));
        close(fd);
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mError = std::move(error);
}

std::string CdTrayTask::TakeError()
{
    std::lock_guard<std::mutex> lock(mMutex);
    return std::exchange(mError, std::string());
}

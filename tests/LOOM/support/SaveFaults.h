#pragma once
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "tests/LOOM/support/LogCapture.h"

// The disk fills up at the n-th write (counted from 1) of the savers while this lives.
class FullDisk
{
public:
    explicit FullDisk(int failingWrite = 1)
    {
        sLeft = failingWrite;
        mOld = SetFileWriteCall(&Write);
    }
    ~FullDisk() { SetFileWriteCall(mOld); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    static ssize_t Write(int fd, const void* data, size_t size)
    {
        if (--sLeft <= 0)
        {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    }
    static inline int sLeft = 0;
    FileWriteCall mOld = nullptr;
};

// A folder nobody may write to while this lives; root loses its right to ignore that too.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(std::string folder) : mFolder(std::move(folder))
    {
        struct stat info = {};
        ::stat(mFolder.c_str(), &info);
        mMode = info.st_mode & 07777;
        ::chmod(mFolder.c_str(), 0555);
        if (::geteuid() == 0 && Capabilities(mSaved, false))
        {
            __user_cap_data_struct lowered[2] = {mSaved[0], mSaved[1]};
            lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
            mLowered = Capabilities(lowered, true);
        }
    }
    ~ReadOnlyFolder()
    {
        if (mLowered)
            Capabilities(mSaved, true);
        ::chmod(mFolder.c_str(), mMode);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False where the folder could still be written (a root that kept its rights).
    bool Holds() const
    {
        const std::string probe = mFolder + "/.probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }

private:
    static bool Capabilities(__user_cap_data_struct* data, bool set)
    {
        __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
    }
    std::string mFolder;
    mode_t mMode = 0755;
    __user_cap_data_struct mSaved[2] = {};
    bool mLowered = false;
};

// Every file under a folder with its bytes: equal snapshots mean nothing was changed, cut or left.
inline std::map<std::string, std::string> FolderSnapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        // Read whole, not a character at a time: a test takes many snapshots of a data folder.
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[it->path().string()] = bytes.str();
    }
    return files;
}

// Errors logged since the mark whose text holds the part: one failed save logs exactly one.
inline int ErrorsNaming(uint32_t since, const std::string& part)
{
    return LogCapture(since).CountIf([&](const LogEntry& entry) {
        return entry.mCategory == LogError && entry.mText.find(part) != std::string::npos;
    });
}

#include "LOOM/files/GuardParts.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fileguard {

long Openat2(int folder, const std::string& path, uint64_t flags, uint64_t resolve)
{
    open_how how = {};
    how.flags = flags;
    how.resolve = resolve;
    long fd = -1;
    // The kernel asks for a retry when a rename raced a ".." beneath the folder.
    for (int tries = 0; tries < 16; ++tries)
    {
        fd = ::syscall(SYS_openat2, folder, path.c_str(), &how, sizeof(how));
        if (fd >= 0 || errno != EAGAIN)
            break;
    }
    return fd;
}

// The kernel resolves the path beneath the base; the last component is looked at without
// following it, and a link there is read and its target resolved the same way in its place.
// False when the kernel has no openat2.
bool LocateBeneath(const Base& base, std::string relative, Found& found)
{
    const int folderFd = base.mConfined ? base.mFolder->Get() : AT_FDCWD;
    const uint64_t resolve = RESOLVE_NO_MAGICLINKS | (base.mConfined ? RESOLVE_BENEATH : 0);
    bool linked = false;
    const bool climbs = base.mConfined && ClimbsOut(relative);
    auto stop = [&found, &linked, climbs](int error) {
        if (error == EXDEV)
            found.mWhy = climbs && !linked ? kLeaves : kLeavesByLink;
        else if (error == ELOOP)
            found.mWhy = kTooManyLinks;
        else
            found.mError = error;
        return true;
    };
    for (int links = 0;;)
    {
        std::string_view folder, leaf;
        SplitLast(relative, folder, leaf);
        if (leaf.empty() || leaf == "." || leaf == "..")
        {
            // The path names a folder: that folder is what is found.
            const long fd = Openat2(folderFd, relative.empty() ? std::string(".") : relative,
                                    O_PATH | O_DIRECTORY | O_CLOEXEC, resolve);
            if (fd < 0)
                return errno == ENOSYS ? false : stop(errno);
            found.mFolder.Reset(static_cast<int>(fd));
            found.mExists = ::fstat(found.mFolder.Get(), &found.mInfo) == 0;
            return true;
        }
        const long fd = Openat2(folderFd, folder.empty() ? std::string(".") : std::string(folder),
                                O_PATH | O_DIRECTORY | O_CLOEXEC, resolve);
        if (fd < 0)
            return errno == ENOSYS ? false : stop(errno);
        Descriptor holder{static_cast<int>(fd)};
        const std::string name(leaf);
        struct stat info = {};
        if (::fstatat(holder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        {
            if (errno != ENOENT)
                return stop(errno);
            found.mFolder.Reset(holder.Release());
            found.mLeaf = name;
            return true;
        }
        if (!S_ISLNK(info.st_mode))
        {
            found.mFolder.Reset(holder.Release());
            found.mLeaf = name;
            found.mExists = true;
            found.mInfo = info;
            return true;
        }
        linked = true;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ++links > kMaxLinks
            ? (errno = ELOOP, -1)
            : ::readlinkat(holder.Get(), name.c_str(), target.data(), target.size());
        if (length <= 0 || size_t(length) >= target.size())
            return stop(length == 0 ? ENOENT : errno);
        target.resize(size_t(length));
        if (target[0] == '/')
        {
            // The kernel would refuse it beneath the folder; resolved as given otherwise.
            if (base.mConfined)
                return stop(EXDEV);
            relative = target;
        }
        else
            relative = folder.empty() ? target : std::string(folder).append("/").append(target);
    }
}

} // namespace fileguard

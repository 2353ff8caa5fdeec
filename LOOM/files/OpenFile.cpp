#include "LOOM/files/GuardParts.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LOOM/console/Console.h"

namespace fileguard {

namespace {
// Writing a file of several names would change them all; reading it changes none.
std::string HardLinksWhy(nlink_t links)
{
    return "has " + std::to_string(links) +
        " hard links: writing to it would change its other names too, which may be files outside the data folder";
}

const char* KindOf(mode_t mode)
{
    return S_ISDIR(mode) ? "a folder" : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket" : "a device";
}

struct OpenMode
{
    int mFlags = 0;
    bool mWrites = false;
    bool mCreates = false;
    bool mEmpties = false;
};

bool ParseMode(const char* mode, OpenMode& out)
{
    if (!mode || !*mode)
        return false;
    const std::string rest(mode + 1);
    if (rest.find_first_not_of("+b") != std::string::npos)
        return false;
    const bool both = rest.find('+') != std::string::npos;
    switch (mode[0])
    {
    case 'r':
        out.mFlags = both ? O_RDWR : O_RDONLY;
        out.mWrites = both;
        return true;
    case 'w':
        out.mFlags = both ? O_RDWR : O_WRONLY;
        out.mWrites = out.mCreates = out.mEmpties = true;
        return true;
    case 'a':
        out.mFlags = (both ? O_RDWR : O_WRONLY) | O_APPEND;
        out.mWrites = out.mCreates = true;
        return true;
    default:
        return false;
    }
}

// An empty file of one name put in the place of the found one, whose other names keep their
// bytes: what "w" would leave there, and nothing else is changed.
int ReplaceFound(const Found& found, const OpenMode& how)
{
    const std::string temp = TempNameBeside(found.mLeaf);
    const int folder = found.mFolder.Get();
    Descriptor fd(::openat(folder, temp.c_str(), how.mFlags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        return -1;
    if (::fchmod(fd.Get(), found.mInfo.st_mode & 07777) != 0 ||
        ::renameat(folder, temp.c_str(), folder, found.mLeaf.c_str()) != 0)
    {
        const int error = errno;
        ::unlinkat(folder, temp.c_str(), 0);
        errno = error;
        return -1;
    }
    return fd.Release();
}
} // namespace

} // namespace fileguard

using namespace fileguard;

std::string FileRefusal::Text(std::string_view shown) const
{
    return mNotAFile ? Printable(shown) + " " + mWhy : "Path refused: \"" + Printable(shown) + "\" " + mWhy;
}

int OpenDataFile(std::string_view path, const char* mode, FileRefusal* refusal, std::string_view shown)
{
    FileRefusal refused;
    auto refuse = [&](bool notAFile, std::string why) {
        refused.mNotAFile = notAFile;
        refused.mWhy = std::move(why);
        if (refusal)
            *refusal = refused;
        else
            Console::Instance().Log(refused.Text(shown.empty() ? DataRelativeName(std::string(path)) : shown),
                                    LogError);
        errno = EACCES;
        return -1;
    };
    OpenMode how;
    if (path.empty() || !ParseMode(mode, how))
    {
        errno = path.empty() ? ENOENT : EINVAL;
        return -1;
    }
    Found found;
    Locate(path, IsConfinedToDataFolder(), found);
    if (!found.mWhy.empty())
        return refuse(false, found.mWhy);
    if (found.mError != 0)
    {
        errno = found.mError;
        return -1;
    }
    if (!found.mExists && !how.mCreates)
    {
        errno = ENOENT;
        return -1;
    }
    // Looked at before it is opened: opening a device may do something, and a FIFO waits.
    if (found.mExists && !S_ISREG(found.mInfo.st_mode))
        return refuse(true, std::string("is not a regular file (") + KindOf(found.mInfo.st_mode) + ")");
    if (found.mLeaf.empty())
        return refuse(true, "is not a regular file (a folder)");
    if (found.mExists && found.mInfo.st_nlink > 1 && how.mWrites)
        return how.mEmpties ? ReplaceFound(found, how) : refuse(false, HardLinksWhy(found.mInfo.st_nlink));
    // Never O_TRUNC: nothing is emptied before it is known what it is.
    const int flags = how.mFlags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (found.mExists ? 0 : O_CREAT | O_EXCL);
    Descriptor fd(::openat(found.mFolder.Get(), found.mLeaf.c_str(), flags, 0666));
    if (fd.Get() < 0)
    {
        if (errno == ELOOP)
            return refuse(false, "turned into a link while it was opened");
        return -1;
    }
    struct stat info = {};
    if (::fstat(fd.Get(), &info) != 0)
        return -1;
    if (!S_ISREG(info.st_mode))
        return refuse(true, std::string("is not a regular file (") + KindOf(info.st_mode) + ")");
    if (info.st_nlink > 1 && how.mWrites)
        return refuse(false, HardLinksWhy(info.st_nlink));
    const int status = ::fcntl(fd.Get(), F_GETFL);
    if (status == -1 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return -1;
    if (how.mEmpties && info.st_size != 0 && ::ftruncate(fd.Get(), 0) != 0)
        return -1;
    return fd.Release();
}

bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes, FileRefusal* refusal)
{
    if (path.empty())
        return false;
    const int fd = OpenDataFile(path, "r", refusal);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
    {
        ::close(fd);
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (size > maxBytes)
    {
        ::close(fd);
        Console::Instance().Log("File too large to read: " + Printable(path) + " (" + std::to_string(size) +
                                    " bytes, limit " + std::to_string(maxBytes) + ")",
                                LogError);
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    // A file cut while it was read is not a whole file.
    if (done != bytes.size())
        return false;
    out = std::move(bytes);
    return true;
}

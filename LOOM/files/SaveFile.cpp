#include "LOOM/files/GuardParts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "LOOM/base/SaveLeftovers.h"
#include "LOOM/console/Console.h"

namespace fileguard {

// A name in the folder for a file that takes the place of another: never chosen by anyone else.
std::string TempNameBeside(const std::string& target)
{
    static std::atomic<uint32_t> sCounter{0};
    return SaveTempName(target, ::getpid(), sCounter++);
}

} // namespace fileguard

using namespace fileguard;

namespace {
FileWriteCall gWriteCall = &::write;
} // namespace

FileWriteCall SetFileWriteCall(FileWriteCall call)
{
    const FileWriteCall old = gWriteCall;
    gWriteCall = call ? call : &::write;
    return old;
}

bool SaveWholeFile(std::string_view path, std::string_view bytes, std::string* why)
{
    const std::string named = Printable(path);
    auto fail = [&named, why](int error, const std::string& text = std::string()) {
        const std::string reason = text.empty() ? ErrorText(error) : text;
        if (why)
            *why = reason;
        else
            Console::Instance().Log("Cannot save " + named + ": " + reason, LogError);
        return false;
    };
    if (path.empty())
        return fail(0, "no file name");
    // The folder the guard finds, links followed; the temporary file and the rename stay in it.
    Found found;
    Locate(ResolvePath(std::string(path)), IsConfinedToDataFolder(), found);
    if (!found.mWhy.empty())
        return fail(0, FileRefusal{false, found.mWhy}.Text(DataRelativeName(std::string(path))));
    if (found.mError != 0)
        return fail(found.mError);
    if (found.mLeaf.empty() || (found.mExists && !S_ISREG(found.mInfo.st_mode)))
        return fail(0, "not a file");
    const int folder = found.mFolder.Get();
    const std::string& target = found.mLeaf;
    const bool hadOld = found.mExists;
    const struct stat& old = found.mInfo;

    const std::string temp = TempNameBeside(target);
    // A new file of one name, never through a link: the rename only replaces the target's name.
    const int fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    int error = 0;
    // Chunks, so a long file is many writes and each one is checked.
    constexpr size_t kChunk = size_t(64) << 10;
    size_t done = 0;
    while (error == 0 && done < bytes.size())
    {
        const ssize_t n = gWriteCall(fd, bytes.data() + done, std::min(kChunk, bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        else if (n == 0)
            error = EIO;
        else
            done += static_cast<size_t>(n);
    }
    // The old file's permissions carry over to the new one.
    if (error == 0 && hadOld && ::fchmod(fd, old.st_mode & 07777) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::renameat(folder, temp.c_str(), folder, target.c_str()) != 0)
        error = errno;
    if (error != 0)
    {
        ::unlinkat(folder, temp.c_str(), 0);
        return fail(error);
    }
    // The rename itself lasts once the folder is synced.
    const int dir = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

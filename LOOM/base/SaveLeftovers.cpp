#include "LOOM/base/SaveLeftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace {
// Deeper than any data folder of ours goes; a deeper tree is left alone.
constexpr int kMaxDepth = 32;

bool AllDigits(const std::string& text, size_t from, size_t to)
{
    if (from >= to)
        return false;
    for (size_t i = from; i < to; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// The writer's process id of a leftover's name (checked by IsSaveLeftoverName first).
pid_t WriterOf(const std::string& name)
{
    const size_t tmp = name.rfind(".tmp");
    const size_t underscore = name.find('_', tmp);
    long long pid = 0;
    std::from_chars(name.data() + tmp + 4, name.data() + underscore, pid);
    return pid > 0 && pid <= 0x7fffffff ? static_cast<pid_t>(pid) : 0;
}

// Another program of ours may be saving into the same folder right now: its files stay.
bool WriterRunning(pid_t pid)
{
    if (pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

void Sweep(int folder, const std::string& prefix, int depth, std::vector<std::string>& removed)
{
    DIR* dir = ::fdopendir(folder);
    if (!dir)
    {
        ::close(folder);
        return;
    }
    while (dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info = {};
        if (::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
        {
            if (depth >= kMaxDepth)
                continue;
            // O_NOFOLLOW: a folder swapped for a link since the look is not entered.
            const int sub = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                Sweep(sub, prefix + name + "/", depth + 1, removed);
        }
        else if (S_ISREG(info.st_mode) && IsSaveLeftoverName(name) && !WriterRunning(WriterOf(name)))
        {
            // unlinkat never follows a link: at worst a link put there since the look goes.
            if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
                removed.push_back(prefix + name);
        }
    }
    ::closedir(dir);
}
} // namespace

bool IsSaveLeftoverName(const std::string& name)
{
    const size_t tmp = name.rfind(".tmp");
    if (tmp == std::string::npos || tmp == 0)
        return false;
    const size_t underscore = name.find('_', tmp + 4);
    return underscore != std::string::npos && AllDigits(name, tmp + 4, underscore) &&
        AllDigits(name, underscore + 1, name.size());
}

std::vector<std::string> RemoveSaveLeftovers(const std::string& folder)
{
    std::vector<std::string> removed;
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        Sweep(fd, "", 0, removed);
    return removed;
}

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

const char* const kMarker = ".loom-save-";
const char* const kEnd = ".partial";

// Decimal digits as SaveTempName writes them: no sign, no leading zero, within the type.
template <typename Number>
bool ReadNumber(const std::string& text, size_t from, size_t to, Number& value)
{
    if (from >= to || (text[from] == '0' && to - from > 1))
        return false;
    const auto [end, error] = std::from_chars(text.data() + from, text.data() + to, value);
    return error == std::errc() && end == text.data() + to;
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
        // Ours has one name and our owner: a file linked in or left by another user is not ours.
        else if (S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid() &&
                 IsSaveLeftoverName(name) && !WriterRunning(SaveTempWriter(name)))
        {
            // unlinkat never follows a link: at worst a link put there since the look goes.
            if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
                removed.push_back(prefix + name);
        }
    }
    ::closedir(dir);
}
} // namespace

std::string SaveTempName(const std::string& target, pid_t writer, uint32_t number)
{
    return "." + target + kMarker + std::to_string(writer) + "-" + std::to_string(number) + kEnd;
}

pid_t SaveTempWriter(const std::string& name)
{
    const size_t endLength = std::strlen(kEnd);
    if (name.size() < 2 + endLength || name[0] != '.' || name.compare(name.size() - endLength, endLength, kEnd) != 0)
        return 0;
    const size_t marker = name.rfind(kMarker, name.size() - endLength);
    if (marker == std::string::npos || marker < 2)
        return 0;
    const size_t pidAt = marker + std::strlen(kMarker);
    const size_t dash = name.find('-', pidAt);
    const size_t numberEnd = name.size() - endLength;
    pid_t writer = 0;
    uint32_t number = 0;
    if (dash == std::string::npos || dash > numberEnd || !ReadNumber(name, pidAt, dash, writer) || writer <= 0 ||
        !ReadNumber(name, dash + 1, numberEnd, number))
        return 0;
    return writer;
}

bool IsSaveLeftoverName(const std::string& name) { return SaveTempWriter(name) != 0; }

std::vector<std::string> RemoveSaveLeftovers(const std::string& folder)
{
    std::vector<std::string> removed;
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        Sweep(fd, "", 0, removed);
    return removed;
}

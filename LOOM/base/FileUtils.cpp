#include "LOOM/base/FileUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/openat2.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <unordered_set>
#include <utility>

#include "LOOM/base/SaveLeftovers.h"
#include "LOOM/console/Console.h"

namespace fs = std::filesystem;

namespace {
std::string gDataPath;
std::atomic<bool> gConfined{false};
FileWriteCall gWriteCall = &::write;

std::string ErrorText(int error) { return std::generic_category().message(error); }

void LogNotAFile(const std::string& path) { Console::Instance().Log(path + " is not a file", LogError); }

bool IEquals(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool IEndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && IEquals(text.substr(text.size() - suffix.size()), suffix);
}

// Links followed on the way to one file before the walk gives up, as the kernel's own limit.
constexpr int kMaxLinks = 40;

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : mFd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : mFd(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    int Get() const { return mFd; }
    int Release() { return std::exchange(mFd, -1); }
    void Reset(int fd = -1)
    {
        if (mFd >= 0)
            ::close(mFd);
        mFd = fd;
    }

private:
    int mFd;
};

// The components of a path with '/' between them; empty ones and "." are left out.
std::vector<std::string_view> Components(std::string_view path)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

void AppendComponents(const std::string& path, std::deque<std::string>& out, bool front)
{
    const std::vector<std::string_view> parts = Components(path);
    out.insert(front ? out.begin() : out.end(), parts.begin(), parts.end());
}

// An absolute path with "." and ".." taken out by the text alone.
std::string Lexical(const std::string& absolute)
{
    std::deque<std::string> parts;
    AppendComponents(absolute, parts, false);
    std::vector<std::string> kept;
    for (std::string& part : parts)
    {
        if (part != "..")
            kept.push_back(std::move(part));
        else if (!kept.empty())
            kept.pop_back();
    }
    std::string joined;
    for (const std::string& part : kept)
        joined += "/" + part;
    return joined.empty() ? "/" : joined;
}

bool Within(const std::string& folder, const std::string& path)
{
    if (folder == "/")
        return true;
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::error_code ec;
    return fs::current_path(ec).string() + "/" + path;
}

// Where a path really leads: every link on the way is read and its target walked in its place,
// from the root, one component at a time, without the kernel following any link. The last
// component may be missing; the folder holding it is kept open, so the file opened there is in
// the very folder that was checked.
struct Walk
{
    Descriptor mFolder;   // an O_PATH descriptor of the folder holding the last component
    std::string mLeaf;    // that component's name in it; empty when the path is "/"
    std::string mPath;    // the path every link followed; where the walk stopped, with the rest
    bool mExists = false; // the last component is there (mInfo holds what it is)
    struct stat mInfo = {};
    int mError = 0;      // why the walk stopped short of the last component; 0 when it did not
    bool mLinks = false; // a link was followed on the way
};

void StopShort(Walk& walk, const std::string& at, const std::string& name, const std::deque<std::string>& rest,
               int error)
{
    std::string path = at + "/" + name;
    for (const std::string& part : rest)
        path += "/" + part;
    walk.mPath = Lexical(path);
    walk.mError = error;
    walk.mFolder.Reset();
}

void WalkPath(const std::string& absolute, Walk& walk)
{
    std::deque<std::string> pending;
    AppendComponents(absolute, pending, false);
    Descriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::string at; // "" is the root
    int links = 0;
    while (!pending.empty())
    {
        std::string name = std::move(pending.front());
        pending.pop_front();
        if (name == "..")
        {
            if (at.empty())
                continue;
            folder.Reset(::openat(folder.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            at.erase(at.rfind('/'));
            if (folder.Get() < 0)
                return StopShort(walk, at, "", pending, errno);
            continue;
        }
        const bool last = pending.empty();
        struct stat info = {};
        if (folder.Get() < 0 || ::fstatat(folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        {
            const int error = folder.Get() < 0 ? EBADF : errno;
            if (error == ENOENT && last)
            {
                walk.mFolder.Reset(folder.Release());
                walk.mLeaf = name;
                walk.mPath = at;
                walk.mPath.append("/").append(name);
                return;
            }
            return StopShort(walk, at, name, pending, error);
        }
        if (S_ISLNK(info.st_mode))
        {
            walk.mLinks = true;
            std::string target(PATH_MAX, '\0');
            const ssize_t length = ++links > kMaxLinks
                ? (errno = ELOOP, -1)
                : ::readlinkat(folder.Get(), name.c_str(), target.data(), target.size());
            if (length <= 0 || size_t(length) >= target.size())
                return StopShort(walk, at, name, pending, length == 0 ? ENOENT : errno);
            target.resize(size_t(length));
            if (target[0] == '/')
            {
                folder.Reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                at.clear();
            }
            AppendComponents(target, pending, true);
            continue;
        }
        if (last)
        {
            walk.mFolder.Reset(folder.Release());
            walk.mLeaf = name;
            walk.mPath = at;
            walk.mPath.append("/").append(name);
            walk.mExists = true;
            walk.mInfo = info;
            return;
        }
        if (!S_ISDIR(info.st_mode))
            return StopShort(walk, at, name, pending, ENOTDIR);
        folder.Reset(::openat(folder.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        at += "/" + name;
        if (folder.Get() < 0)
            return StopShort(walk, at, "", pending, errno);
    }
    // The path is the root itself.
    walk.mPath = at.empty() ? "/" : at;
    walk.mExists = folder.Get() >= 0 && ::fstat(folder.Get(), &walk.mInfo) == 0;
    walk.mFolder.Reset(folder.Release());
}

// A folder with every link in it followed; false when it is no folder.
bool RealFolder(const std::string& folder, std::string& real)
{
    Walk walk;
    WalkPath(Absolute(folder), walk);
    real = walk.mPath;
    return walk.mError == 0 && walk.mExists && S_ISDIR(walk.mInfo.st_mode);
}

// Why the file at the end of a walk may not be opened; empty when it may.
std::string OutsideWhy(const std::string& root, const std::string& absolute, const Walk& walk)
{
    if (Within(root, walk.mPath))
        return std::string();
    return Within(root, Lexical(absolute)) && walk.mLinks ? "leaves the data folder through a link"
                                                          : "leaves the data folder";
}

const char* const kLeaves = "leaves the data folder";
const char* const kLeavesByLink = "leaves the data folder through a link";
const char* const kTooManyLinks = "cannot be followed: a loop of links, more than 40 links or a /proc link on the way";

std::string TooLongWhy(size_t length)
{
    return "is too long (" + std::to_string(length) + " bytes; at most " + std::to_string(PATH_MAX - 1) + ")";
}

// The separators as the file system wants them: '\\' turned to '/', runs of '/' made one.
std::string Slashed(std::string_view path)
{
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    out.erase(std::unique(out.begin(), out.end(), [](char a, char b) { return a == '/' && b == '/'; }), out.end());
    return out;
}

// An absolute path with its "." components and empty ones left out; ".." is kept.
std::string WithoutDots(const std::string& absolute)
{
    std::string out;
    for (const std::string_view part : Components(absolute))
        out.append("/").append(part);
    return out.empty() ? "/" : out;
}

// The data folder as a path ending in '/'.
std::string DataPrefix()
{
    std::string prefix = WithoutDots(Slashed(Absolute(gDataPath.empty() ? std::string(".") : gDataPath)));
    if (prefix.back() != '/')
        prefix += '/';
    return prefix;
}

// The part of a path beneath the data folder, by the folder's name; false when it is not there.
bool BeneathPrefix(const std::string& path, const std::string& prefix, std::string& relative)
{
    const std::string absolute = WithoutDots(Slashed(Absolute(path)));
    if (absolute.size() + 1 == prefix.size() && prefix.compare(0, absolute.size(), absolute) == 0)
    {
        relative.clear();
        return true;
    }
    if (absolute.compare(0, prefix.size(), prefix) != 0)
        return false;
    relative = absolute.substr(prefix.size());
    return true;
}

// The data folder's descriptor, held while opens are confined to it.
std::mutex gFolderMutex;
std::shared_ptr<const Descriptor> gDataFolder;
std::atomic<bool> gWalkForced{false};
std::atomic<bool> gNoOpenat2{false};

std::shared_ptr<const Descriptor> OpenDataFolder()
{
    const std::string prefix = DataPrefix();
    return std::make_shared<const Descriptor>(::open(prefix.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The folder a path is resolved beneath; an unconfined one resolves as given.
struct Base
{
    bool mConfined = false;
    std::shared_ptr<const Descriptor> mFolder;
    std::string mPrefix;
};

Base BaseFor(bool confined)
{
    Base base;
    base.mConfined = confined;
    if (!confined)
        return base;
    base.mPrefix = DataPrefix();
    {
        const std::lock_guard<std::mutex> lock(gFolderMutex);
        if (gConfined)
            base.mFolder = gDataFolder;
    }
    // Not fixed yet: a check against the folder as it is named now.
    if (!base.mFolder)
        base.mFolder = OpenDataFolder();
    return base;
}

// What the file guard found at the end of a path.
struct Found
{
    Descriptor mFolder;   // an O_PATH descriptor of the folder holding the last component
    std::string mLeaf;    // that component's name in it, never a link; empty: the folder itself
    bool mExists = false; // the last component is there (mInfo holds what it is)
    struct stat mInfo = {};
    int mError = 0;   // why it stopped short of the last component; 0 when it did not
    std::string mWhy; // not empty: the path is refused, and this is why
};

// A ".." that climbs above the start of the path, by the text alone.
bool ClimbsOut(std::string_view relative)
{
    int depth = 0;
    for (const std::string_view part : Components(relative))
        if ((part == ".." ? --depth : ++depth) < 0)
            return true;
    return false;
}

// The folder part and the last component of a path; the last one is empty for "/".
void SplitLast(std::string_view path, std::string_view& folder, std::string_view& leaf)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
    {
        folder = std::string_view();
        leaf = path;
        return;
    }
    folder = slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    leaf = path.substr(slash + 1);
}

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

// The same with the walk of our own: every link followed from the root, then where it ended
// checked against the data folder.
void LocateByWalk(const Base& base, const std::string& absolute, Found& found)
{
    std::string root = "/";
    if (base.mConfined && !RealFolder(base.mPrefix, root))
    {
        found.mWhy = "cannot be opened: the data folder " + base.mPrefix + " is not there";
        return;
    }
    Walk walk;
    WalkPath(absolute, walk);
    if (std::string why = OutsideWhy(root, absolute, walk); !why.empty())
    {
        found.mWhy = std::move(why);
        return;
    }
    if (walk.mError == ELOOP)
    {
        found.mWhy = kTooManyLinks;
        return;
    }
    found.mError = walk.mError;
    found.mFolder.Reset(walk.mFolder.Release());
    found.mLeaf = walk.mLeaf;
    found.mExists = walk.mExists;
    found.mInfo = walk.mInfo;
}

// Where a path leads, through the file guard: beneath the data folder when confined, links and
// ".." resolved by the kernel where it can, by the walk where it cannot.
void Locate(std::string_view path, bool confined, Found& found)
{
    if (path.find('\0') != std::string_view::npos)
    {
        found.mWhy = "holds a NUL byte";
        return;
    }
    if (path.size() >= PATH_MAX)
    {
        found.mWhy = TooLongWhy(path.size());
        return;
    }
    const Base base = BaseFor(confined);
    if (confined && base.mFolder->Get() < 0)
    {
        found.mWhy = "cannot be opened: the data folder " + base.mPrefix + " is not there";
        return;
    }
    const std::string absolute = Slashed(Absolute(std::string(path)));
    std::string relative = absolute;
    // Beneath the folder by its name, or not at all.
    if (confined && !BeneathPrefix(absolute, base.mPrefix, relative))
    {
        found.mWhy = kLeaves;
        return;
    }
    if (gWalkForced || gNoOpenat2 || !LocateBeneath(base, relative, found))
    {
        if (!gWalkForced)
            gNoOpenat2 = true;
        found = Found();
        LocateByWalk(base, absolute, found);
    }
    if (found.mError == ENAMETOOLONG)
        found.mWhy = "has a name too long for the file system";
}

// A name in the folder for a file that takes the place of another: never chosen by anyone else.
std::string TempNameBeside(const std::string& target)
{
    static std::atomic<uint32_t> sCounter{0};
    return SaveTempName(target, ::getpid(), sCounter++);
}

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

// Paths as the log shows them: a NUL byte written as \0, a very long one cut.
std::string Printable(std::string_view text)
{
    constexpr size_t kShown = 256;
    std::string out;
    for (const char c : text.substr(0, kShown))
        out += c == '\0' ? std::string("\\0") : std::string(1, c);
    if (text.size() > kShown)
        out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

// A folder of names to look through, opened in the found folder, never through a link.
DIR* OpenListing(int folder, const std::string& leaf)
{
    const int fd = ::openat(folder, leaf.empty() ? "." : leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return dir;
}

std::string ResolveWithin(const std::string& path, bool confined)
{
    std::string unixPath = Slashed(path);
    if (unixPath.empty())
        return unixPath;
    Found exact;
    Locate(unixPath, confined, exact);
    if (!exact.mWhy.empty() || exact.mExists)
        return unixPath;

    // Match each missing component case-insensitively in its folder, the folders opened through
    // the guard. Where it stops (a folder the guard refuses, a name not there) the rest is kept as
    // given: a path through a link out is refused whether or not its file is there.
    std::string built;
    std::string rest = unixPath;
    if (confined)
    {
        const std::string prefix = DataPrefix();
        if (!BeneathPrefix(unixPath, prefix, rest))
            return unixPath;
        built = prefix.substr(0, prefix.size() - 1);
    }
    else if (unixPath[0] != '/')
        built = ".";
    const std::vector<std::string_view> parts = Components(rest);
    size_t next = 0;
    for (; next < parts.size(); ++next)
    {
        const std::string part(parts[next]);
        std::string exactPath = built;
        exactPath.append("/").append(part);
        if (part == "..")
        {
            built = exactPath;
            continue;
        }
        Found found;
        Locate(exactPath, confined, found);
        if (!found.mWhy.empty() || found.mError != 0)
            break;
        if (found.mExists)
        {
            built = exactPath;
            continue;
        }
        DIR* dir = OpenListing(found.mFolder.Get(), std::string());
        std::string match;
        while (dir && match.empty())
        {
            const dirent* entry = ::readdir(dir);
            if (!entry)
                break;
            if (IEquals(entry->d_name, part))
                match = entry->d_name;
        }
        if (dir)
            ::closedir(dir);
        if (match.empty())
            break;
        built += "/" + match;
    }
    for (; next < parts.size(); ++next)
        built.append("/").append(parts[next]);
    if (!confined && unixPath[0] != '/')
        built.erase(0, 2);
    return built;
}
} // namespace

std::string FileRefusal::Text(std::string_view shown) const
{
    return mNotAFile ? Printable(shown) + " " + mWhy : "Path refused: \"" + Printable(shown) + "\" " + mWhy;
}

bool ForceFileGuardWalk(bool forced) { return gWalkForced.exchange(forced); }

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
    Locate(path, gConfined, found);
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

void SetDataPathFromCwd()
{
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    SetDataPath(cwd.empty() ? std::string() : cwd + "/");
}

void SetDataPath(const std::string& path)
{
    gDataPath = path;
    if (gConfined)
        ConfineToDataFolder(true);
}

void ConfineToDataFolder(bool confined)
{
    std::shared_ptr<const Descriptor> folder = confined ? OpenDataFolder() : nullptr;
    const std::lock_guard<std::mutex> lock(gFolderMutex);
    gDataFolder = std::move(folder);
    gConfined = confined;
}

bool IsConfinedToDataFolder() { return gConfined; }
std::string GetDataPath() { return gDataPath; }

std::string GetFileName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string GetFileExtension(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string ResolvePath(const std::string& path) { return ResolveWithin(path, gConfined); }

std::string DataFilePath(const std::string& path)
{
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return ResolvePath(path);
    return ResolvePath(gDataPath + path);
}

bool DataPathInside(std::string_view path, std::string& out, std::string* refusal)
{
    auto refuse = [&path, refusal](const std::string& why) {
        std::string text = FileRefusal{false, why}.Text(path);
        Console::Instance().Log(text, LogError);
        if (refusal)
            *refusal = std::move(text);
        return false;
    };
    // Before anything else: the system would read the text only up to a NUL byte.
    if (path.find('\0') != std::string_view::npos)
        return refuse("holds a NUL byte");
    if (path.size() >= PATH_MAX)
        return refuse(TooLongWhy(path.size()));
    std::string relative(path);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (relative.empty())
        return refuse("is empty");
    const bool drive = relative.size() >= 2 && relative[1] == ':' &&
        ((relative[0] >= 'A' && relative[0] <= 'Z') || (relative[0] >= 'a' && relative[0] <= 'z'));
    if (relative[0] == '/' || drive)
        return refuse("is absolute: only paths inside the data folder are taken");
    // Lexically first, so "a/../../x" is caught even where "a" is missing.
    std::vector<std::string_view> parts;
    for (const std::string_view part : Components(relative))
    {
        if (part != "..")
            parts.push_back(part);
        else if (parts.empty())
            return refuse(kLeaves);
        else
            parts.pop_back();
    }
    if (parts.empty())
        return refuse("names the data folder itself");
    std::string joined = DataPrefix();
    for (size_t i = 0; i < parts.size(); ++i)
        joined.append(i ? "/" : "").append(parts[i]);
    const std::string resolved = ResolveWithin(joined, true);
    // Then through the links, to where they lead even when nothing is there yet.
    Found found;
    Locate(resolved, true, found);
    if (!found.mWhy.empty())
        return refuse(found.mWhy);
    out = resolved;
    return true;
}

bool KeepDataName(std::string& name)
{
    std::string inside;
    if (name.empty() || DataPathInside(name, inside))
        return true;
    name.clear();
    return false;
}

namespace {
std::mutex gRefusedMutex;
std::unordered_set<std::string> gRefusedNames;
} // namespace

bool CheckDataName(const std::string& name)
{
    std::string inside;
    if (name.empty() || DataPathInside(name, inside))
        return true;
    const std::lock_guard<std::mutex> lock(gRefusedMutex);
    gRefusedNames.insert(name);
    return false;
}

bool IsRefusedDataName(const std::string& name)
{
    const std::lock_guard<std::mutex> lock(gRefusedMutex);
    return !name.empty() && gRefusedNames.count(name) != 0;
}

std::string DataRelativeName(const std::string& path)
{
    auto slashed = [](std::string text) {
        for (char& c : text)
            if (c == '\\')
                c = '/';
        return text;
    };
    std::string folder = slashed(gDataPath);
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    const std::string name = slashed(path);
    if (folder.size() <= 1 || name.size() <= folder.size() || name.compare(0, folder.size(), folder) != 0)
        return path;
    return path.substr(folder.size());
}

bool FileExists(std::string_view path)
{
    if (path.empty())
        return false;
    // Looked at, not opened: opening a FIFO waits for a writer that never comes. Where the
    // guard would not open it, it is not there for the caller either.
    Found found;
    Locate(ResolvePath(std::string(path)), gConfined, found);
    if (!found.mWhy.empty())
    {
        Console::Instance().Log(FileRefusal{false, found.mWhy}.Text(DataRelativeName(std::string(path))), LogError);
        return false;
    }
    if (found.mError != 0 || !found.mExists)
        return false;
    if (!S_ISREG(found.mInfo.st_mode) || found.mLeaf.empty())
    {
        LogNotAFile(std::string(path));
        return false;
    }
    // Read access is enough: data files may be read-only.
    return ::faccessat(found.mFolder.Get(), found.mLeaf.c_str(), R_OK, 0) == 0;
}

bool DoesFileExist(std::string_view path) { return FileExists(path); }

void ListFolderFiles(std::string_view folder, const std::string& extension, std::vector<std::string>& out)
{
    Found found;
    Locate(ResolvePath(std::string(folder)), gConfined, found);
    if (!found.mWhy.empty())
    {
        Console::Instance().Log(FileRefusal{false, found.mWhy}.Text(DataRelativeName(std::string(folder))), LogError);
        return;
    }
    if (found.mError != 0 || !found.mExists || !S_ISDIR(found.mInfo.st_mode))
        return;
    DIR* dir = OpenListing(found.mFolder.Get(), found.mLeaf);
    if (!dir)
        return;
    std::vector<std::string> names;
    const std::string suffix = "." + extension;
    while (const dirent* entry = ::readdir(dir))
    {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && IEndsWith(name, suffix))
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    out.insert(out.end(), names.begin(), names.end());
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
    Locate(ResolvePath(std::string(path)), gConfined, found);
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

#include "LOOM/base/FileUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
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
    WalkPath(Absolute(ResolvePath(folder)), walk);
    real = walk.mPath;
    return walk.mError == 0 && walk.mExists && S_ISDIR(walk.mInfo.st_mode);
}

// The data folder with every link in it followed; "/" while opens are not confined to it.
bool DataRoot(std::string& root)
{
    if (!gConfined)
    {
        root = "/";
        return true;
    }
    return RealFolder(gDataPath.empty() ? Absolute(".") : gDataPath, root);
}

// Why the file at the end of a walk may not be opened; empty when it may.
std::string OutsideWhy(const std::string& root, const std::string& absolute, const Walk& walk)
{
    if (Within(root, walk.mPath))
        return std::string();
    return Within(root, Lexical(absolute)) && walk.mLinks ? "leaves the data folder through a link"
                                                          : "leaves the data folder";
}

// Another name of the same file may lie anywhere on the disk: it is turned away unopened.
std::string HardLinksWhy(nlink_t links)
{
    return "has " + std::to_string(links) + " hard links: one of its other names may be a file outside the data folder";
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
} // namespace

std::string FileRefusal::Text(const std::string& shown) const
{
    return mNotAFile ? shown + " " + mWhy : "Path refused: \"" + shown + "\" " + mWhy;
}

int OpenDataFile(const std::string& path, const char* mode, FileRefusal* refusal, const std::string& shown)
{
    FileRefusal refused;
    auto refuse = [&](bool notAFile, std::string why) {
        refused.mNotAFile = notAFile;
        refused.mWhy = std::move(why);
        if (refusal)
            *refusal = refused;
        else
            Console::Instance().Log(refused.Text(shown.empty() ? DataRelativeName(path) : shown), LogError);
        errno = EACCES;
        return -1;
    };
    OpenMode how;
    if (path.empty() || !ParseMode(mode, how))
    {
        errno = path.empty() ? ENOENT : EINVAL;
        return -1;
    }
    std::string root;
    if (!DataRoot(root))
        return refuse(false, "cannot be opened: the data folder " + gDataPath + " is not there");
    const std::string absolute = Absolute(ResolvePath(path));
    Walk walk;
    WalkPath(absolute, walk);
    if (std::string why = OutsideWhy(root, absolute, walk); !why.empty())
        return refuse(false, why);
    if (walk.mError == ELOOP)
        return refuse(false, "has more than " + std::to_string(kMaxLinks) + " links on the way");
    if (walk.mError != 0)
    {
        errno = walk.mError;
        return -1;
    }
    if (!walk.mExists && !how.mCreates)
    {
        errno = ENOENT;
        return -1;
    }
    // Looked at before it is opened: opening a device may do something, and a FIFO waits.
    if (walk.mExists && !S_ISREG(walk.mInfo.st_mode))
        return refuse(true, std::string("is not a regular file (") + KindOf(walk.mInfo.st_mode) + ")");
    if (walk.mLeaf.empty())
        return refuse(true, "is not a regular file (a folder)");
    if (walk.mExists && walk.mInfo.st_nlink > 1)
        return refuse(false, HardLinksWhy(walk.mInfo.st_nlink));
    // Never O_TRUNC: nothing is emptied before it is known what it is.
    const int flags = how.mFlags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (walk.mExists ? 0 : O_CREAT | O_EXCL);
    Descriptor fd(::openat(walk.mFolder.Get(), walk.mLeaf.c_str(), flags, 0666));
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
    if (info.st_nlink > 1)
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
    gDataPath = cwd.empty() ? std::string() : cwd + "/";
}

void SetDataPath(const std::string& path) { gDataPath = path; }

void ConfineToDataFolder(bool confined) { gConfined = confined; }
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

std::string ResolvePath(const std::string& path)
{
    std::string unixPath = path;
    std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
    unixPath.erase(std::unique(unixPath.begin(), unixPath.end(), [](char a, char b) { return a == '/' && b == '/'; }),
                   unixPath.end());
    std::error_code ec;
    if (unixPath.empty() || fs::exists(unixPath, ec))
        return unixPath;

    // Walk the components, matching each one case-insensitively where the exact name is missing.
    fs::path input(unixPath);
    fs::path built = input.root_path();
    for (const fs::path& part : input.relative_path())
    {
        fs::path exact = built / part;
        if (part == "." || part == ".." || fs::exists(exact, ec))
        {
            built = exact;
            continue;
        }
        const fs::path folder = built.empty() ? fs::path(".") : built;
        bool found = false;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        {
            if (IEquals(it->path().filename().string(), part.string()))
            {
                built /= it->path().filename();
                found = true;
                break;
            }
        }
        if (!found)
            return unixPath;
    }
    return built.string();
}

std::string DataFilePath(const std::string& path)
{
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return ResolvePath(path);
    return ResolvePath(gDataPath + path);
}

bool DataPathInside(const std::string& path, std::string& out, std::string* refusal)
{
    auto refuse = [&path, refusal](const char* why) {
        std::string text = "Path refused: \"" + path + "\" " + why;
        Console::Instance().Log(text, LogError);
        if (refusal)
            *refusal = std::move(text);
        return false;
    };
    std::string relative = path;
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
            return refuse("leaves the data folder");
        else
            parts.pop_back();
    }
    if (parts.empty())
        return refuse("names the data folder itself");
    std::error_code ec;
    std::string joined = gDataPath.empty() ? fs::current_path(ec).string() + "/" : gDataPath;
    const std::string folder = joined;
    for (size_t i = 0; i < parts.size(); ++i)
        joined.append(i ? "/" : "").append(parts[i]);
    const std::string resolved = ResolvePath(joined);
    // Then through the links, to where they lead even when nothing is there yet.
    std::string root;
    Walk walk;
    WalkPath(Absolute(resolved), walk);
    if (!RealFolder(folder, root) || !Within(root, walk.mPath))
        return refuse("leaves the data folder through a link");
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

bool FileExists(const std::string& path)
{
    if (path.empty())
        return false;
    // Looked at, not opened: opening a FIFO waits for a writer that never comes. Where the
    // guard would not open it, it is not there for the caller either.
    std::string root;
    const std::string absolute = Absolute(ResolvePath(path));
    Walk walk;
    WalkPath(absolute, walk);
    if (!DataRoot(root))
        return false;
    if (std::string why = OutsideWhy(root, absolute, walk); !why.empty())
    {
        Console::Instance().Log(FileRefusal{false, why}.Text(DataRelativeName(path)), LogError);
        return false;
    }
    if (walk.mError != 0 || !walk.mExists)
        return false;
    if (!S_ISREG(walk.mInfo.st_mode))
    {
        LogNotAFile(path);
        return false;
    }
    // Read access is enough: data files may be read-only.
    return ::faccessat(walk.mFolder.Get(), walk.mLeaf.c_str(), R_OK, 0) == 0;
}

bool DoesFileExist(const std::string& path) { return FileExists(path); }

void ListFolderFiles(const std::string& folder, const std::string& extension, std::vector<std::string>& out)
{
    std::error_code ec;
    std::vector<std::string> names;
    const std::string suffix = "." + extension;
    for (fs::directory_iterator it(ResolvePath(folder), ec), end; !ec && it != end; it.increment(ec))
    {
        std::string name = it->path().filename().string();
        if (IEndsWith(name, suffix))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    out.insert(out.end(), names.begin(), names.end());
}

bool ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes, FileRefusal* refusal)
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
        Console::Instance().Log("File too large to read: " + path + " (" + std::to_string(size) + " bytes, limit " +
                                    std::to_string(maxBytes) + ")",
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

bool SaveWholeFile(const std::string& path, std::string_view bytes, std::string* why)
{
    auto fail = [&path, why](int error, const std::string& text = std::string()) {
        const std::string reason = text.empty() ? ErrorText(error) : text;
        if (why)
            *why = reason;
        else
            Console::Instance().Log("Cannot save " + path + ": " + reason, LogError);
        return false;
    };
    if (path.empty())
        return fail(0, "no file name");
    // The folder the guard finds, links followed; the temporary file and the rename stay in it.
    std::string root;
    const std::string absolute = Absolute(ResolvePath(path));
    Walk walk;
    WalkPath(absolute, walk);
    if (!DataRoot(root))
        return fail(0, "the data folder " + gDataPath + " is not there");
    if (std::string outside = OutsideWhy(root, absolute, walk); !outside.empty())
        return fail(0, "Path refused: \"" + DataRelativeName(path) + "\" " + outside);
    if (walk.mError != 0)
        return fail(walk.mError == ELOOP ? ELOOP : walk.mError);
    if (walk.mLeaf.empty() || (walk.mExists && !S_ISREG(walk.mInfo.st_mode)))
        return fail(0, "not a file");
    const int folder = walk.mFolder.Get();
    const std::string& target = walk.mLeaf;
    const bool hadOld = walk.mExists;
    const struct stat& old = walk.mInfo;

    static std::atomic<uint32_t> sCounter{0};
    const std::string temp = SaveTempName(target, ::getpid(), sCounter++);
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

#include "LOOM/files/GuardParts.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

namespace fileguard {

namespace {
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
} // namespace

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

} // namespace fileguard

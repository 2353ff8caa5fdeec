#include "LOOM/files/GuardParts.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace fileguard {

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
    std::string unixPath = !path.empty() && path[0] == '/' ? SystemPath(path) : Slashed(path);
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

} // namespace fileguard

using namespace fileguard;

std::string ResolvePath(const std::string& path) { return ResolveWithin(path, IsConfinedToDataFolder()); }

std::string DataFilePath(const std::string& path)
{
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return ResolvePath(path);
    return ResolvePath(GetDataPath() + path);
}

#include "LOOM/files/GuardParts.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <mutex>

namespace fileguard {

namespace {
std::string gDataPath;
std::atomic<bool> gConfined{false};
// The data folder's descriptor, held while opens are confined to it.
std::mutex gFolderMutex;
std::shared_ptr<const Descriptor> gDataFolder;

std::shared_ptr<const Descriptor> OpenDataFolder()
{
    const std::string prefix = DataPrefix();
    return std::make_shared<const Descriptor>(::open(prefix.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}
} // namespace

// The data folder as a path ending in '/', as the system gives it: a backslash in its own path is
// part of a name.
std::string DataPrefix()
{
    std::string prefix = WithoutDots(Absolute(gDataPath.empty() ? std::string(".") : gDataPath));
    if (prefix.back() != '/')
        prefix += '/';
    return prefix;
}

std::string SystemPath(std::string_view path)
{
    const std::string absolute = WithoutDots(Absolute(std::string(path)));
    const std::string prefix = DataPrefix();
    if (absolute.compare(0, prefix.size(), prefix) == 0)
        return WithoutDots(prefix + Slashed(std::string_view(absolute).substr(prefix.size())));
    return WithoutDots(Slashed(absolute));
}

// The part of a path beneath the data folder, by the folder's name; false when it is not there.
bool BeneathPrefix(const std::string& path, const std::string& prefix, std::string& relative)
{
    const std::string absolute = SystemPath(path);
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

Base BaseFor(bool confined)
{
    Base base;
    base.mConfined = confined;
    if (!confined)
        return base;
    base.mPrefix = DataPrefix();
    {
        const std::lock_guard<std::mutex> lock(gFolderMutex);
        if (IsConfinedToDataFolder())
            base.mFolder = gDataFolder;
    }
    // Not fixed yet: a check against the folder as it is named now.
    if (!base.mFolder)
        base.mFolder = OpenDataFolder();
    return base;
}

} // namespace fileguard

using namespace fileguard;

namespace fs = std::filesystem;

void SetDataPathFromCwd()
{
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    SetDataPath(cwd.empty() ? std::string() : cwd + "/");
}

void SetDataPath(const std::string& path)
{
    gDataPath = path;
    if (IsConfinedToDataFolder())
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

std::string DataRelativeName(const std::string& path)
{
    std::string folder = gDataPath;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    if (folder.size() > 1 && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0)
        return path.substr(folder.size());
    // The same folder named another way ("a/./b", "a//b", relative).
    const std::string prefix = DataPrefix();
    const std::string system = SystemPath(path);
    if (prefix.size() > 1 && system.size() > prefix.size() && system.compare(0, prefix.size(), prefix) == 0)
        return system.substr(prefix.size());
    return path;
}

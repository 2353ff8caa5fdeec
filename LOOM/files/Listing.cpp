#include "LOOM/files/GuardParts.h"

#include <algorithm>
#include <dirent.h>
#include <unistd.h>

#include "LOOM/console/Console.h"

using namespace fileguard;

namespace {
void LogNotAFile(const std::string& path) { Console::Instance().Log(path + " is not a file", LogError); }
} // namespace

bool FileExists(std::string_view path)
{
    if (path.empty())
        return false;
    // Looked at, not opened: opening a FIFO waits for a writer that never comes. Where the
    // guard would not open it, it is not there for the caller either.
    Found found;
    Locate(ResolvePath(std::string(path)), IsConfinedToDataFolder(), found);
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
    Locate(ResolvePath(std::string(folder)), IsConfinedToDataFolder(), found);
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

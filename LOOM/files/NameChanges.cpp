#include "LOOM/files/GuardParts.h"

#include <cerrno>
#include <fcntl.h>

#include "LOOM/console/Console.h"

namespace fileguard {
namespace {

// The folder holding a path's last component, as the guard finds it, and that component's name
// in it, not followed: a change made there is made in the folder that was checked, whatever
// the text names by then.
int LocateName(std::string_view path, Descriptor& folder, std::string& leaf, std::string& why)
{
    const std::string absolute = SystemPath(path);
    std::string_view parent, name;
    SplitLast(absolute, parent, name);
    if (name.empty() || name == "." || name == "..")
        return EINVAL;
    Found found;
    Locate(parent.empty() ? std::string_view(".") : parent, IsConfinedToDataFolder(), found);
    if (!found.mWhy.empty())
    {
        why = found.mWhy;
        return EACCES;
    }
    if (found.mError != 0)
        return found.mError;
    if (!found.mExists)
        return ENOENT;
    if (!S_ISDIR(found.mInfo.st_mode))
        return ENOTDIR;
    if (found.mLeaf.empty())
        folder = std::move(found.mFolder);
    else
    {
        folder.Reset(::openat(found.mFolder.Get(), found.mLeaf.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.Get() < 0)
            return errno == ELOOP ? EACCES : errno;
    }
    leaf = std::string(name);
    return 0;
}

int Refuse(std::string* refusal, std::string_view path, std::string_view shown, const std::string& why)
{
    const std::string text =
        FileRefusal{false, why}.Text(shown.empty() ? DataRelativeName(std::string(path)) : std::string(shown));
    if (refusal)
        *refusal = text;
    else
        Console::Instance().Log(text, LogError);
    return EACCES;
}

} // namespace
} // namespace fileguard

using namespace fileguard;

int RemoveDataFile(std::string_view path, std::string* refusal, std::string_view shown)
{
    Descriptor folder;
    std::string leaf, why;
    if (const int error = LocateName(path, folder, leaf, why); error != 0)
        return why.empty() ? error : Refuse(refusal, path, shown, why);
    if (::unlinkat(folder.Get(), leaf.c_str(), 0) == 0)
        return 0;
    // A folder is removed as remove(3) would: only when it is empty.
    if (errno != EISDIR)
        return errno;
    return ::unlinkat(folder.Get(), leaf.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int RenameDataFile(std::string_view from, std::string_view to, std::string* refusal, std::string_view fromShown,
                   std::string_view toShown)
{
    Descriptor fromFolder, toFolder;
    std::string fromLeaf, toLeaf, why;
    if (const int error = LocateName(from, fromFolder, fromLeaf, why); error != 0)
        return why.empty() ? error : Refuse(refusal, from, fromShown, why);
    if (const int error = LocateName(to, toFolder, toLeaf, why); error != 0)
        return why.empty() ? error : Refuse(refusal, to, toShown, why);
    return ::renameat(fromFolder.Get(), fromLeaf.c_str(), toFolder.Get(), toLeaf.c_str()) == 0 ? 0 : errno;
}

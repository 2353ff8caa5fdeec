#include "LOOM/files/GuardParts.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace fileguard {

namespace {
std::atomic<bool> gWalkForced{false};
std::atomic<bool> gNoOpenat2{false};
} // namespace

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
    const std::string absolute = SystemPath(path);
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

} // namespace fileguard

using namespace fileguard;

bool ForceFileGuardWalk(bool forced) { return gWalkForced.exchange(forced); }

#pragma once
// The file guard's own parts, shared by its files; callers use LOOM/files/FileGuard.h.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <dirent.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "LOOM/files/FileGuard.h"

namespace fileguard {

// Links followed on the way to one file before the walk gives up, as the kernel's own limit.
constexpr int kMaxLinks = 40;

inline constexpr const char* kLeaves = "leaves the data folder";
inline constexpr const char* kLeavesByLink = "leaves the data folder through a link";
inline constexpr const char* kTooManyLinks =
    "cannot be followed: a loop of links, more than 40 links or a /proc link on the way";

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

// Path text (PathText.cpp): nothing here looks at the file system but Absolute's working folder.
std::string ErrorText(int error);
bool IEquals(const std::string& a, const std::string& b);
bool IEndsWith(const std::string& text, const std::string& suffix);
std::vector<std::string_view> Components(std::string_view path);
void AppendComponents(const std::string& path, std::deque<std::string>& out, bool front);
std::string Lexical(const std::string& absolute);
bool Within(const std::string& folder, const std::string& path);
std::string Absolute(const std::string& path);
std::string TooLongWhy(size_t length);
std::string Slashed(std::string_view path);
std::string WithoutDots(const std::string& absolute);
bool ClimbsOut(std::string_view relative);
void SplitLast(std::string_view path, std::string_view& folder, std::string_view& leaf);
std::string Printable(std::string_view text);

// The data folder (DataFolder.cpp).
std::string DataPrefix();
// A path as the system takes it: absolute, "." and empty components left out, and a backslash a
// separator only beneath the data folder, whose own path is taken as the system gives it.
std::string SystemPath(std::string_view path);
bool BeneathPrefix(const std::string& path, const std::string& prefix, std::string& relative);

// The folder a path is resolved beneath; an unconfined one resolves as given.
struct Base
{
    bool mConfined = false;
    std::shared_ptr<const Descriptor> mFolder;
    std::string mPrefix;
};
Base BaseFor(bool confined);

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

// The kernel's resolver (KernelResolve.cpp); false when the kernel has no openat2.
bool LocateBeneath(const Base& base, std::string relative, Found& found);
// The walk of our own (WalkResolve.cpp), for a kernel without it.
void LocateByWalk(const Base& base, const std::string& absolute, Found& found);
// The line the data folder draws (Locate.cpp): every file the program touches is found here.
void Locate(std::string_view path, bool confined, Found& found);

// The case-insensitive lookup (CaseLookup.cpp).
DIR* OpenListing(int folder, const std::string& leaf);
std::string ResolveWithin(const std::string& path, bool confined);

// Replace-on-write (SaveFile.cpp).
std::string TempNameBeside(const std::string& target);

} // namespace fileguard

#include "LOOM/base/FileUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_set>

#include "LOOM/console/Console.h"

namespace fs = std::filesystem;

namespace {
std::string gDataPath;
FileWriteCall gWriteCall = &::write;

std::string ErrorText(int error) { return std::generic_category().message(error); }

void LogNotAFile(const std::string& path) { Console::Instance().Log(path + " is not a file", LogError); }

bool IsInside(const fs::path& folder, const fs::path& path)
{
    auto inner = path.begin();
    for (auto outer = folder.begin(); outer != folder.end(); ++outer, ++inner)
    {
        // A trailing separator leaves an empty last component.
        if (outer->empty() && std::next(outer) == folder.end())
            return true;
        if (inner == path.end() || *inner != *outer)
            return false;
    }
    return true;
}

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
} // namespace

void SetDataPathFromCwd()
{
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    gDataPath = cwd.empty() ? std::string() : cwd + "/";
}

void SetDataPath(const std::string& path) { gDataPath = path; }
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
    size_t start = 0;
    while (start <= relative.size())
    {
        size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string_view part(relative.data() + start, end - start);
        if (part == "..")
        {
            if (parts.empty())
                return refuse("leaves the data folder");
            parts.pop_back();
        }
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    if (parts.empty())
        return refuse("names the data folder itself");
    std::error_code ec;
    std::string joined = gDataPath.empty() ? fs::current_path(ec).string() + "/" : gDataPath;
    const std::string folder = joined;
    for (size_t i = 0; i < parts.size(); ++i)
        joined.append(i ? "/" : "").append(parts[i]);
    const std::string resolved = ResolvePath(joined);
    // Then through the links: one pointing out of the folder is refused as well.
    const fs::path root = fs::weakly_canonical(folder, ec);
    const fs::path real = fs::weakly_canonical(resolved, ec);
    if (ec || !IsInside(root, real))
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
    // stat, not open: opening a FIFO waits for a writer that never comes.
    const std::string resolved = ResolvePath(path);
    struct stat info = {};
    if (::stat(resolved.c_str(), &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
    {
        LogNotAFile(path);
        return false;
    }
    // Read access is enough: data files may be read-only.
    return ::access(resolved.c_str(), R_OK) == 0;
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

bool ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes)
{
    if (path.empty())
        return false;
    // Non-blocking, so a FIFO answers at once and fstat can turn it away.
    const int fd = ::open(ResolvePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        LogNotAFile(path);
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
    const std::string target = ResolvePath(path);
    struct stat old = {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return fail(0, "not a file");

    static std::atomic<uint32_t> sCounter{0};
    const std::string temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(sCounter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
    {
        ::unlink(temp.c_str());
        return fail(error);
    }
    // The rename itself lasts once the folder is synced.
    const std::string folder = fs::path(target).parent_path().string();
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

#include "LOOM/base/FileUtils.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "LOOM/console/Console.h"

namespace fs = std::filesystem;

namespace {
std::string gDataPath;

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
    // Read access is enough: data files may be read-only.
    std::ifstream in(ResolvePath(path), std::ios::binary);
    return in.is_open();
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
    const std::string resolved = ResolvePath(path);
    // A folder or device opens as a stream too, with a size that means nothing.
    std::error_code ec;
    if (!fs::is_regular_file(resolved, ec))
        return false;
    std::ifstream in(resolved, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    if (static_cast<uint64_t>(size) > maxBytes)
    {
        Console::Instance().Log("File too large to read: " + path + " (" + std::to_string(size) + " bytes, limit " +
                                    std::to_string(maxBytes) + ")",
                                LogError);
        return false;
    }
    in.seekg(0, std::ios::beg);
    out.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(out.data(), size))
        return false;
    return true;
}

#include "LOOM/files/GuardParts.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

namespace fileguard {

std::string ErrorText(int error) { return std::generic_category().message(error); }

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
    return std::filesystem::current_path(ec).string() + "/" + path;
}

std::string TooLongWhy(size_t length)
{
    return "is too long (" + std::to_string(length) + " bytes; at most " + std::to_string(PATH_MAX - 1) + ")";
}

// The separators as the file system wants them: '\\' turned to '/', runs of '/' made one.
std::string Slashed(std::string_view path)
{
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    out.erase(std::unique(out.begin(), out.end(), [](char a, char b) { return a == '/' && b == '/'; }), out.end());
    return out;
}

// An absolute path with its "." components and empty ones left out; ".." is kept.
std::string WithoutDots(const std::string& absolute)
{
    std::string out;
    for (const std::string_view part : Components(absolute))
        out.append("/").append(part);
    return out.empty() ? "/" : out;
}

// A ".." that climbs above the start of the path, by the text alone.
bool ClimbsOut(std::string_view relative)
{
    int depth = 0;
    for (const std::string_view part : Components(relative))
        if ((part == ".." ? --depth : ++depth) < 0)
            return true;
    return false;
}

// The folder part and the last component of a path; the last one is empty for "/".
void SplitLast(std::string_view path, std::string_view& folder, std::string_view& leaf)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
    {
        folder = std::string_view();
        leaf = path;
        return;
    }
    folder = slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    leaf = path.substr(slash + 1);
}

// Paths as the log shows them: a NUL byte written as \0, a very long one cut.
std::string Printable(std::string_view text)
{
    constexpr size_t kShown = 256;
    std::string out;
    for (const char c : text.substr(0, kShown))
        out += c == '\0' ? std::string("\\0") : std::string(1, c);
    if (text.size() > kShown)
        out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

} // namespace fileguard

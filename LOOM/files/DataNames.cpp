#include "LOOM/files/GuardParts.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <unordered_set>

#include "LOOM/console/Console.h"

using namespace fileguard;

bool DataPathInside(std::string_view path, std::string& out, std::string* refusal)
{
    auto refuse = [&path, refusal](const std::string& why) {
        std::string text = FileRefusal{false, why}.Text(path);
        Console::Instance().Log(text, LogError);
        if (refusal)
            *refusal = std::move(text);
        return false;
    };
    // Before anything else: the system would read the text only up to a NUL byte.
    if (path.find('\0') != std::string_view::npos)
        return refuse("holds a NUL byte");
    if (path.size() >= PATH_MAX)
        return refuse(TooLongWhy(path.size()));
    std::string relative(path);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (relative.empty())
        return refuse("is empty");
    const bool drive = relative.size() >= 2 && relative[1] == ':' &&
        ((relative[0] >= 'A' && relative[0] <= 'Z') || (relative[0] >= 'a' && relative[0] <= 'z'));
    if (relative[0] == '/' || drive)
        return refuse("is absolute: only paths inside the data folder are taken");
    // Lexically first, so "a/../../x" is caught even where "a" is missing.
    std::vector<std::string_view> parts;
    for (const std::string_view part : Components(relative))
    {
        if (part != "..")
            parts.push_back(part);
        else if (parts.empty())
            return refuse(kLeaves);
        else
            parts.pop_back();
    }
    if (parts.empty())
        return refuse("names the data folder itself");
    std::string joined = DataPrefix();
    for (size_t i = 0; i < parts.size(); ++i)
        joined.append(i ? "/" : "").append(parts[i]);
    const std::string resolved = ResolveWithin(joined, true);
    // Then through the links, to where they lead even when nothing is there yet.
    Found found;
    Locate(resolved, true, found);
    if (!found.mWhy.empty())
        return refuse(found.mWhy);
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

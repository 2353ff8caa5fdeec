#include "platform/SystemInfoReader.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
const char* const kError = "Error";
const char* const kNotAvailable = "N/A";
constexpr size_t kMaxUserName = 511;

// /proc files report a size of 0, so read them as a stream.
bool ReadProcFile(const char* path, std::string& out)
{
    std::ifstream file(path);
    if (!file)
        return false;
    std::ostringstream text;
    text << file.rdbuf();
    out = text.str();
    return true;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Splits "key : value" lines; stops at the first blank line when firstBlockOnly.
template <typename Visit>
void ForEachField(const std::string& text, bool firstBlockOnly, Visit visit)
{
    std::istringstream lines(text);
    std::string line;
    bool sawField = false;
    while (std::getline(lines, line))
    {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
        {
            if (firstBlockOnly && sawField && Trim(line).empty())
                return;
            continue;
        }
        sawField = true;
        visit(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
}

// The leading decimal number of a value such as "32823452 kB".
bool ParseKiloBytes(const std::string& value, unsigned long long& out)
{
    if (value.empty() || value[0] < '0' || value[0] > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoull(value.c_str(), &end, 10);
    return errno == 0;
}

std::string KiloBytesText(unsigned long long kiloBytes) { return std::to_string(kiloBytes) + " KBs"; }

void ReadMemoryFromSysconf(SystemInfo& info)
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    const long total = sysconf(_SC_PHYS_PAGES);
    const long available = sysconf(_SC_AVPHYS_PAGES);
    const bool sizeKnown = pageSize > 0;
    info.mTotalMemory = sizeKnown && total >= 0
        ? KiloBytesText((static_cast<unsigned long long>(total) * static_cast<unsigned long long>(pageSize)) >> 10)
        : kError;
    info.mAvailableMemory = sizeKnown && available >= 0
        ? KiloBytesText((static_cast<unsigned long long>(available) * static_cast<unsigned long long>(pageSize)) >> 10)
        : kError;
}
} // namespace

std::string SystemInfoReader::OperatingSystemName()
{
    utsname name{};
    if (uname(&name) != 0)
        return "Unknow";
    return std::string(name.sysname) + " " + name.release;
}

std::string SystemInfoReader::UserName()
{
    // getpwuid_r keeps the answer in our buffer, safe beside other callers of getpwuid.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    std::string name;
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found && found->pw_name)
        name = found->pw_name;
    if (name.empty())
    {
        const char* user = std::getenv("USER");
        if (!user || !*user)
            return kError;
        name = user;
    }
    if (name.size() > kMaxUserName)
        name.resize(kMaxUserName);
    return name;
}

std::string SystemInfoReader::FormatTime(const std::tm& utc)
{
    const int minutes = utc.tm_min;
    std::string text = std::to_string(utc.tm_mon + 1) + "\\" + std::to_string(utc.tm_mday) + "\\" +
        std::to_string(utc.tm_year + 1900) + " " + std::to_string(utc.tm_hour) + ":";
    text += static_cast<char>('0' + (minutes / 10) % 10);
    text += static_cast<char>('0' + minutes % 10);
    return text;
}

void SystemInfoReader::ParseMemInfo(const std::string& text, SystemInfo& info)
{
    info.mTotalMemory = kNotAvailable;
    info.mAvailableMemory = kNotAvailable;
    ForEachField(text, false, [&info](const std::string& key, const std::string& value) {
        unsigned long long kiloBytes = 0;
        if (key == "MemTotal" && ParseKiloBytes(value, kiloBytes))
            info.mTotalMemory = KiloBytesText(kiloBytes);
        else if (key == "MemAvailable" && ParseKiloBytes(value, kiloBytes))
            info.mAvailableMemory = KiloBytesText(kiloBytes);
    });
}

void SystemInfoReader::ParseCpuInfo(const std::string& text, const std::string& machine, SystemInfo& info)
{
    std::string family;
    std::string model;
    std::string stepping;
    info.mProcessorVendor = kNotAvailable;
    info.mProcessorName = kNotAvailable;
    info.mClockSpeed = kNotAvailable;
    ForEachField(text, true, [&](const std::string& key, const std::string& value) {
        if (value.empty())
            return;
        if (key == "vendor_id")
            info.mProcessorVendor = value;
        else if (key == "model name")
            info.mProcessorName = value;
        else if (key == "cpu family")
            family = value;
        else if (key == "model")
            model = value;
        else if (key == "stepping")
            stepping = value;
        else if (key == "cpu MHz")
        {
            char* end = nullptr;
            const double mhz = std::strtod(value.c_str(), &end);
            if (end != value.c_str() && std::isfinite(mhz) && mhz >= 0.0 && mhz < 1e9)
                info.mClockSpeed = std::to_string(static_cast<unsigned long>(std::lround(mhz))) + " MHz";
        }
    });
    if (family.empty() || model.empty() || stepping.empty())
        info.mProcessorIdentifier = kNotAvailable;
    else
        info.mProcessorIdentifier = machine + " Family " + family + " Model " + model + " Stepping " + stepping;
}

void SystemInfoReader::Read(SystemInfo& info)
{
    info.mUserName = UserName();
    info.mOperatingSystem = OperatingSystemName();

    std::string text;
    if (ReadProcFile("/proc/meminfo", text))
        ParseMemInfo(text, info);
    else
        ReadMemoryFromSysconf(info);

    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    info.mTime = gmtime_r(&now, &utc) ? FormatTime(utc) : kError;

    utsname name{};
    const std::string machine = uname(&name) == 0 ? name.machine : "";
    if (ReadProcFile("/proc/cpuinfo", text))
        ParseCpuInfo(text, machine, info);
    else
    {
        info.mClockSpeed = kError;
        info.mProcessorVendor = kError;
        info.mProcessorName = kError;
        info.mProcessorIdentifier = kError;
    }

    info.mArchitecture = "Intel";
}

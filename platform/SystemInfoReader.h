#pragma once
#include <ctime>
#include <string>

#include "LOOM/base/SystemInfo.h"

// Gathers what heads the run-time log from uname, /proc and the password database.
// A value that cannot be read becomes "Error" (its source is missing) or "N/A" (the
// source has no such entry); the record is always filled.
class SystemInfoReader
{
public:
    static void Read(SystemInfo& info);

    // "sysname release" from uname; "Unknow" when uname fails.
    static std::string OperatingSystemName();
    static std::string UserName();
    // month\day\year hour:minutes, minutes always two digits: 3\7\2005 9:05.
    static std::string FormatTime(const std::tm& utc);

    // Fill the memory fields from the text of /proc/meminfo.
    static void ParseMemInfo(const std::string& text, SystemInfo& info);
    // Fill vendor, name, identifier and clock speed from the first processor of /proc/cpuinfo.
    static void ParseCpuInfo(const std::string& text, const std::string& machine, SystemInfo& info);
};

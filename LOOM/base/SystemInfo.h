#pragma once
#include <string>

// What the machine says about itself; heads the run-time log.
struct SystemInfo
{
    std::string mUserName;
    std::string mOperatingSystem;
    std::string mTotalMemory;
    std::string mAvailableMemory;
    std::string mProcessorIdentifier;
    std::string mProcessorName;
    std::string mProcessorVendor;
    std::string mClockSpeed;
    std::string mArchitecture;
    std::string mTime;
};

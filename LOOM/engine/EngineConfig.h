#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Serializer;
struct LogEntry;

// Engine-wide settings read once from "config.xml" before the engine starts.
struct EngineConfig
{
    static EngineConfig& Instance();

    void Serialize(Serializer& s);

    std::string mMotD;
    std::string mUserName;
    std::string mStartupScript;
    int32_t mConsoleFlags = 0;
    int32_t mWindowX = 0;
    int32_t mWindowY = 0;
    bool mShowDebugInfo = false;
    bool mRunEditor = false;
    bool mPreExport = false;
    bool mProcessCompFolder = false;
    bool mCacheBinaryArchetypes = false;
    bool mExportDocs = false;
    std::string mLogFile;
    std::string mConfigFolder;
};

// Reads the file into the program's EngineConfig. A missing or broken file keeps every setting
// as it was and says so on standard error (the log file is not open yet).
bool LoadEngineConfig(const std::string& fileName);
// The same into a given object (tests, tools). A file that is there but cannot be read (not a
// file, refused by the file guard, no access, not correct) hands its reason to problem; a
// missing one leaves it empty. The errors logged while a file that is taken was read (a number
// refused, keeping its setting) are added to refused, to be written to the log file once it opens.
bool LoadEngineConfig(const std::string& fileName, EngineConfig& config, std::string* problem = nullptr,
                      std::vector<LogEntry>* refused = nullptr);

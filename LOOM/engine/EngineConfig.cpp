#include "LOOM/engine/EngineConfig.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"

EngineConfig& EngineConfig::Instance()
{
    static EngineConfig config;
    return config;
}

void EngineConfig::Serialize(Serializer& s)
{
    s.SerializeString("MotD", mMotD);
    s.SerializeString("UserName", mUserName);
    s.SerializeString("ConfigFolder", mConfigFolder);
    s.SerializeString("StartupScript", mStartupScript);
    s.SerializeInt("ConsoleFlags", mConsoleFlags);
    s.SerializeInt("WindowX", mWindowX);
    s.SerializeInt("WindowY", mWindowY);
    s.SerializeBoolField("ShowDebugInfo", mShowDebugInfo);
    s.SerializeBoolField("RunEditor", mRunEditor);
    s.SerializeBoolField("PreExport", mPreExport);
    s.SerializeBoolField("CacheBinaryArchetypes", mCacheBinaryArchetypes);
    s.SerializeBoolField("ExportDocs", mExportDocs);
    s.SerializeString("LogFile", mLogFile);
    s.SerializeBoolField("ProcessCompFolder", mProcessCompFolder);
}

bool LoadEngineConfig(const std::string& fileName) { return LoadEngineConfig(fileName, EngineConfig::Instance()); }

bool LoadEngineConfig(const std::string& fileName, EngineConfig& config, std::string* problem)
{
    const std::string path = DataFilePath(fileName);
    // The name itself, not where a link leads: a link is for the file guard to follow or refuse.
    struct stat info = {};
    const int found = ::lstat(path.c_str(), &info) == 0 ? 0 : errno;
    if (found == ENOENT)
    {
        std::fprintf(stderr, "%s not found: the engine starts with its default configuration\n", fileName.c_str());
        return false;
    }
    auto broken = [&](const std::string& why) {
        const std::string text =
            fileName + " cannot be read (" + why + "): the engine starts with its default configuration";
        std::fprintf(stderr, "%s\n", text.c_str());
        if (problem)
            *problem = text;
        return false;
    };
    if (found != 0)
        return broken(std::generic_category().message(found));
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
    {
        Console::Instance().Log(fileName + " is not a file", LogError);
        return broken("not a file");
    }
    if (S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) != 0)
        return broken(std::generic_category().message(errno));
    // Read into a copy so that a file broken half-way changes nothing.
    EngineConfig loaded = config;
    Console& console = Console::Instance();
    const size_t before = console.GetEntries().Size() ? console.GetEntries().FromNewest(0).mNumber + 1 : 0;
    if (!XMLLoader::LoadElement(fileName, "EngineConfig", loaded))
    {
        // The reader has logged what it found wrong: its first error is the reason (a file the
        // guard refused is then also one that could not be opened).
        const EntryRing& entries = console.GetEntries();
        std::string why = "not correct";
        for (size_t i = 0; i < entries.Size() && entries.FromNewest(i).mNumber >= before; ++i)
            if (entries.FromNewest(i).mCategory == LogError)
                why = entries.FromNewest(i).mText;
        return broken(why);
    }
    config = loaded;
    return true;
}

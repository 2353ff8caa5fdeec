#include "LOOM/engine/EngineConfig.h"

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

bool LoadEngineConfig(const std::string& fileName, EngineConfig& config, std::string* problem,
                      std::vector<LogEntry>* refused)
{
    // Read here, not by the loader: why it cannot be read is the reason the player is given.
    std::string text;
    FileRefusal refusal;
    errno = 0;
    const bool read = ReadWholeFile(DataFilePath(fileName), text, kMaxDataFileBytes, &refusal);
    const int error = errno;
    if (!read && refusal.mWhy.empty() && error == ENOENT)
    {
        std::fprintf(stderr, "%s not found: the engine starts with its default configuration\n", fileName.c_str());
        return false;
    }
    auto broken = [&](const std::string& why) {
        const std::string line =
            fileName + " cannot be read (" + why + "): the engine starts with its default configuration";
        std::fprintf(stderr, "%s\n", line.c_str());
        if (problem)
            *problem = line;
        return false;
    };
    if (!refusal.mWhy.empty())
    {
        Console::Instance().Log(refusal.Text(fileName), LogError);
        return broken(refusal.mNotAFile ? std::string("not a file") : refusal.Text(fileName));
    }
    if (!read)
        return broken(error != 0 ? std::generic_category().message(error) : std::string("not read whole"));
    // Read into a copy so that a file broken half-way changes nothing.
    EngineConfig loaded = config;
    Console& console = Console::Instance();
    const size_t before = console.GetEntries().Size() ? console.GetEntries().FromNewest(0).mNumber + 1 : 0;
    XMLLoader loader;
    if (loader.OpenText(std::move(text), fileName))
        SerializeElement(loader, "EngineConfig", TypeElement, loaded);
    const bool good = loader.IsGood();
    loader.Close();
    if (!good)
    {
        // The reader has logged what it found wrong: its first error is the reason.
        const EntryRing& entries = console.GetEntries();
        std::string why = "not correct";
        for (size_t i = 0; i < entries.Size() && entries.FromNewest(i).mNumber >= before; ++i)
            if (entries.FromNewest(i).mCategory == LogError)
                why = entries.FromNewest(i).mText;
        return broken(why);
    }
    config = loaded;
    if (refused)
    {
        const EntryRing& entries = console.GetEntries();
        size_t count = 0;
        while (count < entries.Size() && entries.FromNewest(count).mNumber >= before)
            ++count;
        for (size_t i = count; i-- > 0;)
            if (entries.FromNewest(i).mCategory == LogError)
                refused->push_back(entries.FromNewest(i));
    }
    return true;
}

#include "LOOM/engine/EngineConfig.h"

#include <cstdio>

#include "LOOM/base/FileUtils.h"
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

bool LoadEngineConfig(const std::string& fileName, EngineConfig& config)
{
    if (!FileExists(DataFilePath(fileName)))
    {
        std::fprintf(stderr, "%s not found: the engine starts with its default configuration\n", fileName.c_str());
        return false;
    }
    // Read into a copy so that a file broken half-way changes nothing.
    EngineConfig loaded = config;
    if (!XMLLoader::LoadElement(fileName, "EngineConfig", loaded))
    {
        std::fprintf(stderr, "%s is not correct: the engine starts with its default configuration\n", fileName.c_str());
        return false;
    }
    config = loaded;
    return true;
}

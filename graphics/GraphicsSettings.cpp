#include "graphics/GraphicsSettings.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"

GraphicsSettings GraphicsSettings::Load(const std::string& fileName, uint32_t windowWidth, uint32_t windowHeight)
{
    GraphicsSettings settings;
    if (windowWidth > 0 && windowHeight > 0)
    {
        settings.mResolutionWidth = windowWidth;
        settings.mResolutionHeight = windowHeight;
    }
    if (!FileExists(DataFilePath(fileName)))
    {
        Console::Instance().Log(fileName + " not found: windowed, vertical sync, window size, 60 Hz, no multisampling",
                                LogInit);
        return settings;
    }
    std::string missing;
    XMLLoader loader;
    auto field = [&](const char* tag, const char* name, uint32_t code, auto& value) {
        if (loader.BeginField(tag, name, true, code, &value))
        {
            loader.Serialize(value);
            loader.EndField(tag, true);
        }
        else
            missing += std::string(missing.empty() ? "" : ", ") + name;
    };
    GraphicsSettings loaded = settings;
    if (loader.Open(fileName) && loader.BeginField("serializable", nullptr, false, TypeObject, &loaded))
    {
        field("bool", "Fullscreen", TypeBool, loaded.mFullscreen);
        field("bool", "VSync", TypeBool, loaded.mVSync);
        field("uint", "ResolutionWidth", TypeUInt, loaded.mResolutionWidth);
        field("uint", "ResolutionHeight", TypeUInt, loaded.mResolutionHeight);
        field("uint", "RefreshRate", TypeUInt, loaded.mRefreshRate);
        field("uint", "MultiSample", TypeUInt, loaded.mMultiSample);
        field("bool", "HardwareVertexProcessing", TypeBool, loaded.mHardwareVertexProcessing);
        field("bool", "CompressTextures", TypeBool, loaded.mCompressTextures);
        field("bool", "ShowFPS", TypeBool, loaded.mShowFPS);
        field("bool", "StopOnFailure", TypeBool, loaded.mStopOnFailure);
        if (loader.BeginField("string", "ConsoleBackground", true, TypeString, &loaded.mConsoleBackground))
        {
            loader.Serialize(loaded.mConsoleBackground);
            loader.EndField("string", true);
        }
        field("uint", "MaxTextureMegabytes", TypeUInt, loaded.mMaxTextureMegabytes);
        loader.EndField("serializable", false);
    }
    loader.Close();
    // A file cut short keeps what it gave; one that gave nothing is not a settings file.
    if (missing.find("StopOnFailure") != std::string::npos && missing.find("Fullscreen") != std::string::npos)
    {
        Console::Instance().Log(fileName + " is not correct: the default display settings are used", LogInit);
        return settings;
    }
    if (loaded.mResolutionWidth == 0 || loaded.mResolutionHeight == 0)
    {
        loaded.mResolutionWidth = settings.mResolutionWidth;
        loaded.mResolutionHeight = settings.mResolutionHeight;
        missing += std::string(missing.empty() ? "" : ", ") + "a usable resolution";
    }
    if (loaded.mMaxTextureMegabytes == 0)
    {
        loaded.mMaxTextureMegabytes = settings.mMaxTextureMegabytes;
        missing += std::string(missing.empty() ? "" : ", ") + "a usable MaxTextureMegabytes";
    }
    if (!missing.empty())
        Console::Instance().Log(fileName + " lacks " + missing + ": defaults used for them", LogInit);
    return loaded;
}

#include "input/IOConfig.h"

#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/TypeCode.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"

void IOConfig::Serialize(Serializer& s)
{
    s.SerializeRealField("MouseSensitivity", mMouseSensitivity);
    s.SerializeBoolField("RelativeMouse", mRelativeMouse);
}

IOConfig LoadIOConfig(const std::string& fileName)
{
    if (!FileExists(DataFilePath(fileName)))
    {
        Console::Instance().Log("IOLoom: " + fileName + " not found, using the default input settings", LogError);
        return IOConfig();
    }
    IOConfig loaded;
    const bool good = XMLLoader::LoadElement(fileName, "IOConfig", loaded);
    // The loader has said what is wrong with a broken file.
    if (!good)
        return IOConfig();
    if (!std::isfinite(loaded.mMouseSensitivity) || loaded.mMouseSensitivity <= 0.0f)
    {
        Console::Instance().Log("IOLoom: MouseSensitivity in " + fileName +
                                    " must be a number above 0, using the default input settings",
                                LogError);
        return IOConfig();
    }
    return loaded;
}

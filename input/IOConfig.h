#pragma once
#include <string>

class Serializer;

// Input device settings, read from "IOConfig.xml" in the config folder when the IO loom starts.
struct IOConfig
{
    // Scales the motion that moves the cursor in relative mode.
    float mMouseSensitivity = 1.0f;
    // Whether the loom starts in relative mode.
    bool mRelativeMouse = false;

    void Serialize(Serializer& s);
};

// The settings of the file; the defaults, with one log line, when it is missing, broken or holds
// a value that cannot be used.
IOConfig LoadIOConfig(const std::string& fileName);

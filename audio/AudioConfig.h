#pragma once
#include <cstdint>
#include <string>

class Serializer;

// The audio loom's settings, read from "Config/AudioConfig.xml".
struct AudioConfig
{
    static constexpr const char* kFileName = "Config/AudioConfig.xml";

    bool mEnabled = true;
    // Empty: the system's default output.
    std::string mDeviceName;
    // How long Init waits for the device before it goes on silent.
    float mOpenTimeout = 0.25f;
    int32_t mChannels = 32;
    float mMasterVolume = 1.0f;
    float mSoundVolume = 1.0f;
    float mMusicVolume = 1.0f;
    std::string mSoundBank = "Config/SoundBank.xml";
    std::string mCDDevice = "/dev/cdrom";

    void Serialize(Serializer& s);
};

// Reads the file into config; a missing or broken file leaves the defaults and logs one line,
// values out of range are brought into range with one line each.
void LoadAudioConfig(const std::string& fileName, AudioConfig& config);

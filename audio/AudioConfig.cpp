#include "audio/AudioConfig.h"

#include <algorithm>
#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"

namespace {
constexpr int32_t kMaxChannels = 256;
constexpr float kMaxOpenTimeout = 10.0f;

void Limit(const std::string& file, const char* name, float& value, float low, float high, float fallback)
{
    if (std::isfinite(value) && value >= low && value <= high)
        return;
    const float fixed = std::isfinite(value) ? std::clamp(value, low, high) : fallback;
    Console::Instance().Log(file + ": " + name + " " + std::to_string(value) + " is outside " + std::to_string(low) +
                                " to " + std::to_string(high) + "; using " + std::to_string(fixed),
                            LogError);
    value = fixed;
}
} // namespace

void AudioConfig::Serialize(Serializer& s)
{
    s.SerializeBoolField("Enabled", mEnabled);
    s.SerializeString("DeviceName", mDeviceName);
    s.SerializeRealField("OpenTimeout", mOpenTimeout);
    s.SerializeInt("Channels", mChannels);
    s.SerializeRealField("MasterVolume", mMasterVolume);
    s.SerializeRealField("SoundVolume", mSoundVolume);
    s.SerializeRealField("MusicVolume", mMusicVolume);
    s.SerializeFile("SoundBank", mSoundBank);
    s.SerializeString("CDDevice", mCDDevice);
}

void LoadAudioConfig(const std::string& fileName, AudioConfig& config)
{
    config = AudioConfig();
    if (!FileExists(DataFilePath(fileName)))
    {
        Console::Instance().Log(fileName + " not found; sound runs with its default settings", LogLoading);
        return;
    }
    // Read into a copy so that a file broken half-way changes nothing.
    AudioConfig loaded;
    const bool good = XMLLoader::LoadElement(fileName, "AudioConfig", loaded);
    if (!good)
    {
        Console::Instance().Log(fileName + " is not correct; sound runs with its default settings", LogError);
        return;
    }
    Limit(fileName, "OpenTimeout", loaded.mOpenTimeout, 0.0f, kMaxOpenTimeout, 0.25f);
    Limit(fileName, "MasterVolume", loaded.mMasterVolume, 0.0f, 1.0f, 1.0f);
    Limit(fileName, "SoundVolume", loaded.mSoundVolume, 0.0f, 1.0f, 1.0f);
    Limit(fileName, "MusicVolume", loaded.mMusicVolume, 0.0f, 1.0f, 1.0f);
    if (loaded.mChannels < 1 || loaded.mChannels > kMaxChannels)
    {
        const int32_t fixed = std::clamp(loaded.mChannels, 1, kMaxChannels);
        Console::Instance().Log(fileName + ": Channels " + std::to_string(loaded.mChannels) + " is outside 1 to " +
                                    std::to_string(kMaxChannels) + "; using " + std::to_string(fixed),
                                LogError);
        loaded.mChannels = fixed;
    }
    config = loaded;
}

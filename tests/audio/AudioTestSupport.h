#pragma once
#include <AL/al.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/math/Random.h"
#include "audio/AudioLoom.h"
#include "audio/SoundComponents.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/LOOM/support/WaitFor.h"
#include "tests/input/LogProbe.h"

// One bank record as the tests write it.
struct BankRecord
{
    std::string mName;
    std::vector<std::string> mFiles;
    float mVolume = 1.0f;
    bool mLoop = false;
    float mReferenceDistance = 10.0f;
    float mMaxDistance = 500.0f;
};

inline std::string BankXml(const std::vector<BankRecord>& records)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<SoundBank>\n";
    xml += "\t\t<list name=\"Sounds\" size=\"" + std::to_string(records.size()) + "\" type=\"Sound\">\n";
    for (const BankRecord& r : records)
    {
        xml += "\t\t\t<Sound>\n\t\t\t\t<string name=\"Name\">" + r.mName + "</string>\n";
        xml += "\t\t\t\t<list name=\"Files\" size=\"" + std::to_string(r.mFiles.size()) + "\" type=\"file\">\n";
        for (const std::string& f : r.mFiles)
            xml += "\t\t\t\t\t<file>" + f + "</file>\n";
        xml += "\t\t\t\t</list>\n";
        xml += "\t\t\t\t<real name=\"Volume\">" + std::to_string(r.mVolume) + "</real>\n";
        xml += std::string("\t\t\t\t<bool name=\"Loop\">") + (r.mLoop ? "true" : "false") + "</bool>\n";
        xml += "\t\t\t\t<real name=\"ReferenceDistance\">" + std::to_string(r.mReferenceDistance) + "</real>\n";
        xml += "\t\t\t\t<real name=\"MaxDistance\">" + std::to_string(r.mMaxDistance) + "</real>\n";
        xml += "\t\t\t</Sound>\n";
    }
    return xml + "\t\t</list>\n\t</SoundBank>\n</Stream>\n";
}

// The settings file with the given fields in place of the defaults.
struct ConfigFields
{
    std::string mEnabled = "true";
    std::string mDeviceName;
    std::string mOpenTimeout = "0.25";
    std::string mChannels = "32";
    std::string mMasterVolume = "1";
    std::string mSoundVolume = "1";
    std::string mMusicVolume = "1";
    std::string mSoundBank = "Config\\SoundBank.xml";
    std::string mCDDevice = "/dev/cdrom";
};

inline std::string ConfigXml(const ConfigFields& c)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<AudioConfig>\n"
           "\t\t<bool name=\"Enabled\">" +
        c.mEnabled +
        "</bool>\n"
        "\t\t<string name=\"DeviceName\">" +
        c.mDeviceName +
        "</string>\n"
        "\t\t<real name=\"OpenTimeout\">" +
        c.mOpenTimeout +
        "</real>\n"
        "\t\t<int name=\"Channels\">" +
        c.mChannels +
        "</int>\n"
        "\t\t<real name=\"MasterVolume\">" +
        c.mMasterVolume +
        "</real>\n"
        "\t\t<real name=\"SoundVolume\">" +
        c.mSoundVolume +
        "</real>\n"
        "\t\t<real name=\"MusicVolume\">" +
        c.mMusicVolume +
        "</real>\n"
        "\t\t<file name=\"SoundBank\">" +
        c.mSoundBank +
        "</file>\n"
        "\t\t<string name=\"CDDevice\">" +
        c.mCDDevice +
        "</string>\n"
        "\t</AudioConfig>\n</Stream>\n";
}

// Interleaved samples of a sine tone, one value per channel (the channels differ in level).
inline std::vector<float> ToneSamples(double frequency, double seconds, int rate, int channels, float amplitude)
{
    const size_t frames = size_t(seconds * rate);
    std::vector<float> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] =
                amplitude / float(c + 1) * float(std::sin(2.0 * 3.14159265358979 * frequency * double(i) / rate));
    return out;
}

// A sound file written through libsndfile: Ogg Vorbis, FLAC or 16-bit WAV by the file's extension.
inline bool WriteSound(const std::string& path, const std::vector<float>& samples, int rate, int channels)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    const std::string extension = GetFileExtension(path);
    info.format = extension == "ogg" ? (SF_FORMAT_OGG | SF_FORMAT_VORBIS)
        : extension == "flac"        ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_16)
                                     : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(samples.size() / size_t(channels));
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

inline float Rms(const std::vector<float>& stereo, int channel)
{
    double sum = 0.0;
    const size_t frames = stereo.size() / 2;
    for (size_t i = 0; i < frames; ++i)
        sum += double(stereo[i * 2 + channel]) * stereo[i * 2 + channel];
    return frames ? float(std::sqrt(sum / double(frames))) : 0.0f;
}

inline ALint SourceInt(ALuint source, ALenum what)
{
    ALint value = 0;
    alGetSourcei(source, what, &value);
    return value;
}

inline float SourceFloat(ALuint source, ALenum what)
{
    ALfloat value = 0.0f;
    alGetSourcef(source, what, &value);
    return value;
}

inline Vector3 SourcePosition(ALuint source)
{
    Vector3 p;
    alGetSource3f(source, AL_POSITION, &p.x, &p.y, &p.z);
    return p;
}

// A data folder of its own with the settings, the bank and the sound files a test writes;
// a cog manager with Positional and the audio components; the loom made by Start.
class AudioFixture : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        mPreviousDataPath = GetDataPath();
        SetDataPath(mDir.Path() + "/");
        mSavedRandom = EngineRandom();
        RegisterPositional(mCogs);
        RegisterAudioComponents(mCogs);
        MakeType("Emitter", {1, 21});
        MakeType("Ears", {1, 22});
        MakeType("Speaker", {20});
    }

    void TearDown() override
    {
        mCogs.DestroyAll();
        mLoom.reset();
        EngineRandom() = mSavedRandom;
        SetDataPath(mPreviousDataPath);
        CogFixture::TearDown();
    }

    void WriteConfig(const ConfigFields& fields = ConfigFields())
    {
        mDir.Write("Config/AudioConfig.xml", ConfigXml(fields));
    }
    void WriteBank(const std::vector<BankRecord>& records) { mDir.Write("Config/SoundBank.xml", BankXml(records)); }
    void WriteTone(const std::string& file, double frequency, double seconds, int channels = 1, float amplitude = 0.5f,
                   int rate = 22050)
    {
        ASSERT_TRUE(
            WriteSound(mDir.Path(file), ToneSamples(frequency, seconds, rate, channels, amplitude), rate, channels))
            << file;
    }

    AudioLoom& Start()
    {
        mLoom.reset(AudioLoom::Create());
        mLoom->Init();
        // The device opens on a thread; on a loaded machine it may answer after the settings'
        // time-out, and an update adopts it then.
        WaitUntil(
            [&] {
                mLoom->Update();
                return !mLoom->IsOpening();
            },
            60.0);
        return *mLoom;
    }

    AudioLoom& StartLoopback(int rate = 44100)
    {
        mLoom.reset(AudioLoom::Create());
        EXPECT_TRUE(mLoom->InitLoopback(rate));
        return *mLoom;
    }

    Cog* Spawn(const std::string& type, Vector3 position)
    {
        Cog* cog = CreateAt(mCogs, type, position);
        EXPECT_NE(cog, nullptr);
        return cog;
    }

    static void Send(Cog* cog, const std::string& message, const std::string& name)
    {
        ParamBuffer params;
        params.PushStdString(name);
        cog->CallFunction(message, params);
    }

    static Positional& Place(Cog* cog) { return *cog->Get<Positional>(); }

    // The busy channels the owner component plays on.
    std::vector<AudioLoom::Channel> ChannelsOf(Cog* cog, uint32_t typeId = 21) const
    {
        std::vector<AudioLoom::Channel> out;
        const void* owner = cog ? static_cast<const void*>(cog->GetComponent(typeId)) : nullptr;
        for (const AudioLoom::Channel& channel : mLoom->GetChannels())
            if (channel.mBusy && channel.mOwner == owner)
                out.push_back(channel);
        return out;
    }

    TempDir mDir;
    std::unique_ptr<AudioLoom> mLoom;
    std::string mPreviousDataPath;
    RandomGenerator mSavedRandom;
};

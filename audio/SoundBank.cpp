#include "audio/SoundBank.h"

#include <AL/al.h>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/math/Random.h"
#include "LOOM/serial/XMLLoader.h"

namespace {
struct BankFile
{
    std::vector<SoundEntry> mSounds;

    void Serialize(Serializer& s) { SerializeElementList(s, "Sounds", mSounds, "Sound"); }
};

// A file outside the data folder is refused (logged there) and leaves error empty.
bool DecodeVariant(const std::string& file, SoundVariant& variant, std::string& error)
{
    std::string path, bytes;
    if (!DataPathInside(file, path))
        return false;
    if (!ReadWholeFile(path, bytes))
    {
        error = "cannot be read";
        return false;
    }
    DecodedSound full;
    if (!DecodeSound(std::move(bytes), false, full, error))
        return false;
    variant.mFile = file;
    if (full.mChannels == 1)
    {
        variant.mMono = std::move(full);
        return true;
    }
    // Only one channel can be placed in the world.
    variant.mMono.mRate = full.mRate;
    variant.mMono.mChannels = 1;
    MixDown(full.mSamples, full.mChannels, 1, variant.mMono.mSamples);
    variant.mStereo = std::move(full);
    return true;
}

uint32_t MakeBuffer(const DecodedSound& sound)
{
    if (sound.mSamples.empty())
        return 0;
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR)
        return 0;
    alBufferData(buffer, sound.mChannels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, sound.mSamples.data(),
                 static_cast<ALsizei>(sound.mSamples.size() * sizeof(int16_t)), sound.mRate);
    if (alGetError() != AL_NO_ERROR)
    {
        alDeleteBuffers(1, &buffer);
        return 0;
    }
    return buffer;
}
} // namespace

void SoundEntry::Serialize(Serializer& s)
{
    s.SerializeString("Name", mName);
    s.SerializeFileListField("Files", mFiles);
    s.SerializeRealField("Volume", mVolume);
    s.SerializeBoolField("Loop", mLoop);
    s.SerializeRealField("ReferenceDistance", mReferenceDistance);
    s.SerializeRealField("MaxDistance", mMaxDistance);
}

void SoundBank::Clear()
{
    ReleaseBuffers();
    mEntries.clear();
    mIndex.clear();
}

void SoundBank::Load(const std::string& fileName)
{
    Clear();
    Console& console = Console::Instance();
    std::string inside;
    if (!DataPathInside(fileName, inside))
        return;
    if (!FileExists(inside))
    {
        console.Log(fileName + " not found; no sounds will play", LogError);
        return;
    }
    BankFile bank;
    const bool good = XMLLoader::LoadElement(fileName, "SoundBank", bank);
    if (!good)
    {
        console.Log(fileName + " is not correct; no sounds will play", LogError);
        return;
    }
    for (SoundEntry& entry : bank.mSounds)
    {
        if (entry.mName.empty())
        {
            console.Log(fileName + ": a sound without a name is left out", LogError);
            continue;
        }
        if (mIndex.count(entry.mName))
        {
            console.Log(fileName + ": the sound " + entry.mName + " is named twice; the first is kept", LogError);
            continue;
        }
        if (!(entry.mVolume >= 0.0f && entry.mReferenceDistance > 0.0f &&
              entry.mMaxDistance >= entry.mReferenceDistance))
        {
            console.Log(fileName + ": the sound " + entry.mName +
                            " needs a Volume of 0 or more and 0 < ReferenceDistance <= MaxDistance; left out",
                        LogError);
            continue;
        }
        for (const std::string& file : entry.mFiles)
        {
            SoundVariant variant;
            std::string error;
            if (DecodeVariant(file, variant, error))
                entry.mVariants.push_back(std::move(variant));
            else if (!error.empty())
            {
                std::string line = fileName;
                line.append(": the sound file ")
                    .append(file)
                    .append(" of ")
                    .append(entry.mName)
                    .append(" ")
                    .append(error);
                console.Log(line, LogError);
            }
        }
        if (entry.mVariants.empty())
        {
            console.Log(fileName + ": the sound " + entry.mName + " has no file that plays; left out", LogError);
            continue;
        }
        mIndex.emplace(entry.mName, static_cast<int32_t>(mEntries.size()));
        mEntries.push_back(std::move(entry));
    }
}

int32_t SoundBank::Find(std::string_view name) const
{
    const auto found = mIndex.find(name);
    return found == mIndex.end() ? -1 : found->second;
}

int32_t SoundBank::PickVariant(int32_t index)
{
    SoundEntry& entry = Entry(index);
    const int32_t count = static_cast<int32_t>(entry.mVariants.size());
    int32_t pick = 0;
    if (count > 1)
    {
        if (entry.mLastVariant < 0)
            pick = RandomInt(0, count - 1);
        else
        {
            // Draw among the others, then step over the last one.
            pick = RandomInt(0, count - 2);
            if (pick >= entry.mLastVariant)
                ++pick;
        }
    }
    entry.mLastVariant = pick;
    return pick;
}

void SoundBank::Upload()
{
    for (SoundEntry& entry : mEntries)
        for (SoundVariant& variant : entry.mVariants)
        {
            if (!variant.mMonoBuffer)
                variant.mMonoBuffer = MakeBuffer(variant.mMono);
            if (!variant.mStereoBuffer)
                variant.mStereoBuffer = MakeBuffer(variant.mStereo);
        }
}

void SoundBank::ReleaseBuffers()
{
    for (SoundEntry& entry : mEntries)
        for (SoundVariant& variant : entry.mVariants)
        {
            if (variant.mMonoBuffer)
                alDeleteBuffers(1, &variant.mMonoBuffer);
            if (variant.mStereoBuffer)
                alDeleteBuffers(1, &variant.mStereoBuffer);
            variant.mMonoBuffer = 0;
            variant.mStereoBuffer = 0;
        }
}

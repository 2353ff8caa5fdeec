#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audio/SoundDecoder.h"

class Serializer;

// One file of a sound: decoded once, kept as mono for positioned play and as stereo where the
// file has two channels.
struct SoundVariant
{
    std::string mFile;
    DecodedSound mMono;
    DecodedSound mStereo;
    uint32_t mMonoBuffer = 0;
    uint32_t mStereoBuffer = 0;
};

// A named sound of the bank: its files are variants, one picked at random on each play.
struct SoundEntry
{
    std::string mName;
    std::vector<std::string> mFiles;
    float mVolume = 1.0f;
    bool mLoop = false;
    float mReferenceDistance = 10.0f;
    float mMaxDistance = 500.0f;

    std::vector<SoundVariant> mVariants;
    int32_t mLastVariant = -1;

    void Serialize(Serializer& s);
};

// The sounds named in "Config/SoundBank.xml", decoded at load whether or not a device exists.
class SoundBank
{
public:
    // Logs each fault (missing or broken file, unusable entry) and keeps what loaded.
    void Load(const std::string& fileName);
    void Clear();

    // -1 when no entry has that name.
    int32_t Find(std::string_view name) const;
    SoundEntry& Entry(int32_t index) { return mEntries[size_t(index)]; }
    size_t Size() const { return mEntries.size(); }
    // A variant by the engine's random generator, never the one played last when there are two or more.
    int32_t PickVariant(int32_t index);

    // OpenAL buffers for every variant; the context must be current.
    void Upload();
    void ReleaseBuffers();

private:
    struct NameHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };

    std::vector<SoundEntry> mEntries;
    std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> mIndex;
};

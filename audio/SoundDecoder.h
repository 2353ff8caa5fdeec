#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

// A sound file held in memory, decoded by libsndfile (WAV, OGG, FLAC) to 16-bit samples.
class SoundStream
{
public:
    SoundStream() = default;
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    // Takes the file's bytes; false with the reason in error when they are not a whole sound.
    bool Open(std::string bytes, std::string& error);
    void Close();
    bool IsOpen() const { return mFile != nullptr; }
    int32_t Channels() const { return mChannels; }
    int32_t Rate() const { return mRate; }
    // Up to frames interleaved frames into out; 0 at the end or on a decoding fault.
    int64_t Read(int16_t* out, int64_t frames);
    bool Rewind();
    // The frame count the header claims, or -1 when it names none.
    int64_t ClaimedFrames() const { return mClaimedFrames; }

    // libsndfile's view of the bytes.
    int64_t Size() const { return static_cast<int64_t>(mBytes.size()); }
    int64_t Tell() const { return mCursor; }
    int64_t Seek(int64_t offset, int whence);
    int64_t ReadBytes(void* out, int64_t count);

private:
    std::string mBytes;
    int64_t mCursor = 0;
    sf_private_tag* mFile = nullptr;
    int32_t mChannels = 0;
    int32_t mRate = 0;
    int64_t mClaimedFrames = -1;
};

struct DecodedSound
{
    std::vector<int16_t> mSamples;
    int32_t mChannels = 0;
    int32_t mRate = 0;
};

// The whole sound; mixed down to one channel when mono is asked for (positioned sounds), else
// kept as it is when it has one or two channels and mixed to two when it has more.
bool DecodeSound(std::string bytes, bool mono, DecodedSound& out, std::string& error);
// Mixes interleaved samples down to the given channel count (1 or 2).
void MixDown(const std::vector<int16_t>& in, int32_t inChannels, int32_t outChannels, std::vector<int16_t>& out);

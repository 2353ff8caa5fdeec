#include "audio/SoundDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {
// A positioned sound longer than this is a fault in the data, not a sound effect.
constexpr int64_t kMaxSamples = int64_t(16) << 20;
constexpr int32_t kMaxChannels = 8;
constexpr int32_t kMaxRate = 384000;

sf_count_t VioLength(void* user) { return static_cast<SoundStream*>(user)->Size(); }
sf_count_t VioSeek(sf_count_t offset, int whence, void* user)
{
    return static_cast<SoundStream*>(user)->Seek(offset, whence);
}
sf_count_t VioRead(void* out, sf_count_t count, void* user)
{
    return static_cast<SoundStream*>(user)->ReadBytes(out, count);
}
sf_count_t VioWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t VioTell(void* user) { return static_cast<SoundStream*>(user)->Tell(); }

uint32_t ReadLe32(const std::string& bytes, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The Ogg page checksum: CRC-32 with polynomial 0x04c11db7, unreflected, over the page with its
// checksum field taken as zero.
uint32_t OggCrc(const std::string& bytes, size_t at, size_t length)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t r = i << 24;
            for (int b = 0; b < 8; ++b)
                r = r & 0x80000000u ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i)
    {
        const uint8_t byte = i >= 22 && i < 26 ? 0 : static_cast<uint8_t>(bytes[at + i]);
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xff];
    }
    return crc;
}

// libsndfile plays what is there of a cut file, and some damaged Ogg streams trip it up; such
// files are refused before it sees them.
bool LooksCut(const std::string& bytes)
{
    if (bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0)
        return uint64_t(ReadLe32(bytes, 4)) + 8 > bytes.size();
    if (bytes.size() >= 4 && bytes.compare(0, 4, "OggS") == 0)
    {
        // Walk the pages: each must be whole, and the last must close the stream.
        size_t at = 0;
        bool closed = false;
        while (at < bytes.size())
        {
            if (bytes.size() - at < 27 || bytes.compare(at, 4, "OggS") != 0)
                return true;
            const uint8_t flags = static_cast<uint8_t>(bytes[at + 5]);
            const size_t segments = static_cast<uint8_t>(bytes[at + 26]);
            if (bytes.size() - at - 27 < segments)
                return true;
            size_t body = 0;
            for (size_t i = 0; i < segments; ++i)
                body += static_cast<uint8_t>(bytes[at + 27 + i]);
            const size_t page = 27 + segments + body;
            if (bytes.size() - at < page || OggCrc(bytes, at, page) != ReadLe32(bytes, at + 22))
                return true;
            closed = (flags & 0x04) != 0;
            at += page;
        }
        return !closed;
    }
    return false;
}
} // namespace

SoundStream::~SoundStream() { Close(); }

void SoundStream::Close()
{
    if (mFile)
        sf_close(mFile);
    mFile = nullptr;
    mBytes.clear();
    mBytes.shrink_to_fit();
    mCursor = 0;
    mChannels = 0;
    mRate = 0;
    mClaimedFrames = -1;
}

bool SoundStream::Open(std::string bytes, std::string& error)
{
    Close();
    if (bytes.empty())
    {
        error = "the file is empty";
        return false;
    }
    if (LooksCut(bytes))
    {
        error = "the file is cut short or damaged";
        return false;
    }
    mBytes = std::move(bytes);
    SF_VIRTUAL_IO io{VioLength, VioSeek, VioRead, VioWrite, VioTell};
    SF_INFO info{};
    mFile = sf_open_virtual(&io, SFM_READ, &info, this);
    if (!mFile)
    {
        error = std::string("not a sound file libsndfile reads (") + sf_strerror(nullptr) + ")";
        Close();
        return false;
    }
    if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1 || info.samplerate > kMaxRate)
    {
        error = "unusable format: " + std::to_string(info.channels) + " channels at " +
            std::to_string(info.samplerate) + " Hz";
        Close();
        return false;
    }
    mChannels = info.channels;
    mRate = info.samplerate;
    mClaimedFrames = info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
    return true;
}

int64_t SoundStream::Read(int16_t* out, int64_t frames)
{
    if (!mFile || frames <= 0)
        return 0;
    const sf_count_t got = sf_readf_short(mFile, out, frames);
    return got > 0 ? got : 0;
}

bool SoundStream::Rewind() { return mFile && sf_seek(mFile, 0, SEEK_SET) == 0; }

int64_t SoundStream::Seek(int64_t offset, int whence)
{
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = mCursor;
    else if (whence == SEEK_END)
        base = Size();
    const int64_t target = base + offset;
    if (target < 0 || target > Size())
        return -1;
    mCursor = target;
    return mCursor;
}

int64_t SoundStream::ReadBytes(void* out, int64_t count)
{
    const int64_t n = std::clamp<int64_t>(count, 0, Size() - mCursor);
    if (n > 0)
        std::memcpy(out, mBytes.data() + mCursor, static_cast<size_t>(n));
    mCursor += n;
    return n;
}

void MixDown(const std::vector<int16_t>& in, int32_t inChannels, int32_t outChannels, std::vector<int16_t>& out)
{
    const size_t frames = in.size() / size_t(inChannels);
    out.resize(frames * size_t(outChannels));
    for (size_t f = 0; f < frames; ++f)
        for (int32_t o = 0; o < outChannels; ++o)
        {
            // Each output channel averages the input channels that fold onto it.
            int32_t sum = 0;
            int32_t count = 0;
            for (int32_t c = o; c < inChannels; c += outChannels)
            {
                sum += in[f * inChannels + c];
                ++count;
            }
            out[f * outChannels + o] = static_cast<int16_t>(sum / std::max(count, 1));
        }
}

bool DecodeSound(std::string bytes, bool mono, DecodedSound& out, std::string& error)
{
    SoundStream stream;
    if (!stream.Open(std::move(bytes), error))
        return false;
    const int32_t channels = stream.Channels();
    std::vector<int16_t> samples;
    if (stream.ClaimedFrames() > 0 && stream.ClaimedFrames() * channels <= kMaxSamples)
        samples.reserve(static_cast<size_t>(stream.ClaimedFrames() * channels));
    int16_t block[4096];
    const int64_t blockFrames = int64_t(sizeof(block) / sizeof(block[0])) / channels;
    int64_t frames = 0;
    while (true)
    {
        const int64_t got = stream.Read(block, blockFrames);
        if (got <= 0)
            break;
        frames += got;
        if (frames * channels > kMaxSamples)
        {
            error = "longer than a sound may be";
            return false;
        }
        samples.insert(samples.end(), block, block + got * channels);
    }
    if (frames == 0)
    {
        error = "holds no samples";
        return false;
    }
    if (stream.ClaimedFrames() >= 0 && frames < stream.ClaimedFrames())
    {
        error = "the file is cut short (" + std::to_string(frames) + " of " + std::to_string(stream.ClaimedFrames()) +
            " frames)";
        return false;
    }
    out.mRate = stream.Rate();
    const int32_t wanted = mono ? 1 : std::min(channels, 2);
    out.mChannels = wanted;
    if (wanted == channels)
        out.mSamples = std::move(samples);
    else
        MixDown(samples, channels, wanted, out.mSamples);
    return true;
}

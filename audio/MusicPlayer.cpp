#include "audio/MusicPlayer.h"

#include <AL/al.h>

#include "LOOM/base/FileUtils.h"

MusicPlayer::~MusicPlayer() { Detach(); }

bool MusicPlayer::Play(const std::string& file, std::string& error)
{
    Stop();
    std::string bytes;
    if (!ReadWholeFile(DataFilePath(file), bytes))
    {
        error = "cannot be read";
        return false;
    }
    if (!mStream.Open(std::move(bytes), error))
        return false;
    if (mStream.Channels() > 2)
    {
        error = "has " + std::to_string(mStream.Channels()) + " channels; music has one or two";
        mStream.Close();
        return false;
    }
    mFile = file;
    mBlockFrames = static_cast<int32_t>(mStream.Rate() * kBufferSeconds);
    if (mBlockFrames < 1)
        mBlockFrames = 1;
    mBlock.assign(size_t(mBlockFrames) * size_t(mStream.Channels()), 0);
    mPlaying = true;
    if (mSource)
        Start();
    return true;
}

void MusicPlayer::Stop()
{
    mPlaying = false;
    if (mSource)
    {
        alSourceStop(mSource);
        alSourcei(mSource, AL_BUFFER, 0);
    }
    mStream.Close();
    mFile.clear();
}

void MusicPlayer::Attach(float volume)
{
    if (mSource)
        return;
    alGetError();
    alGenSources(1, &mSource);
    if (alGetError() != AL_NO_ERROR)
    {
        mSource = 0;
        return;
    }
    alGenBuffers(kBuffers, mBuffers);
    if (alGetError() != AL_NO_ERROR)
    {
        alDeleteSources(1, &mSource);
        mSource = 0;
        for (uint32_t& buffer : mBuffers)
            buffer = 0;
        return;
    }
    // Music is heard the same wherever the listener stands.
    alSourcei(mSource, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(mSource, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(mSource, AL_ROLLOFF_FACTOR, 0.0f);
    SetVolume(volume);
    if (mPlaying)
        Start();
}

void MusicPlayer::Detach()
{
    if (!mSource)
        return;
    alSourceStop(mSource);
    alSourcei(mSource, AL_BUFFER, 0);
    alDeleteSources(1, &mSource);
    alDeleteBuffers(kBuffers, mBuffers);
    mSource = 0;
    for (uint32_t& buffer : mBuffers)
        buffer = 0;
}

void MusicPlayer::SetVolume(float volume)
{
    if (mSource)
        alSourcef(mSource, AL_GAIN, volume);
}

void MusicPlayer::Start()
{
    alSourceStop(mSource);
    alSourcei(mSource, AL_BUFFER, 0);
    int queued = 0;
    for (uint32_t buffer : mBuffers)
    {
        if (!Fill(buffer))
            break;
        alSourceQueueBuffers(mSource, 1, &buffer);
        ++queued;
    }
    if (queued == 0)
    {
        mPlaying = false;
        return;
    }
    alSourcePlay(mSource);
}

bool MusicPlayer::Fill(uint32_t buffer)
{
    const int32_t channels = mStream.Channels();
    int64_t filled = 0;
    bool rewound = false;
    while (filled < mBlockFrames)
    {
        const int64_t got = mStream.Read(mBlock.data() + filled * channels, mBlockFrames - filled);
        if (got > 0)
        {
            filled += got;
            rewound = false;
            continue;
        }
        // End of the file: loop. A stream that gives nothing right after its start is dead.
        if (rewound || !mStream.Rewind())
            break;
        rewound = true;
    }
    if (filled == 0)
        return false;
    alBufferData(buffer, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, mBlock.data(),
                 static_cast<ALsizei>(filled * channels * int64_t(sizeof(int16_t))), mStream.Rate());
    return true;
}

void MusicPlayer::Update()
{
    if (!mSource || !mPlaying)
        return;
    ALint processed = 0;
    alGetSourcei(mSource, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(mSource, 1, &buffer);
        if (!Fill(buffer))
        {
            mPlaying = false;
            return;
        }
        alSourceQueueBuffers(mSource, 1, &buffer);
    }
    // A frame longer than the queue lets the source run dry; it goes on from where the stream is.
    ALint state = 0;
    alGetSourcei(mSource, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING)
        alSourcePlay(mSource);
}

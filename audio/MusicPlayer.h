#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "audio/SoundDecoder.h"

// One looping music stream: a few short buffers kept filled from the decoder on the main thread.
class MusicPlayer
{
public:
    static constexpr int kBuffers = 4;
    static constexpr float kBufferSeconds = 0.25f;

    ~MusicPlayer();

    // Opens the file (no device needed); false with the reason when it cannot play.
    bool Play(const std::string& file, std::string& error);
    void Stop();
    bool IsPlaying() const { return mPlaying; }
    const std::string& GetFile() const { return mFile; }

    // The context is current: make the source and buffers, and start a stream that waits.
    void Attach(float volume);
    // Before the context goes.
    void Detach();
    void SetVolume(float volume);
    // Refills the buffers that have played; restarts a source that ran dry.
    void Update();
    uint32_t GetSource() const { return mSource; }

private:
    void Start();
    // False when the stream yields nothing even from its start.
    bool Fill(uint32_t buffer);

    SoundStream mStream;
    std::string mFile;
    std::vector<int16_t> mBlock;
    int32_t mBlockFrames = 0;
    uint32_t mSource = 0;
    uint32_t mBuffers[kBuffers] = {};
    bool mPlaying = false;
};

#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LOOM/engine/Loom.h"
#include "LOOM/math/Vector3.h"
#include "audio/AudioConfig.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"

class CdTrayTask;
class DeviceOpenTask;
class Listener;
class Positional;

// The audio subsystem on OpenAL. Init reads its settings and decodes the sound bank, then
// gives a worker a short time to open the device; without one it runs silent, and a device
// that answers late is taken up by a later Update. The engine is left-handed and OpenAL
// right-handed, so every position and direction handed over has its z negated.
class AudioLoom : public Loom
{
public:
    // One source of the pool. Owners are sound components; they hand their sounds back when
    // they go, and a one-shot then plays out where it last was.
    struct Channel
    {
        uint32_t mSource = 0;
        const void* mOwner = nullptr;
        const Positional* mFollow = nullptr;
        int32_t mSound = -1;
        bool mBusy = false;
        bool mLoop = false;
        bool mPositioned = false;
        Vector3 mPosition;

        // Idle again, keeping its source.
        void Free()
        {
            const uint32_t source = mSource;
            *this = Channel();
            mSource = source;
        }
    };

    using DeviceOpener = std::function<void*(const std::string& deviceName)>;

    static AudioLoom* Create();
    static AudioLoom* Instance();

    ~AudioLoom() override;

    LOOM_LOOM_OVERRIDES

    // A device is open and its context current; false means silent.
    bool HasDevice() const { return mContext != nullptr; }
    std::string GetDeviceName() const;
    // Still waiting for the worker that opens the device.
    bool IsOpening() const { return mOpenTask != nullptr; }

    // Replaces the system's device opener (it runs on the worker); empty restores it.
    void SetDeviceOpener(DeviceOpener opener) { mOpener = std::move(opener); }
    // Starts as Init does, on a device that mixes into memory: stereo floats at the rate.
    bool InitLoopback(int32_t rate);
    // Mixes the next frames of a loopback device, interleaved left and right.
    const std::vector<float>& RenderLoopback(uint32_t frames);

    // Console commands.
    void PlayMusic(std::string file);
    void StopMusic();
    void OpenCDTray();
    // The player's volume, 0 to 1: the listener's gain over every sound and the music.
    void SetVolume(float volume);
    float GetVolume() const { return mConfig.mMasterVolume; }

    // For the sound components. FindSound logs an unknown name once and answers -1.
    int32_t FindSound(const std::string& group, const std::string& name);
    void PlaySound(const void* owner, int32_t sound, bool positioned, const Positional* place);
    void StopSound(const void* owner, int32_t sound);
    // The owner goes: its loops stop, its one-shots play out where they are.
    void ReleaseOwner(const void* owner);
    void AddListener(Listener* listener);
    void RemoveListener(Listener* listener);

    const AudioConfig& GetConfig() const { return mConfig; }
    SoundBank& GetBank() { return mBank; }
    const std::vector<Channel>& GetChannels() const { return mChannels; }
    const MusicPlayer& GetMusic() const { return mMusic; }
    bool IsCDTrayBusy() const;

private:
    AudioLoom();

    void LoadSettings();
    // Makes the context on the device and everything that lives in it.
    bool Adopt(void* device, const int* attributes);
    void ReleaseDevice();
    void CollectOpenTask();
    void CollectCdTask();
    void UpdateListener();
    int32_t TakeChannel(float distance);

    AudioConfig mConfig;
    SoundBank mBank;
    MusicPlayer mMusic;
    std::vector<Channel> mChannels;
    std::vector<Listener*> mListeners;
    std::set<std::string, std::less<>> mUnknownLogged;
    Vector3 mListenerPosition;
    char mLookup[256] = {};

    DeviceOpener mOpener;
    std::unique_ptr<DeviceOpenTask> mOpenTask;
    // Openers given up on while they still ran; each closes its own late device.
    std::vector<std::unique_ptr<DeviceOpenTask>> mRetiredOpeners;
    std::unique_ptr<CdTrayTask> mCdTask;

    // OpenAL's ALCdevice and ALCcontext, kept opaque so users need no OpenAL headers.
    void* mDevice = nullptr;
    void* mContext = nullptr;
    bool mLoopback = false;
    bool mCommandsRegistered = false;
    std::vector<float> mRendered;
};

#include "audio/AudioLoom.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <thread>

#include "LOOM/base/Clocks.h"
#include "LOOM/base/VirtualThread.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogFactory.h"
#include "audio/AudioTasks.h"
#include "audio/SoundComponents.h"

namespace {
AudioLoom* sInstance = nullptr;
// How long going away waits for an opener it gave up on.
constexpr double kRetiredOpenerWait = 1.0;

void* OpenSystemDevice(const std::string& name) { return alcOpenDevice(name.empty() ? nullptr : name.c_str()); }

float Distance(const Vector3& a, const Vector3& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// OpenAL's z runs the other way.
void SetSourcePosition(ALuint source, const Vector3& p) { alSource3f(source, AL_POSITION, p.x, p.y, -p.z); }

void Log(const std::string& text, uint32_t category) { Console::Instance().Log(text, category); }
} // namespace

AudioLoom* AudioLoom::Create()
{
    sInstance = new (std::nothrow) AudioLoom();
    return sInstance;
}

AudioLoom* AudioLoom::Instance() { return sInstance; }

AudioLoom::AudioLoom() = default;

AudioLoom::~AudioLoom()
{
    Shutdown();
    for (std::unique_ptr<DeviceOpenTask>& task : mRetiredOpeners)
    {
        PreciseTimer waited;
        while (task->GetState() != THREAD_STOPPED && waited.CurrentSeconds() < kRetiredOpenerWait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // An opener still stuck in the driver must not be freed under its thread.
        if (task->GetState() != THREAD_STOPPED)
            static_cast<void>(task.release());
    }
    mRetiredOpeners.clear();
    // The commands call this loom; they must not outlive it.
    if (mCommandsRegistered)
        for (const char* name : {"PlayMusic", "StopMusic", "OpenCDTray", "SetVolume"})
            Console::Instance().RemoveCommand(name);
    if (sInstance == this)
        sInstance = nullptr;
}

void AudioLoom::LoadSettings()
{
    LoadAudioConfig(AudioConfig::kFileName, mConfig);
    if (mConfig.mEnabled)
        mBank.Load(mConfig.mSoundBank);
}

void AudioLoom::Init()
{
    Shutdown();
    LoadSettings();
    if (!mConfig.mEnabled)
    {
        Log("AudioLoom: sound is switched off in " + std::string(AudioConfig::kFileName), LogInit);
        return;
    }
    mOpenTask =
        std::make_unique<DeviceOpenTask>(mOpener ? mOpener : DeviceOpener(OpenSystemDevice), mConfig.mDeviceName);
    mOpenTask->Spawn();
    if (mOpenTask->GetState() == THREAD_STOPPED && !mOpenTask->IsDone())
    {
        mOpenTask.reset();
        Log("AudioLoom: no sound device, running silent", LogInit);
        return;
    }
    if (mOpenTask->WaitDone(mConfig.mOpenTimeout))
        CollectOpenTask();
    else
        Log("AudioLoom: the sound device is slow to open; silent until it answers", LogInit);
}

void AudioLoom::CollectOpenTask()
{
    void* device = mOpenTask->TakeDevice();
    mOpenTask->Stop();
    mOpenTask.reset();
    if (!device)
    {
        Log("AudioLoom: no sound device, running silent", LogInit);
        return;
    }
    Adopt(device, nullptr);
}

bool AudioLoom::Adopt(void* device, const int* attributes)
{
    ALCdevice* alDevice = static_cast<ALCdevice*>(device);
    ALCcontext* context = alcCreateContext(alDevice, attributes);
    if (!context || alcMakeContextCurrent(context) != ALC_TRUE)
    {
        Log("AudioLoom: the sound device would not start, running silent", LogError);
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(alDevice);
        return false;
    }
    mDevice = device;
    mContext = context;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alListenerf(AL_GAIN, mConfig.mMasterVolume);
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    // The engine's unturned forward (0, 0, -1), with z negated.
    const float orientation[6] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f};
    alListenerfv(AL_ORIENTATION, orientation);
    mListenerPosition = Vector3();

    alGetError();
    mChannels.reserve(size_t(mConfig.mChannels));
    for (int32_t i = 0; i < mConfig.mChannels; ++i)
    {
        ALuint source = 0;
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR)
            break;
        Channel channel;
        channel.mSource = source;
        mChannels.push_back(channel);
    }
    if (static_cast<int32_t>(mChannels.size()) < mConfig.mChannels)
        Log("AudioLoom: the device gave " + std::to_string(mChannels.size()) + " of " +
                std::to_string(mConfig.mChannels) + " channels",
            LogError);
    mBank.Upload();
    mMusic.Attach(mConfig.mMusicVolume);
    return true;
}

void AudioLoom::ReleaseDevice()
{
    if (mContext)
    {
        mMusic.Detach();
        for (Channel& channel : mChannels)
        {
            alSourceStop(channel.mSource);
            alSourcei(channel.mSource, AL_BUFFER, 0);
            alDeleteSources(1, &channel.mSource);
        }
        mBank.ReleaseBuffers();
        ALCcontext* context = static_cast<ALCcontext*>(mContext);
        if (alcGetCurrentContext() == context)
            alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        mContext = nullptr;
    }
    mChannels.clear();
    if (mDevice)
    {
        alcCloseDevice(static_cast<ALCdevice*>(mDevice));
        mDevice = nullptr;
    }
    mLoopback = false;
    mRendered.clear();
}

void AudioLoom::Shutdown()
{
    if (mCdTask)
    {
        // It ends by itself; its answer still goes to the log.
        mCdTask->Stop();
        CollectCdTask();
    }
    if (mOpenTask)
    {
        mOpenTask->Abandon();
        mRetiredOpeners.push_back(std::move(mOpenTask));
    }
    ReleaseDevice();
    mMusic.Stop();
    mBank.Clear();
    mUnknownLogged.clear();
}

void AudioLoom::RegisterTypes()
{
    RegisterAudioComponents(CogFactory::Instance());
    Console& console = Console::Instance();
    console.RegisterCommand("PlayMusic", MakeDataPathCommand(MakeConsoleCommand(this, &AudioLoom::PlayMusic)),
                            "Plays a music file, looping");
    console.RegisterCommand("StopMusic", MakeConsoleCommand(this, &AudioLoom::StopMusic), "Stops the music");
    console.RegisterCommand("OpenCDTray", MakeConsoleCommand(this, &AudioLoom::OpenCDTray), "Opens the CD tray");
    console.RegisterCommand("SetVolume", MakeConsoleCommand(this, &AudioLoom::SetVolume), "Sets the volume (0 to 1)");
    mCommandsRegistered = true;
}

void AudioLoom::Update()
{
    if (mOpenTask && mOpenTask->IsDone())
        CollectOpenTask();
    for (size_t i = 0; i < mRetiredOpeners.size();)
    {
        if (mRetiredOpeners[i]->GetState() == THREAD_STOPPED)
            mRetiredOpeners.erase(mRetiredOpeners.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    if (mCdTask && mCdTask->GetState() == THREAD_STOPPED)
        CollectCdTask();
    if (!mContext)
        return;

    UpdateListener();
    for (Channel& channel : mChannels)
    {
        if (!channel.mBusy)
            continue;
        if (channel.mFollow)
        {
            channel.mPosition = channel.mFollow->GetPosition();
            SetSourcePosition(channel.mSource, channel.mPosition);
        }
        ALint state = 0;
        alGetSourcei(channel.mSource, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED)
            channel.Free();
    }
    mMusic.Update();
}

void AudioLoom::UpdateListener()
{
    if (mListeners.empty())
        return;
    const Positional* place = mListeners.back()->GetOwnerPositional();
    if (!place)
        return;
    const Vector3 position = place->GetPosition();
    const Vector3 forward = place->GetOrientation().GetForward();
    Vector3 up(0.0f, 1.0f, 0.0f);
    place->GetOrientation().RotateVector(up);
    alListener3f(AL_POSITION, position.x, position.y, -position.z);
    const float orientation[6] = {forward.x, forward.y, -forward.z, up.x, up.y, -up.z};
    alListenerfv(AL_ORIENTATION, orientation);
    mListenerPosition = position;
}

void AudioLoom::Unload() {}

std::string AudioLoom::GetName() { return "Audio Loom"; }

std::string AudioLoom::GetTypeName() { return "AudioLoom"; }

std::string AudioLoom::GetDeviceName() const
{
    if (!mDevice)
        return std::string();
    const ALCchar* name = alcGetString(static_cast<ALCdevice*>(mDevice), ALC_DEVICE_SPECIFIER);
    return name ? std::string(name) : std::string();
}

bool AudioLoom::InitLoopback(int32_t rate)
{
    Shutdown();
    LoadSettings();
    if (!mConfig.mEnabled)
        return false;
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
    {
        Log("AudioLoom: this OpenAL cannot mix into memory", LogError);
        return false;
    }
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    ALCdevice* device = open ? open(nullptr) : nullptr;
    if (!device)
    {
        Log("AudioLoom: no loopback device", LogError);
        return false;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,
                                 rate,
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 0};
    if (!Adopt(device, attributes))
        return false;
    mLoopback = true;
    return true;
}

const std::vector<float>& AudioLoom::RenderLoopback(uint32_t frames)
{
    mRendered.clear();
    if (!mLoopback)
        return mRendered;
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(static_cast<ALCdevice*>(mDevice), "alcRenderSamplesSOFT"));
    if (!render)
        return mRendered;
    mRendered.resize(size_t(frames) * 2);
    render(static_cast<ALCdevice*>(mDevice), mRendered.data(), static_cast<ALCsizei>(frames));
    return mRendered;
}

void AudioLoom::PlayMusic(std::string file)
{
    // The menus ask for the theme again after every restart; it plays on rather than starting over.
    if (mMusic.IsPlaying() && mMusic.GetFile() == file)
        return;
    std::string error;
    if (!mMusic.Play(file, error))
        Log("PlayMusic: " + file + " " + error, LogError);
}

void AudioLoom::StopMusic() { mMusic.Stop(); }

void AudioLoom::SetVolume(float volume)
{
    if (!std::isfinite(volume) || volume < 0.0f || volume > 1.0f)
    {
        Log("SetVolume: " + std::to_string(volume) + " is not between 0 and 1; the volume stays", LogError);
        return;
    }
    mConfig.mMasterVolume = volume;
    if (mContext)
        alListenerf(AL_GAIN, volume);
}

void AudioLoom::OpenCDTray()
{
    // The running task is answered for by the next Update; until then the tray is busy.
    if (mCdTask)
    {
        Log("OpenCDTray: the CD tray is still being opened; ignored", LogCommands);
        return;
    }
    mCdTask = std::make_unique<CdTrayTask>(mConfig.mCDDevice);
    mCdTask->Spawn();
}

bool AudioLoom::IsCDTrayBusy() const { return mCdTask != nullptr; }

void AudioLoom::CollectCdTask()
{
    mCdTask->Stop();
    const std::string error = mCdTask->TakeError();
    mCdTask.reset();
    if (!error.empty())
        Log(error, LogError);
}

int32_t AudioLoom::FindSound(const std::string& group, const std::string& name)
{
    std::string_view key = name;
    if (!group.empty() && group.size() + 1 + name.size() <= sizeof(mLookup))
    {
        // "Group.Name" built without allocating: this runs for every sound played.
        std::memcpy(mLookup, group.data(), group.size());
        mLookup[group.size()] = '.';
        std::memcpy(mLookup + group.size() + 1, name.data(), name.size());
        key = std::string_view(mLookup, group.size() + 1 + name.size());
        if (const int32_t found = mBank.Find(key); found >= 0)
            return found;
    }
    if (const int32_t found = mBank.Find(name); found >= 0)
        return found;
    if (!mConfig.mEnabled || mUnknownLogged.find(key) != mUnknownLogged.end())
        return -1;
    mUnknownLogged.emplace(key);
    Log("AudioLoom: no sound named " + name + (group.empty() ? std::string() : " (nor " + std::string(key) + ")") +
            " in the sound bank",
        LogError);
    return -1;
}

int32_t AudioLoom::TakeChannel(float distance)
{
    for (size_t i = 0; i < mChannels.size(); ++i)
        if (!mChannels[i].mBusy)
            return static_cast<int32_t>(i);
    // Sounds that ended since the last Update.
    for (size_t i = 0; i < mChannels.size(); ++i)
    {
        ALint state = 0;
        alGetSourcei(mChannels[i].mSource, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED)
        {
            mChannels[i].Free();
            return static_cast<int32_t>(i);
        }
    }
    // Full: a nearer sound takes the farthest one-shot's place; loops are never cut.
    int32_t farthest = -1;
    float farthestDistance = -1.0f;
    for (size_t i = 0; i < mChannels.size(); ++i)
    {
        const Channel& channel = mChannels[i];
        if (channel.mLoop)
            continue;
        const float d = channel.mPositioned ? Distance(channel.mPosition, mListenerPosition) : 0.0f;
        if (d > farthestDistance)
        {
            farthestDistance = d;
            farthest = static_cast<int32_t>(i);
        }
    }
    if (farthest < 0 || distance >= farthestDistance)
        return -1;
    alSourceStop(mChannels[size_t(farthest)].mSource);
    return farthest;
}

void AudioLoom::PlaySound(const void* owner, int32_t sound, bool positioned, const Positional* place)
{
    if (!mContext || sound < 0 || size_t(sound) >= mBank.Size())
        return;
    SoundEntry& entry = mBank.Entry(sound);
    const SoundVariant& variant = entry.mVariants[size_t(mBank.PickVariant(sound))];
    const uint32_t buffer = positioned || !variant.mStereoBuffer ? variant.mMonoBuffer : variant.mStereoBuffer;
    if (!buffer)
        return;
    const Vector3 position = positioned && place ? place->GetPosition() : Vector3();
    const int32_t index = TakeChannel(positioned ? Distance(position, mListenerPosition) : 0.0f);
    if (index < 0)
        return;
    Channel& channel = mChannels[size_t(index)];
    const ALuint source = channel.mSource;
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcef(source, AL_GAIN, entry.mVolume * mConfig.mSoundVolume);
    alSourcei(source, AL_LOOPING, entry.mLoop ? AL_TRUE : AL_FALSE);
    alSourcei(source, AL_SOURCE_RELATIVE, positioned ? AL_FALSE : AL_TRUE);
    alSourcef(source, AL_ROLLOFF_FACTOR, positioned ? 1.0f : 0.0f);
    alSourcef(source, AL_REFERENCE_DISTANCE, entry.mReferenceDistance);
    alSourcef(source, AL_MAX_DISTANCE, entry.mMaxDistance);
    SetSourcePosition(source, position);
    alSourcePlay(source);

    channel.mOwner = owner;
    channel.mFollow = positioned ? place : nullptr;
    channel.mSound = sound;
    channel.mBusy = true;
    channel.mLoop = entry.mLoop;
    channel.mPositioned = positioned;
    channel.mPosition = position;
}

void AudioLoom::StopSound(const void* owner, int32_t sound)
{
    for (Channel& channel : mChannels)
        if (channel.mBusy && channel.mOwner == owner && channel.mSound == sound)
        {
            alSourceStop(channel.mSource);
            channel.Free();
        }
}

void AudioLoom::ReleaseOwner(const void* owner)
{
    for (Channel& channel : mChannels)
    {
        if (!channel.mBusy || channel.mOwner != owner)
            continue;
        if (channel.mLoop)
        {
            alSourceStop(channel.mSource);
            channel.Free();
            continue;
        }
        // The cog is going: the sound plays out where it was last heard.
        channel.mOwner = nullptr;
        channel.mFollow = nullptr;
    }
}

void AudioLoom::AddListener(Listener* listener)
{
    RemoveListener(listener);
    mListeners.push_back(listener);
}

void AudioLoom::RemoveListener(Listener* listener)
{
    for (size_t i = 0; i < mListeners.size(); ++i)
        if (mListeners[i] == listener)
        {
            mListeners.erase(mListeners.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

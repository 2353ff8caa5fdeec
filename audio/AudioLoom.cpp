#include "audio/AudioLoom.h"

#include <AL/alc.h>

#include <new>

#include "LOOM/console/Console.h"

namespace {
AudioLoom* sInstance = nullptr;
}

AudioLoom* AudioLoom::Create()
{
    sInstance = new (std::nothrow) AudioLoom();
    return sInstance;
}

AudioLoom* AudioLoom::Instance()
{
    return sInstance;
}

AudioLoom::~AudioLoom()
{
    Shutdown();
    if (sInstance == this)
        sInstance = nullptr;
}

void AudioLoom::Init()
{
    if (mDevice)
        Shutdown();

    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device)
    {
        Console::Instance().Log("AudioLoom: no sound device, running silent", LogError);
        return;
    }
    ALCcontext* context = alcCreateContext(device, nullptr);
    if (!context || alcMakeContextCurrent(context) != ALC_TRUE)
    {
        Console::Instance().Log("AudioLoom: the sound device would not start, running silent", LogError);
        if (context)
            alcDestroyContext(context);
        alcCloseDevice(device);
        return;
    }
    mDevice = device;
    mContext = context;
}

void AudioLoom::Shutdown()
{
    if (mContext)
    {
        ALCcontext* context = static_cast<ALCcontext*>(mContext);
        if (alcGetCurrentContext() == context)
            alcMakeContextCurrent(nullptr);
        alcDestroyContext(context);
        mContext = nullptr;
    }
    if (mDevice)
    {
        alcCloseDevice(static_cast<ALCdevice*>(mDevice));
        mDevice = nullptr;
    }
}

void AudioLoom::RegisterTypes()
{
}

void AudioLoom::Update()
{
}

void AudioLoom::Unload()
{
}

std::string AudioLoom::GetName()
{
    return "Audio Loom";
}

std::string AudioLoom::GetTypeName()
{
    return "AudioLoom";
}

std::string AudioLoom::GetDeviceName() const
{
    if (!mDevice)
        return std::string();
    const ALCchar* name = alcGetString(static_cast<ALCdevice*>(mDevice), ALC_DEVICE_SPECIFIER);
    return name ? std::string(name) : std::string();
}

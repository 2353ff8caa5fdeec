#pragma once
#include <string>

#include "LOOM/engine/Loom.h"

// The audio subsystem on OpenAL. Init opens the default sound device; a machine without one runs
// silent. Its sound components come later.
class AudioLoom : public Loom
{
public:
    static AudioLoom* Create();
    static AudioLoom* Instance();

    ~AudioLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override;
    std::string GetName() override;
    std::string GetTypeName() override;

    // A device is open and its context current; false means silent.
    bool HasDevice() const { return mContext != nullptr; }
    std::string GetDeviceName() const;

private:
    AudioLoom() = default;

    // OpenAL's ALCdevice and ALCcontext, kept opaque so users need no OpenAL headers.
    void* mDevice = nullptr;
    void* mContext = nullptr;
};

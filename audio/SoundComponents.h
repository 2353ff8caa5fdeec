#pragma once
#include <string>

#include "LOOM/cogs/Comp.h"

class CogFactory;

// Plays bank sounds at its cog's position; follows the cog while they play.
class SoundPlayer3D : public Comp
{
public:
    ~SoundPlayer3D() override;
    void Serialize(Serializer& s) override;
    static constexpr uint32_t kTypeId = 21;
    std::string GetTypeName() override { return "SoundPlayer3D"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // "Group.Name" when the group has its own, else "Name".
    void PlaySound3D(std::string name);
    // Stops this cog's sounds of that name.
    void StopSound(std::string name);

    const std::string& GetSoundGroup() const { return mSoundGroup; }
    void SetSoundGroup(std::string group) { mSoundGroup = std::move(group); }

private:
    std::string mSoundGroup;
};

// Plays bank sounds as heard at the listener, in stereo where the file has it.
class SoundPlayer2D : public Comp
{
public:
    ~SoundPlayer2D() override;
    void Serialize(Serializer& s) override;
    static constexpr uint32_t kTypeId = 20;
    std::string GetTypeName() override { return "SoundPlayer2D"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void PlaySound2D(std::string name);
    void StopSound(std::string name);
};

// The ears of the world: the last one initialised places the listener at its cog each frame.
class Listener : public Comp
{
public:
    ~Listener() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    static constexpr uint32_t kTypeId = 22;
    std::string GetTypeName() override { return "Listener"; }
    uint32_t GetTypeId() override { return kTypeId; }
};

// Registers Listener, SoundPlayer2D and SoundPlayer3D with the cog manager, in that order.
void RegisterAudioComponents(CogFactory& cogs);

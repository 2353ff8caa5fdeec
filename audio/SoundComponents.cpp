#include "audio/SoundComponents.h"

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "audio/AudioLoom.h"

namespace {
class SoundPlayer3DFactory : public CompFactoryOf<SoundPlayer3D>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("PlaySound3D", MakeCompFunctor(21, &SoundPlayer3D::PlaySound3D));
        composer.BindMessage("StopSound", MakeCompFunctor(21, &SoundPlayer3D::StopSound));
    }
};

class SoundPlayer2DFactory : public CompFactoryOf<SoundPlayer2D>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("PlaySound2D", MakeCompFunctor(20, &SoundPlayer2D::PlaySound2D));
        composer.BindMessage("StopSound", MakeCompFunctor(20, &SoundPlayer2D::StopSound));
    }
};

SoundPlayer3DFactory gSoundPlayer3DFactory;
SoundPlayer2DFactory gSoundPlayer2DFactory;
CompFactoryOf<Listener> gListenerFactory;

// The audio loom when one runs and knows the sound; sound gets the sound's index.
AudioLoom* LoomWithSound(const std::string& group, const std::string& name, int32_t& sound)
{
    AudioLoom* loom = AudioLoom::Instance();
    if (!loom)
        return nullptr;
    sound = loom->FindSound(group, name);
    return sound >= 0 ? loom : nullptr;
}
} // namespace

SoundPlayer3D::~SoundPlayer3D()
{
    if (AudioLoom* loom = AudioLoom::Instance())
        loom->ReleaseOwner(this);
}

void SoundPlayer3D::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("SoundGroup", mSoundGroup);
}

void SoundPlayer3D::PlaySound3D(std::string name)
{
    int32_t sound = -1;
    if (AudioLoom* loom = LoomWithSound(mSoundGroup, name, sound))
        loom->PlaySound(this, sound, true, GetOwnerPositional());
}

void SoundPlayer3D::StopSound(std::string name)
{
    int32_t sound = -1;
    if (AudioLoom* loom = LoomWithSound(mSoundGroup, name, sound))
        loom->StopSound(this, sound);
}

SoundPlayer2D::~SoundPlayer2D()
{
    if (AudioLoom* loom = AudioLoom::Instance())
        loom->ReleaseOwner(this);
}

void SoundPlayer2D::Serialize(Serializer& s) { SerializeHeader(s); }

void SoundPlayer2D::PlaySound2D(std::string name)
{
    int32_t sound = -1;
    if (AudioLoom* loom = LoomWithSound(std::string(), name, sound))
        loom->PlaySound(this, sound, false, nullptr);
}

void SoundPlayer2D::StopSound(std::string name)
{
    int32_t sound = -1;
    if (AudioLoom* loom = LoomWithSound(std::string(), name, sound))
        loom->StopSound(this, sound);
}

Listener::~Listener()
{
    if (AudioLoom* loom = AudioLoom::Instance())
        loom->RemoveListener(this);
}

void Listener::Serialize(Serializer& s) { SerializeHeader(s); }

void Listener::Initialize()
{
    if (AudioLoom* loom = AudioLoom::Instance())
        loom->AddListener(this);
}

void RegisterAudioComponents(CogFactory& cogs)
{
    cogs.Types().RegisterComponent(22, &gListenerFactory);
    cogs.Types().RegisterComponent(20, &gSoundPlayer2DFactory);
    cogs.Types().RegisterComponent(21, &gSoundPlayer3DFactory);
}

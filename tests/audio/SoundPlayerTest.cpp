#include <algorithm>

#include "tests/audio/AudioTestSupport.h"

namespace {
// On the null device sounds play in real time, so the state checks use long sounds.
class SoundPlayerTest : public AudioFixture
{
protected:
    void SetUp() override
    {
        AudioFixture::SetUp();
        ConfigFields fields;
        fields.mSoundVolume = "0.5";
        WriteConfig(fields);
        WriteTone("long.wav", 440.0, 20.0);
        WriteTone("stereo.wav", 440.0, 20.0, 2);
        WriteTone("a.wav", 300.0, 0.1);
        WriteTone("b.wav", 400.0, 0.1);
        WriteTone("c.wav", 500.0, 0.1);
        WriteBank({{"Hit", {"long.wav"}, 0.8f},
                   {"Goblin.Hit", {"long.wav"}, 0.4f},
                   {"Hum", {"long.wav"}, 1.0f, true},
                   {"Wide", {"stereo.wav"}},
                   {"Pick", {"a.wav", "b.wav", "c.wav"}}});
    }
};
} // namespace

TEST_F(SoundPlayerTest, PlaySound3DSetsBufferGainAndMirroredPositionThenFollowsTheCog)
{
    AudioLoom& loom = Start();
    ASSERT_TRUE(loom.HasDevice());
    Cog* cog = Spawn("Emitter", Vector3(3.0f, 4.0f, 5.0f));
    Send(cog, "PlaySound3D", "Hit");
    const auto channels = ChannelsOf(cog);
    ASSERT_EQ(channels.size(), 1u);
    const ALuint source = channels[0].mSource;
    EXPECT_EQ(SourceInt(source, AL_BUFFER),
              static_cast<ALint>(loom.GetBank().Entry(loom.GetBank().Find("Hit")).mVariants[0].mMonoBuffer));
    EXPECT_NE(SourceInt(source, AL_BUFFER), 0);
    EXPECT_NEAR(SourceFloat(source, AL_GAIN), 0.8f * 0.5f, 1e-6f);
    EXPECT_EQ(SourceInt(source, AL_SOURCE_RELATIVE), AL_FALSE);
    EXPECT_EQ(SourceInt(source, AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_EQ(SourcePosition(source), Vector3(3.0f, 4.0f, -5.0f));

    Place(cog).SetPosition(Vector3(-7.0f, 1.0f, 2.0f));
    loom.Update();
    EXPECT_EQ(SourcePosition(source), Vector3(-7.0f, 1.0f, -2.0f));

    Send(cog, "StopSound", "Hit");
    EXPECT_EQ(SourceInt(source, AL_SOURCE_STATE), AL_STOPPED);
    EXPECT_TRUE(ChannelsOf(cog).empty());
}

TEST_F(SoundPlayerTest, TheGroupsOwnSoundComesFirstThenThePlainName)
{
    AudioLoom& loom = Start();
    Cog* goblin = Spawn("Emitter", Vector3());
    goblin->Get<SoundPlayer3D>()->SetSoundGroup("Goblin");
    Cog* troll = Spawn("Emitter", Vector3());
    troll->Get<SoundPlayer3D>()->SetSoundGroup("Troll");
    LogProbe log;
    Send(goblin, "PlaySound3D", "Hit");
    Send(troll, "PlaySound3D", "Hit");
    ASSERT_EQ(ChannelsOf(goblin).size(), 1u);
    ASSERT_EQ(ChannelsOf(troll).size(), 1u);
    EXPECT_EQ(ChannelsOf(goblin)[0].mSound, loom.GetBank().Find("Goblin.Hit"));
    EXPECT_EQ(ChannelsOf(troll)[0].mSound, loom.GetBank().Find("Hit"));
    EXPECT_EQ(log.Written(), 0u);
}

TEST_F(SoundPlayerTest, AnUnknownNameIsLoggedOncePerNameAndPlaysNothing)
{
    Start();
    Cog* cog = Spawn("Emitter", Vector3());
    LogProbe log;
    for (int i = 0; i < 3; ++i)
    {
        Send(cog, "PlaySound3D", "Roar");
        Send(cog, "StopSound", "Roar");
    }
    Send(cog, "PlaySound3D", "Squeak");
    EXPECT_TRUE(ChannelsOf(cog).empty());
    EXPECT_EQ(log.Count("no sound named Roar"), 1);
    EXPECT_EQ(log.Count("no sound named Squeak"), 1);
    EXPECT_EQ(log.Written(), 2u);
}

TEST_F(SoundPlayerTest, AFullPoolGivesTheFarthestOneShotToANearerSoundAndSkipsAFartherOne)
{
    ConfigFields fields;
    fields.mChannels = "4";
    WriteConfig(fields);
    AudioLoom& loom = Start();
    ASSERT_EQ(loom.GetChannels().size(), 4u);
    // The listener stays at the origin; a loop far away is never taken.
    Cog* loop = Spawn("Emitter", Vector3(0.0f, 0.0f, 400.0f));
    Cog* at10 = Spawn("Emitter", Vector3(10.0f, 0.0f, 0.0f));
    Cog* at20 = Spawn("Emitter", Vector3(0.0f, 20.0f, 0.0f));
    Cog* at30 = Spawn("Emitter", Vector3(0.0f, 0.0f, -30.0f));
    Send(loop, "PlaySound3D", "Hum");
    Send(at10, "PlaySound3D", "Hit");
    Send(at20, "PlaySound3D", "Hit");
    Send(at30, "PlaySound3D", "Hit");
    const ALuint farSource = ChannelsOf(at30).at(0).mSource;

    Cog* at40 = Spawn("Emitter", Vector3(40.0f, 0.0f, 0.0f));
    Send(at40, "PlaySound3D", "Hit");
    EXPECT_TRUE(ChannelsOf(at40).empty()) << "farther than every one-shot: skipped";

    Cog* at5 = Spawn("Emitter", Vector3(5.0f, 0.0f, 0.0f));
    Send(at5, "PlaySound3D", "Hit");
    ASSERT_EQ(ChannelsOf(at5).size(), 1u);
    EXPECT_EQ(ChannelsOf(at5)[0].mSource, farSource);
    EXPECT_TRUE(ChannelsOf(at30).empty());
    EXPECT_EQ(ChannelsOf(loop).size(), 1u);
    EXPECT_EQ(ChannelsOf(at10).size(), 1u);
    EXPECT_EQ(ChannelsOf(at20).size(), 1u);
    EXPECT_EQ(SourceInt(farSource, AL_SOURCE_STATE), AL_PLAYING);
}

TEST_F(SoundPlayerTest, ACogDestroyedInTheFrameItPlaysLetsItsOneShotPlayOutWhereItWasAndStopsItsLoop)
{
    AudioLoom& loom = Start();
    Cog* cog = Spawn("Emitter", Vector3(2.0f, 0.0f, 6.0f));
    Send(cog, "PlaySound3D", "Hit");
    Send(cog, "PlaySound3D", "Hum");
    const auto channels = ChannelsOf(cog);
    ASSERT_EQ(channels.size(), 2u);
    const ALuint oneShot = channels[0].mLoop ? channels[1].mSource : channels[0].mSource;
    const ALuint loop = channels[0].mLoop ? channels[0].mSource : channels[1].mSource;
    cog->Destroy();
    mCogs.ProcessDestroyList();
    loom.Update();
    EXPECT_EQ(SourceInt(oneShot, AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_EQ(SourcePosition(oneShot), Vector3(2.0f, 0.0f, -6.0f));
    EXPECT_EQ(SourceInt(loop, AL_SOURCE_STATE), AL_STOPPED);
    const auto busy = std::count_if(loom.GetChannels().begin(), loom.GetChannels().end(),
                                    [](const AudioLoom::Channel& c) { return c.mBusy; });
    EXPECT_EQ(busy, 1);
    // The played-out sound holds nothing of the dead cog.
    for (const AudioLoom::Channel& channel : loom.GetChannels())
        if (channel.mBusy)
        {
            EXPECT_EQ(channel.mOwner, nullptr);
            EXPECT_EQ(channel.mFollow, nullptr);
        }
}

TEST_F(SoundPlayerTest, SeededVariantsAreAllUsedAndNeverTwiceRunning)
{
    AudioLoom& loom = Start();
    Cog* cog = Spawn("Emitter", Vector3());
    const int32_t pick = loom.GetBank().Find("Pick");
    std::vector<ALint> buffers;
    for (const SoundVariant& variant : loom.GetBank().Entry(pick).mVariants)
        buffers.push_back(static_cast<ALint>(variant.mMonoBuffer));
    ASSERT_EQ(buffers.size(), 3u);
    for (uint32_t seed : {1u, 7u, 1234u})
    {
        RandomSeed(seed);
        std::vector<int> used(3, 0);
        ALint last = -1;
        for (int i = 0; i < 60; ++i)
        {
            Send(cog, "PlaySound3D", "Pick");
            const auto channels = ChannelsOf(cog);
            ASSERT_FALSE(channels.empty());
            const ALint buffer = SourceInt(channels.back().mSource, AL_BUFFER);
            const auto at = std::find(buffers.begin(), buffers.end(), buffer);
            ASSERT_NE(at, buffers.end());
            EXPECT_NE(buffer, last) << "seed " << seed << " play " << i;
            last = buffer;
            ++used[size_t(at - buffers.begin())];
            Send(cog, "StopSound", "Pick");
        }
        for (int count : used)
            EXPECT_GT(count, 0) << "seed " << seed;
    }
}

TEST_F(SoundPlayerTest, The2DPlayerPlaysAtTheListenerAndKeepsStereo)
{
    AudioLoom& loom = Start();
    Cog* speaker = mCogs.Create("Speaker");
    Send(speaker, "PlaySound2D", "Wide");
    auto channels = ChannelsOf(speaker, 20);
    ASSERT_EQ(channels.size(), 1u);
    const ALuint source = channels[0].mSource;
    EXPECT_EQ(SourceInt(source, AL_SOURCE_RELATIVE), AL_TRUE);
    ALint bufferChannels = 0;
    alGetBufferi(static_cast<ALuint>(SourceInt(source, AL_BUFFER)), AL_CHANNELS, &bufferChannels);
    EXPECT_EQ(bufferChannels, 2);
    // The same file played in the world is mixed to mono.
    Cog* emitter = Spawn("Emitter", Vector3());
    Send(emitter, "PlaySound3D", "Wide");
    alGetBufferi(static_cast<ALuint>(SourceInt(ChannelsOf(emitter).at(0).mSource, AL_BUFFER)), AL_CHANNELS,
                 &bufferChannels);
    EXPECT_EQ(bufferChannels, 1);
    Send(speaker, "StopSound", "Wide");
    EXPECT_EQ(SourceInt(source, AL_SOURCE_STATE), AL_STOPPED);
    EXPECT_EQ(ChannelsOf(emitter).size(), 1u) << "another cog's sound of the same name plays on";
    loom.Update();
}

TEST_F(SoundPlayerTest, TheLastListenerInitialisedPlacesTheEarsAndThePreviousTakesOverWhenItGoes)
{
    AudioLoom& loom = Start();
    Spawn("Ears", Vector3(1.0f, 2.0f, 3.0f));
    Cog* second = Spawn("Ears", Vector3(-4.0f, 5.0f, 6.0f));
    // Turned to face +x: OpenAL's forward is then +x as well, and up stays up.
    Place(second).SetDirection(Vector3(1.0f, 0.0f, 0.0f));
    loom.Update();
    Vector3 position;
    alGetListener3f(AL_POSITION, &position.x, &position.y, &position.z);
    EXPECT_EQ(position, Vector3(-4.0f, 5.0f, -6.0f));
    float orientation[6] = {};
    alGetListenerfv(AL_ORIENTATION, orientation);
    EXPECT_NEAR(orientation[0], 1.0f, 1e-5f);
    EXPECT_NEAR(orientation[2], 0.0f, 1e-5f);
    EXPECT_NEAR(orientation[4], 1.0f, 1e-5f);

    second->Destroy();
    mCogs.ProcessDestroyList();
    loom.Update();
    alGetListener3f(AL_POSITION, &position.x, &position.y, &position.z);
    EXPECT_EQ(position, Vector3(1.0f, 2.0f, -3.0f));
    alGetListenerfv(AL_ORIENTATION, orientation);
    EXPECT_NEAR(orientation[2], 1.0f, 1e-5f) << "unturned: the engine's -z forward is OpenAL's +z";
}

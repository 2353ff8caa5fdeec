#include <cmath>

#include "tests/audio/AudioTestSupport.h"

namespace {
constexpr int kRate = 44100;
constexpr uint32_t kBlock = kRate / 60;

class LoopbackTest : public AudioFixture
{
protected:
    void SetUp() override
    {
        AudioFixture::SetUp();
        WriteTone("tone.wav", 440.0, 1.0);
        WriteBank({{"Tone", {"tone.wav"}, 1.0f, true}});
    }

    // The RMS of each ear over a few blocks after the tone has settled in.
    std::pair<float, float> ToneLevels(AudioLoom& loom)
    {
        loom.Update();
        loom.RenderLoopback(kBlock);
        const std::vector<float> mix = loom.RenderLoopback(kBlock * 6);
        return {Rms(mix, 0), Rms(mix, 1)};
    }
};

// The longest run of silent frames (both ears).
size_t LongestSilence(const std::vector<float>& mix)
{
    size_t run = 0;
    size_t longest = 0;
    for (size_t i = 0; i + 1 < mix.size(); i += 2)
    {
        run = std::fabs(mix[i]) < 1e-6f && std::fabs(mix[i + 1]) < 1e-6f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}
} // namespace

TEST_F(LoopbackTest, AToneToTheListenersRightIsHeardInTheRightEar)
{
    WriteConfig();
    AudioLoom& loom = StartLoopback(kRate);
    Spawn("Ears", Vector3());
    // Right = Up x Forward: facing -z with y up, the right hand points to -x.
    Cog* cog = Spawn("Emitter", Vector3(-5.0f, 0.0f, 0.0f));
    Send(cog, "PlaySound3D", "Tone");
    const auto [left, right] = ToneLevels(loom);
    EXPECT_GT(right, 0.01f);
    EXPECT_GE(right, 4.0f * left) << "left " << left << " right " << right;

    // Moved to the left hand, the ears swap.
    Place(cog).SetPosition(Vector3(5.0f, 0.0f, 0.0f));
    const auto [left2, right2] = ToneLevels(loom);
    EXPECT_GE(left2, 4.0f * right2) << "left " << left2 << " right " << right2;
}

TEST_F(LoopbackTest, MasterVolumeScalesTheMixAndStopSoundSilencesItWithinOneBlock)
{
    float full = 0.0f;
    for (const char* master : {"1", "0.5"})
    {
        ConfigFields fields;
        fields.mMasterVolume = master;
        WriteConfig(fields);
        mCogs.DestroyAll();
        AudioLoom& loom = StartLoopback(kRate);
        Cog* speaker = mCogs.Create("Speaker");
        Send(speaker, "PlaySound2D", "Tone");
        const auto [left, right] = ToneLevels(loom);
        const float level = left + right;
        ASSERT_GT(level, 0.01f);
        if (full == 0.0f)
            full = level;
        else
            EXPECT_NEAR(level / full, 0.5f, 0.025f);

        Send(speaker, "StopSound", "Tone");
        loom.RenderLoopback(kBlock);
        const std::vector<float> after = loom.RenderLoopback(kBlock);
        EXPECT_EQ(LongestSilence(after), kBlock) << "master " << master;
    }
}

TEST_F(LoopbackTest, StreamedMusicPlaysWithoutDropoutsLoopsAndResumesAfterAStall)
{
    WriteConfig();
    // Three seconds of a tone that swells as the file goes on, over an offset that keeps it
    // from resting at zero: its level tells where in the file the stream is.
    std::vector<float> tone = ToneSamples(330.0, 3.0, 22050, 2, 1.0f);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.2f + tone[i] * (0.1f + 0.3f * float(i / 2) / (3.0f * 22050.0f));
    ASSERT_TRUE(WriteSound(mDir.Path("music.ogg"), tone, 22050, 2));
    AudioLoom& loom = StartLoopback(kRate);
    LogProbe log;
    loom.PlayMusic("music.ogg");
    ASSERT_TRUE(loom.GetMusic().IsPlaying());
    ASSERT_EQ(log.Written(), 0u);

    const size_t limit = size_t(kRate) / 1000;
    std::vector<float> all;
    // 4.5 s: past the end of the file, so the stream must have looped.
    for (int block = 0; block < 270; ++block)
    {
        loom.Update();
        const std::vector<float>& mix = loom.RenderLoopback(kBlock);
        all.insert(all.end(), mix.begin(), mix.end());
    }
    // The source starts at once; after that no run of silence over a millisecond.
    EXPECT_LE(LongestSilence(all), limit);
    const std::vector<float> tail(all.end() - kBlock * 2 * 30, all.end());
    EXPECT_GT(Rms(tail, 0), 0.05f);

    // A stall of 1.5 s drains the queue; the next Update goes on from where the sound stopped.
    const std::vector<float> stalled = loom.RenderLoopback(kRate * 3 / 2);
    size_t heard = stalled.size() / 2;
    while (heard > 0 && std::fabs(stalled[heard * 2 - 2]) < 1e-6f)
        --heard;
    ASSERT_GT(heard, size_t(kBlock));
    ASSERT_LT(heard, stalled.size() / 2) << "the queue ran dry";
    const std::vector<float> before(stalled.begin() + std::ptrdiff_t((heard - kBlock) * 2),
                                    stalled.begin() + std::ptrdiff_t(heard * 2));
    loom.Update();
    const std::vector<float> resumed = loom.RenderLoopback(kBlock);
    EXPECT_LE(LongestSilence(resumed), limit);
    EXPECT_NEAR(Rms(resumed, 0) / Rms(before, 0), 1.0f, 0.1f);
    const std::vector<float> opening(all.begin(), all.begin() + kBlock * 2);
    EXPECT_GT(Rms(resumed, 0), 1.3f * Rms(opening, 0)) << "not back at the start of the file";

    loom.StopMusic();
    loom.Update();
    loom.RenderLoopback(kBlock);
    EXPECT_EQ(LongestSilence(loom.RenderLoopback(kBlock)), kBlock);
}

TEST_F(LoopbackTest, MusicThatCannotPlayIsOneLogLine)
{
    WriteConfig();
    AudioLoom& loom = StartLoopback(kRate);
    mDir.Write("bad.ogg", "OggS and nothing more");
    for (const char* file : {"missing.ogg", "bad.ogg"})
    {
        LogProbe log;
        loom.PlayMusic(file);
        loom.Update();
        EXPECT_FALSE(loom.GetMusic().IsPlaying());
        EXPECT_EQ(log.Written(), 1u) << file;
        EXPECT_EQ(log.Count(std::string("PlayMusic: ") + file), 1) << file;
    }
}

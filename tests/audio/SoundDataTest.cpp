#include <complex>

#include "LOOM/math/RandomGenerator.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"
#include "audio/SoundDecoder.h"
#include "tests/audio/AudioTestSupport.h"

namespace {
class SoundDataTest : public AudioFixture
{
};

std::string Bytes(const TempDir& dir, const std::string& name) { return TempDir::Read(dir.Path(name)); }
} // namespace

TEST_F(SoundDataTest, WholeFilesDecodeToSixteenBitAndStereoMixesToMono)
{
    WriteTone("mono.wav", 440.0, 0.5);
    WriteTone("stereo.ogg", 440.0, 0.5, 2, 0.5f);
    WriteTone("stereo.flac", 440.0, 0.5, 2, 0.5f);
    DecodedSound mono;
    std::string error;
    ASSERT_TRUE(DecodeSound(Bytes(mDir, "mono.wav"), true, mono, error)) << error;
    EXPECT_EQ(mono.mChannels, 1);
    EXPECT_EQ(mono.mRate, 22050);
    EXPECT_EQ(mono.mSamples.size(), 11025u);
    // sin(2 pi 440 * 10 / 22050) * 0.5 * 32767, as the 16-bit writer rounds it.
    EXPECT_NEAR(mono.mSamples[10], 0.5 * 32767 * std::sin(2.0 * 3.14159265358979 * 440.0 * 10 / 22050), 2.0);

    DecodedSound kept, mixed;
    ASSERT_TRUE(DecodeSound(Bytes(mDir, "stereo.ogg"), false, kept, error)) << error;
    ASSERT_TRUE(DecodeSound(Bytes(mDir, "stereo.ogg"), true, mixed, error)) << error;
    EXPECT_EQ(kept.mChannels, 2);
    EXPECT_EQ(mixed.mChannels, 1);
    ASSERT_EQ(mixed.mSamples.size() * 2, kept.mSamples.size());
    for (size_t i = 0; i < mixed.mSamples.size(); i += 997)
        EXPECT_EQ(mixed.mSamples[i], (kept.mSamples[i * 2] + kept.mSamples[i * 2 + 1]) / 2) << i;

    DecodedSound lossless;
    ASSERT_TRUE(DecodeSound(Bytes(mDir, "stereo.flac"), false, lossless, error)) << error;
    EXPECT_EQ(lossless.mChannels, 2);
    ASSERT_EQ(lossless.mSamples.size(), 2u * 11025u);
    // The second channel was written at half the level of the first.
    EXPECT_NEAR(lossless.mSamples[20], lossless.mSamples[21] * 2, 2);
}

TEST_F(SoundDataTest, CutOrDamagedFilesAreRefusedWithAReasonAndNeverCrash)
{
    WriteTone("tone.wav", 440.0, 0.3);
    WriteTone("tone.ogg", 440.0, 0.3, 1, 0.5f);
    WriteTone("tone.flac", 440.0, 0.3, 1, 0.5f);
    for (const char* name : {"tone.wav", "tone.ogg", "tone.flac"})
    {
        const std::string whole = Bytes(mDir, name);
        ASSERT_GT(whole.size(), 200u);
        DecodedSound sound;
        std::string error;
        ASSERT_TRUE(DecodeSound(whole, true, sound, error)) << name << ": " << error;
        // Every cut of the file, in coarse steps, and the last few bytes.
        for (size_t keep = 0; keep < whole.size(); keep += keep + 1 < whole.size() - 8 ? 37 : 1)
        {
            error.clear();
            EXPECT_FALSE(DecodeSound(whole.substr(0, keep), true, sound, error)) << name << " cut to " << keep;
            EXPECT_FALSE(error.empty());
        }
        // Seeded damage: a few bytes changed anywhere. Either refused with a reason or decoded.
        RandomGenerator random(17);
        for (int round = 0; round < 300; ++round)
        {
            std::string damaged = whole;
            for (int i = 0; i < 1 + round % 4; ++i)
            {
                const size_t at = size_t(random.Next()) * size_t(RandomGenerator::kMax + 1) + size_t(random.Next());
                damaged[at % damaged.size()] = static_cast<char>(random.Next() & 0xff);
            }
            error.clear();
            if (!DecodeSound(damaged, true, sound, error))
                EXPECT_FALSE(error.empty());
            else
                EXPECT_FALSE(sound.mSamples.empty());
        }
    }
}

TEST_F(SoundDataTest, SettingsOutOfRangeAreBroughtBackWithOneLineEachAndABrokenFileKeepsTheDefaults)
{
    struct Case
    {
        const char* field;
        std::string ConfigFields::*member;
        const char* value;
        float expected;
    };
    const Case cases[] = {
        {"OpenTimeout", &ConfigFields::mOpenTimeout, "-1", 0.0f},
        {"OpenTimeout", &ConfigFields::mOpenTimeout, "99", 10.0f},
        {"MasterVolume", &ConfigFields::mMasterVolume, "2", 1.0f},
        {"SoundVolume", &ConfigFields::mSoundVolume, "-0.5", 0.0f},
        {"MusicVolume", &ConfigFields::mMusicVolume, "3", 1.0f},
        {"Channels", &ConfigFields::mChannels, "0", 1.0f},
        {"Channels", &ConfigFields::mChannels, "100000", 256.0f},
    };
    for (const Case& c : cases)
    {
        ConfigFields fields;
        fields.*c.member = c.value;
        mDir.Write("Config/AudioConfig.xml", ConfigXml(fields));
        AudioConfig config;
        LogProbe log;
        LoadAudioConfig(AudioConfig::kFileName, config);
        EXPECT_EQ(log.Written(), 1u) << c.field << " " << c.value;
        EXPECT_EQ(log.Count(std::string(c.field) + " "), 1) << c.field << " " << c.value;
        const float got = std::string(c.field) == "OpenTimeout" ? config.mOpenTimeout
            : std::string(c.field) == "MasterVolume"            ? config.mMasterVolume
            : std::string(c.field) == "SoundVolume"             ? config.mSoundVolume
            : std::string(c.field) == "MusicVolume"             ? config.mMusicVolume
                                                                : float(config.mChannels);
        EXPECT_FLOAT_EQ(got, c.expected) << c.field << " " << c.value;
    }

    ConfigFields fields;
    fields.mChannels = "12";
    std::string text = ConfigXml(fields);
    text.resize(text.find("SoundBank"));
    mDir.Write("Config/AudioConfig.xml", text);
    AudioConfig config;
    config.mChannels = 5;
    LogProbe log;
    LoadAudioConfig(AudioConfig::kFileName, config);
    EXPECT_EQ(log.Count("Config\\AudioConfig.xml is not correct"), 1);
    EXPECT_EQ(config.mChannels, 32) << "a half-read file is not used";
}

TEST_F(SoundDataTest, BadBankEntriesAreLoggedOneLineEachAndTheRestLoad)
{
    WriteTone("good.wav", 440.0, 0.2);
    WriteTone("other.wav", 300.0, 0.2);
    // The whole header, zeros and all: a bare literal would end at the first zero.
    mDir.Write("broken.wav", std::string("RIFF\x10\0\0\0WAVEjunk", 16));
    WriteBank({{"Good", {"good.wav"}},
               {"Partly", {"missing.wav", "other.wav"}},
               {"Broken", {"broken.wav"}},
               {"", {"good.wav"}},
               {"Good", {"other.wav"}},
               {"Backwards", {"good.wav"}, 1.0f, false, 50.0f, 10.0f},
               {"Empty", {}}});
    SoundBank bank;
    LogProbe log;
    bank.Load("Config/SoundBank.xml");
    EXPECT_EQ(bank.Size(), 2u);
    EXPECT_GE(bank.Find("Good"), 0);
    ASSERT_GE(bank.Find("Partly"), 0);
    EXPECT_EQ(bank.Entry(bank.Find("Partly")).mVariants.size(), 1u);
    EXPECT_EQ(bank.Entry(bank.Find("Good")).mVariants.at(0).mFile, "good.wav");
    for (const char* piece : {"missing.wav of Partly", "broken.wav of Broken", "Broken has no file", "without a name",
                              "Good is named twice", "Backwards needs", "Empty has no file"})
        EXPECT_EQ(log.Count(piece), 1) << piece;
    EXPECT_EQ(log.Written(), 7u);
}

TEST_F(SoundDataTest, TheShippedSettingsAndBankLoadWithoutAFault)
{
    SetDataPath(std::string(LOOM_TEST_DATA) + "/../../data/");
    LogProbe log;
    AudioConfig config;
    LoadAudioConfig(AudioConfig::kFileName, config);
    SoundBank bank;
    bank.Load(config.mSoundBank);
    EXPECT_EQ(log.Written(), 0u);
    for (const char* name : {"Hit", "Throw", "Activate", "Deactivate", "Explode", "Attack", "Special", "Special1",
                             "Special2", "Death", "Poof"})
        EXPECT_GE(bank.Find(name), 0) << name;
    for (const char* name : {"Hit", "Attack", "Death"})
        EXPECT_EQ(bank.Entry(bank.Find(name)).mVariants.size(), 2u) << name;
    std::string music;
    ASSERT_TRUE(ReadWholeFile(DataFilePath("Music/Theme.ogg"), music));
    DecodedSound decoded;
    std::string error;
    EXPECT_TRUE(DecodeSound(music, false, decoded, error)) << error;
}

TEST_F(SoundDataTest, TheShippedSettingsSaveBackByteForByteAndThePlayersGroupRoundTrips)
{
    const std::string shipped = std::string(LOOM_TEST_DATA) + "/../../data/Config/AudioConfig.xml";
    SetDataPath("");
    AudioConfig config;
    LoadAudioConfig(shipped, config);
    {
        XMLSaver saver(mDir.Path("saved.xml"));
        SerializeElement(saver, "AudioConfig", TypeElement, config);
    }
    EXPECT_EQ(TempDir::Read(mDir.Path("saved.xml")), TempDir::Read(shipped));

    SoundPlayer3D player;
    player.SetSoundGroup("Goblin");
    {
        XMLSaver saver(mDir.Path("player.xml"));
        saver.SerializeObject(player);
    }
    EXPECT_NE(TempDir::Read(mDir.Path("player.xml")).find("<string name=\"SoundGroup\">Goblin</string>"),
              std::string::npos);
    SoundPlayer3D loaded;
    XMLLoader loader;
    ASSERT_TRUE(loader.Open(mDir.Path("player.xml")));
    loader.SerializeObject(loaded);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(loaded.GetSoundGroup(), "Goblin");
}

namespace {
// In-place radix-2 transform of a power-of-two length; inverse without the 1/n scale.
void Transform(std::vector<std::complex<double>>& a, bool inverse)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1)
    {
        const double angle = 2.0 * 3.14159265358979323846 / double(length) * (inverse ? 1.0 : -1.0);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += length)
        {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < length / 2; ++k)
            {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + length / 2] * w;
                a[i + k] = u + v;
                a[i + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
}
} // namespace

// The game's music plays in a loop: the shipped theme, decoded as the game decodes it, lasts
// more than a minute, and no stretch of it comes back unchanged after less than half a minute
// (a loop of a few seconds correlates at 1 with itself one period on).
TEST_F(SoundDataTest, TheShippedThemeLastsOverAMinuteWithoutAShortRepeat)
{
    DecodedSound theme;
    std::string error;
    ASSERT_TRUE(DecodeSound(TempDir::Read(LOOM_TEST_DATA "/../../data/Music/Theme.ogg"), true, theme, error)) << error;
    ASSERT_GT(theme.mRate, 0);
    const double seconds = double(theme.mSamples.size()) / theme.mRate;
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 120.0);

    // Four samples averaged into one keep the tones under 2.7 kHz and make the transform small.
    const size_t factor = 4;
    const double rate = double(theme.mRate) / factor;
    std::vector<double> x(theme.mSamples.size() / factor);
    double mean = 0.0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        for (size_t k = 0; k < factor; ++k)
            x[i] += theme.mSamples[i * factor + k];
        mean += x[i] / double(x.size());
    }
    for (double& v : x)
        v -= mean;
    const size_t maxLag = std::min(x.size() / 2, size_t(30.0 * rate));
    size_t n = 1;
    while (n < x.size() + maxLag)
        n <<= 1;
    std::vector<std::complex<double>> spectrum(n);
    for (size_t i = 0; i < x.size(); ++i)
        spectrum[i] = x[i];
    Transform(spectrum, false);
    for (auto& c : spectrum)
        c = std::norm(c);
    Transform(spectrum, true);
    // The overlap's energy on each side, from running sums.
    std::vector<double> energy(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        energy[i + 1] = energy[i] + x[i] * x[i];
    double worst = 0.0;
    size_t worstLag = 0;
    for (size_t lag = size_t(0.2 * rate); lag <= maxLag; ++lag)
    {
        const double head = energy[x.size() - lag];
        const double tail = energy[x.size()] - energy[lag];
        if (head <= 0.0 || tail <= 0.0)
            continue;
        const double r = spectrum[lag].real() / double(n) / std::sqrt(head * tail);
        if (r > worst)
        {
            worst = r;
            worstLag = lag;
        }
    }
    EXPECT_LT(worst, 0.5) << "the theme repeats itself after " << double(worstLag) / rate << " s";
}

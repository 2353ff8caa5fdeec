// Sounds by message on the null device: each frame 32 moving cogs stop and play "Hit" through
// "StopSound" / "PlaySound3D", then the loom's Update follows them; the reference makes the same
// OpenAL calls on 32 bare sources. Both run in one benchmark, which reports their ratio and the
// allocations per sound played.
#include <AL/al.h>
#include <sndfile.h>
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "audio/AudioLoom.h"
#include "audio/SoundComponents.h"
#include "bench/BenchCogs.h"
#include "bench/CountingNew.h"

namespace {
constexpr int kSources = 32;
using Clock = std::chrono::steady_clock;

// A data folder with the settings, a one-sound bank and its tone.
std::filesystem::path MakeData()
{
    std::filesystem::path root = std::filesystem::temp_directory_path() / "loom_audio_bench";
    std::filesystem::create_directories(root / "Config");
    std::ofstream(root / "Config" / "AudioConfig.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<AudioConfig>\n"
           "\t\t<bool name=\"Enabled\">true</bool>\n\t\t<string name=\"DeviceName\"></string>\n"
           "\t\t<real name=\"OpenTimeout\">1</real>\n\t\t<int name=\"Channels\">32</int>\n"
           "\t\t<real name=\"MasterVolume\">1</real>\n\t\t<real name=\"SoundVolume\">1</real>\n"
           "\t\t<real name=\"MusicVolume\">1</real>\n\t\t<file name=\"SoundBank\">Config\\SoundBank.xml</file>\n"
           "\t\t<string name=\"CDDevice\">/dev/null</string>\n\t</AudioConfig>\n</Stream>\n";
    std::ofstream(root / "Config" / "SoundBank.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<SoundBank>\n"
           "\t\t<list name=\"Sounds\" size=\"1\" type=\"Sound\">\n\t\t\t<Sound>\n"
           "\t\t\t\t<string name=\"Name\">Hit</string>\n"
           "\t\t\t\t<list name=\"Files\" size=\"1\" type=\"file\">\n\t\t\t\t\t<file>tone.wav</file>\n\t\t\t\t</list>\n"
           "\t\t\t\t<real name=\"Volume\">1</real>\n\t\t\t\t<bool name=\"Loop\">false</bool>\n"
           "\t\t\t\t<real name=\"ReferenceDistance\">10</real>\n\t\t\t\t<real name=\"MaxDistance\">500</real>\n"
           "\t\t\t</Sound>\n\t\t</list>\n\t</SoundBank>\n</Stream>\n";
    std::vector<float> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * float(std::sin(2.0 * 3.14159265358979 * 440.0 * double(i) / 22050.0));
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    if (SNDFILE* file = sf_open((root / "tone.wav").string().c_str(), SFM_WRITE, &info))
    {
        sf_writef_float(file, tone.data(), sf_count_t(tone.size()));
        sf_close(file);
    }
    return root;
}

void BM_PlaySound3DAndUpdateVersusBareOpenAL(benchmark::State& state)
{
    setenv("ALSOFT_DRIVERS", "null", 0);
    const std::filesystem::path root = MakeData();
    SetDataPath(root.string() + "/");
    ParamBuffer::AllocatePool(8);

    CogFactory cogs;
    RegisterPositional(cogs);
    RegisterAudioComponents(cogs);
    MakeType(cogs, "Emitter", {1, 21});

    std::unique_ptr<AudioLoom> loom(AudioLoom::Create());
    loom->Init();
    if (!loom->HasDevice())
    {
        state.SkipWithError("no sound device");
        return;
    }
    std::vector<Cog*> emitters;
    std::vector<Positional*> places;
    for (int i = 0; i < kSources; ++i)
    {
        emitters.push_back(cogs.Create("Emitter"));
        places.push_back(emitters.back()->Get<Positional>());
    }
    std::vector<ALuint> bare(kSources);
    alGenSources(kSources, bare.data());
    const ALuint buffer = loom->GetBank().Entry(0).mVariants[0].mMonoBuffer;
    const std::string hit = "Hit";

    double engineSeconds = 0.0;
    double bareSeconds = 0.0;
    long allocations = 0;
    float t = 0.0f;
    for (auto _ : state)
    {
        t += 0.01f;
        const long before = gAllocations.load();
        const auto engineStart = Clock::now();
        for (int i = 0; i < kSources; ++i)
        {
            places[size_t(i)]->StorePosition(Vector3(std::cos(t + float(i)) * 20.0f, 0.0f, std::sin(t) * 20.0f));
            ParamBuffer stop;
            stop.PushStdString(hit);
            emitters[size_t(i)]->CallFunction("StopSound", stop);
            ParamBuffer play;
            play.PushStdString(hit);
            emitters[size_t(i)]->CallFunction("PlaySound3D", play);
        }
        loom->Update();
        const auto bareStart = Clock::now();
        allocations += gAllocations.load() - before;
        for (int i = 0; i < kSources; ++i)
        {
            const ALuint source = bare[size_t(i)];
            alSourceStop(source);
            alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
            alSourcef(source, AL_GAIN, 1.0f);
            alSourcei(source, AL_LOOPING, AL_FALSE);
            alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
            alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
            alSourcef(source, AL_REFERENCE_DISTANCE, 10.0f);
            alSourcef(source, AL_MAX_DISTANCE, 500.0f);
            alSource3f(source, AL_POSITION, std::cos(t + float(i)) * 20.0f, 0.0f, -std::sin(t) * 20.0f);
            alSourcePlay(source);
        }
        for (int i = 0; i < kSources; ++i)
        {
            alSource3f(bare[size_t(i)], AL_POSITION, std::cos(t + float(i)) * 20.0f, 0.0f, -std::sin(t) * 20.0f);
            ALint playing = 0;
            alGetSourcei(bare[size_t(i)], AL_SOURCE_STATE, &playing);
            benchmark::DoNotOptimize(playing);
        }
        const auto end = Clock::now();
        engineSeconds += std::chrono::duration<double>(bareStart - engineStart).count();
        bareSeconds += std::chrono::duration<double>(end - bareStart).count();
    }
    const double frames = double(state.iterations() ? state.iterations() : 1);
    state.counters["engine_us"] = engineSeconds / frames * 1e6;
    state.counters["bare_openal_us"] = bareSeconds / frames * 1e6;
    state.counters["ratio"] = bareSeconds > 0.0 ? engineSeconds / bareSeconds : 0.0;
    state.counters["allocs_per_play"] = double(allocations) / (frames * kSources);

    alDeleteSources(kSources, bare.data());
    cogs.DestroyAll();
    loom.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_PlaySound3DAndUpdateVersusBareOpenAL)->Unit(benchmark::kMicrosecond);
} // namespace

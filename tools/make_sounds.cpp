// Writes the game's sound effects as 22,050 Hz mono 16-bit WAV files and its music loop as an
// Ogg Vorbis file, all synthesised, so that every run gives the same bytes.
// Usage: make_sounds [data folder]   (writes <folder>/Sounds/*.wav and <folder>/Music/Theme.ogg)
#include <sndfile.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {
constexpr int32_t kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// A fixed noise source: the same numbers on every machine.
class Noise
{
public:
    explicit Noise(uint32_t seed) : mState(seed) {}
    double Next()
    {
        mState = mState * 1664525u + 1013904223u;
        return double(mState >> 8) / double(1u << 23) - 1.0;
    }

private:
    uint32_t mState;
};

using Shape = std::function<double(double t, double length)>;

// Every effect leaves here at this peak: the bank's volumes, not the shapes, set how loud each is
// against the music.
constexpr float kEffectPeak = 0.9f;

std::vector<float> Render(double seconds, const Shape& shape)
{
    const size_t count = size_t(seconds * kRate);
    std::vector<float> out(count);
    float peak = 0.0f;
    for (size_t i = 0; i < count; ++i)
    {
        out[i] = float(shape(double(i) / kRate, seconds));
        peak = std::max(peak, std::fabs(out[i]));
    }
    if (peak > 0.0f)
        for (float& sample : out)
            sample *= kEffectPeak / peak;
    // A few milliseconds of fade at both ends keep the edges from clicking.
    const size_t fade = std::min<size_t>(count / 4, kRate / 200);
    for (size_t i = 0; i < fade; ++i)
    {
        const float g = float(i) / float(fade);
        out[i] *= g;
        out[count - 1 - i] *= g;
    }
    return out;
}

double Sine(double frequency, double t) { return std::sin(2.0 * kPi * frequency * t); }

// A tone whose frequency glides from f0 to f1 over the length, with the phase kept continuous.
double Glide(double f0, double f1, double t, double length)
{
    const double k = (f1 - f0) / length;
    return std::sin(2.0 * kPi * (f0 * t + 0.5 * k * t * t));
}

// Low-passed noise: a one-pole filter over a fixed noise stream.
Shape NoiseBurst(uint32_t seed, double smoothing, double decay, double level)
{
    auto noise = std::make_shared<Noise>(seed);
    auto last = std::make_shared<double>(0.0);
    return [=](double t, double) {
        *last += (noise->Next() - *last) * smoothing;
        return level * *last * std::exp(-t * decay);
    };
}

bool WriteWav(const std::string& path, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
    {
        std::fprintf(stderr, "make_sounds: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const sf_count_t written = sf_writef_float(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    return written == sf_count_t(samples.size());
}

// libsndfile picks a random stream serial; encoding here keeps it fixed.
bool WriteOgg(const std::string& path, const std::vector<float>& left, const std::vector<float>& right)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
    {
        std::fprintf(stderr, "make_sounds: cannot write %s\n", path.c_str());
        return false;
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, kRate, 0.3f) != 0)
    {
        std::fclose(out);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x4c6f6f6d);

    ogg_page page;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    auto writePage = [&] {
        std::fwrite(page.header, 1, size_t(page.header_len), out);
        std::fwrite(page.body, 1, size_t(page.body_len), out);
    };
    while (ogg_stream_flush(&os, &page) != 0)
        writePage();

    const size_t block = 1024;
    size_t at = 0;
    bool ended = false;
    while (!ended)
    {
        const size_t n = std::min(block, left.size() - at);
        if (n == 0)
            vorbis_analysis_wrote(&vd, 0);
        else
        {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i)
            {
                buffer[0][i] = left[at + i];
                buffer[1][i] = right[at + i];
            }
            vorbis_analysis_wrote(&vd, int(n));
            at += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1)
        {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet))
            {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0)
                {
                    writePage();
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(out) == 0;
}

// Four bars of a slow minor arpeggio over a bass line; the last note leads back to the first.
void Music(std::vector<float>& left, std::vector<float>& right)
{
    const double beat = 0.25;
    const double notes[] = {220.0,  261.63, 329.63, 261.63, 196.0,  246.94, 293.66, 246.94,
                            174.61, 220.0,  261.63, 220.0,  164.81, 207.65, 246.94, 329.63};
    const double bass[] = {110.0, 98.0, 87.31, 82.41};
    const size_t count = size_t(16 * beat * kRate);
    left.assign(count, 0.0f);
    right.assign(count, 0.0f);
    for (size_t i = 0; i < count; ++i)
    {
        const double t = double(i) / kRate;
        const size_t n = size_t(t / beat);
        const double inNote = t - double(n) * beat;
        const double lead = Sine(notes[n], t) * std::exp(-inNote * 6.0) * 0.35;
        const double low = Sine(bass[n / 4], t) * 0.25;
        // The lead leans left on even notes and right on odd ones.
        const double pan = n % 2 ? 0.7 : 0.3;
        left[i] = float(lead * (1.0 - pan) * 1.4 + low);
        right[i] = float(lead * pan * 1.4 + low);
    }
}
} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path root = argc > 1 ? argv[1] : "data";
    std::filesystem::create_directories(root / "Sounds");
    std::filesystem::create_directories(root / "Music");

    struct Effect
    {
        const char* name;
        double seconds;
        Shape shape;
    };
    const Effect effects[] = {
        {"Hit1", 0.25,
         [](double t, double) { return Sine(140.0 * std::exp(-t * 6.0), t) * std::exp(-t * 18.0) * 0.8; }},
        {"Hit2", 0.25,
         [](double t, double) { return Sine(180.0 * std::exp(-t * 5.0), t) * std::exp(-t * 16.0) * 0.8; }},
        {"Throw", 0.4, NoiseBurst(7, 0.15, -2.0, 0.15)},
        {"Activate", 0.35, [](double t, double l) { return Glide(300.0, 900.0, t, l) * 0.5; }},
        {"Deactivate", 0.35, [](double t, double l) { return Glide(900.0, 300.0, t, l) * 0.5; }},
        {"Explode", 1.0, NoiseBurst(11, 0.08, 4.0, 1.6)},
        {"Attack1", 0.2, [](double t, double) { return (Sine(220.0, t) > 0 ? 0.4 : -0.4) * std::exp(-t * 10.0); }},
        {"Attack2", 0.2, [](double t, double) { return (Sine(247.0, t) > 0 ? 0.4 : -0.4) * std::exp(-t * 10.0); }},
        {"Special", 0.5, [](double t, double) { return Sine(440.0 + 60.0 * Sine(8.0, t), t) * 0.4; }},
        {"Special1", 0.5,
         [](double t, double l) { return Glide(200.0, 600.0, t, l) * (0.6 + 0.4 * Sine(12.0, t)) * 0.4; }},
        {"Special2", 0.5,
         [](double t, double l) { return Glide(600.0, 150.0, t, l) * (0.6 + 0.4 * Sine(9.0, t)) * 0.4; }},
        {"Death1", 0.6, [](double t, double l) { return Glide(500.0, 120.0, t, l) * std::exp(-t * 2.0) * 0.5; }},
        {"Death2", 0.6, [](double t, double l) { return Glide(420.0, 90.0, t, l) * std::exp(-t * 2.5) * 0.5; }},
        {"Poof", 0.3, NoiseBurst(23, 0.3, 12.0, 0.6)},
        {"Click", 0.06, [](double t, double) { return Sine(1200.0, t) * std::exp(-t * 60.0); }},
    };
    for (const Effect& effect : effects)
    {
        const std::string path = (root / "Sounds" / (std::string(effect.name) + ".wav")).string();
        if (!WriteWav(path, Render(effect.seconds, effect.shape)))
            return 1;
    }
    std::vector<float> left, right;
    Music(left, right);
    if (!WriteOgg((root / "Music" / "Theme.ogg").string(), left, right))
        return 1;
    std::printf("make_sounds: wrote %zu sounds and the music to %s\n", std::size(effects), root.string().c_str());
    return 0;
}

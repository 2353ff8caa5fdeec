// Writes the game's sound effects as 22,050 Hz mono 16-bit WAV files and its music as an
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

// The theme: forty bars in A minor at 96 beats a minute, five sections of eight bars with their own
// chords, arpeggio, bass line and drums, and a lead whose phrases are drawn bar by bar from a fixed
// seed, so that no stretch shorter than the whole repeats when the game loops it. The last chord
// is the dominant, which leads back to the first.
class Theme
{
public:
    static constexpr double kBeat = 60.0 / 96.0;
    static constexpr double kBar = 4.0 * kBeat;
    static constexpr int kBarsPerSection = 8;
    static constexpr int kSections = 5;
    // The mix's loudest sample, as the first loop had it: the effects are balanced against it.
    static constexpr float kPeak = 0.6f;

    void Render(std::vector<float>& left, std::vector<float>& right)
    {
        const double seconds = kBar * kBarsPerSection * kSections;
        const size_t count = size_t(seconds * kRate);
        mLeft.assign(count, 0.0);
        mRight.assign(count, 0.0);
        for (int section = 0; section < kSections; ++section)
            for (int bar = 0; bar < kBarsPerSection; ++bar)
                Bar(section, bar, (section * kBarsPerSection + bar) * kBar);
        double peak = 0.0;
        for (size_t i = 0; i < count; ++i)
            peak = std::max({peak, std::fabs(mLeft[i]), std::fabs(mRight[i])});
        left.resize(count);
        right.resize(count);
        const size_t fade = kRate / 100;
        for (size_t i = 0; i < count; ++i)
        {
            // A few milliseconds of fade at both ends keep the loop's seam from clicking.
            const double edge = std::min({1.0, double(i) / double(fade), double(count - 1 - i) / double(fade)});
            const double g = peak > 0.0 ? kPeak / peak * edge : 0.0;
            left[i] = float(mLeft[i] * g);
            right[i] = float(mRight[i] * g);
        }
    }

private:
    enum class Voice
    {
        Pad,
        Pluck,
        Lead,
        Bass
    };
    struct Section
    {
        // Chords, one a bar: 0 Am, 1 C, 2 Dm, 3 Em, 4 E, 5 F, 6 G.
        int chords[kBarsPerSection];
        // Arpeggio steps a bar (8 or 16), its pattern of chord-tone indices and its octave lift.
        int arpSteps;
        int arpPattern[16];
        int arpOctave;
        // Bass pattern: 0 whole notes, 1 roots on each beat with the octave on the third, 2 eighth
        // pulse, 3 half notes, 4 root and fifth.
        int bass;
        // Drums: 0 none, 1 kick on one and three, 2 kick and off-beat hats, 3 hats only.
        int drums;
        // Bars from which the lead plays, its octave and its seed.
        int leadFrom;
        int leadOctave;
        uint32_t seed;
    };
    static constexpr Section kSectionTable[kSections] = {
        {{0, 0, 5, 5, 1, 1, 6, 4}, 8, {0, 1, 2, 1, 0, 1, 2, 1}, 0, 0, 0, 4, 0, 17},
        {{0, 5, 1, 6, 0, 5, 4, 4}, 8, {0, 2, 1, 2, 0, 2, 1, 2}, 0, 1, 1, 0, 0, 29},
        {{1, 6, 0, 3, 5, 1, 2, 6}, 16, {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 2, 1, 3}, 1, 2, 2, 0, 12, 41},
        {{2, 0, 2, 0, 5, 6, 4, 4}, 8, {2, 1, 0, 1, 2, 1, 0, 1}, -1, 3, 3, 4, 12, 53},
        {{5, 6, 3, 0, 2, 6, 1, 4}, 16, {0, 2, 1, 3, 0, 2, 1, 3, 2, 0, 3, 1, 2, 0, 3, 1}, 0, 4, 2, 0, 0, 67},
    };

    // The chords as MIDI notes around middle C, and their roots an octave or so lower for the bass.
    static constexpr int kChords[7][3] = {{57, 60, 64}, {55, 60, 64}, {53, 57, 62}, {55, 59, 64},
                                          {56, 59, 64}, {53, 57, 60}, {55, 59, 62}};
    static constexpr int kRoots[7] = {45, 48, 50, 52, 52, 53, 43};
    static double Frequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

    void Bar(int sectionIndex, int bar, double start)
    {
        const Section& section = kSectionTable[sectionIndex];
        const int chord = section.chords[bar];
        const int* tones = kChords[chord];
        // The pad holds the chord, overlapping the next bar a little for a smooth change.
        for (int i = 0; i < 3; ++i)
            Note(Voice::Pad, start, kBar, tones[i], 0.09, 0.35 + 0.15 * i);
        // The arpeggio.
        const double step = kBar / section.arpSteps;
        for (int i = 0; i < section.arpSteps; ++i)
        {
            const int index = section.arpPattern[i % 16];
            const int note = (index == 3 ? tones[1] + 12 : tones[index]) + 12 * section.arpOctave;
            const double accent = i % 4 == 0 ? 1.0 : 0.75;
            Note(Voice::Pluck, start + i * step, step * 1.8, note, 0.16 * accent, i % 2 ? 0.7 : 0.3);
        }
        // The bass.
        const int root = kRoots[chord];
        switch (section.bass)
        {
        case 0:
            Note(Voice::Bass, start, kBar * 0.95, root, 0.3, 0.5);
            break;
        case 1:
            for (int b = 0; b < 4; ++b)
                Note(Voice::Bass, start + b * kBeat, kBeat * 0.9, root + (b == 2 ? 12 : 0), 0.28, 0.5);
            break;
        case 2:
            for (int e = 0; e < 8; ++e)
                Note(Voice::Bass, start + e * kBeat / 2, kBeat * 0.4, root + (e == 7 ? 7 : 0), e % 2 ? 0.18 : 0.26,
                     0.5);
            break;
        case 3:
            Note(Voice::Bass, start, kBeat * 1.9, root, 0.3, 0.5);
            Note(Voice::Bass, start + 2 * kBeat, kBeat * 1.9, root + (bar % 2 ? 7 : 0), 0.26, 0.5);
            break;
        default:
            for (int b = 0; b < 4; ++b)
                Note(Voice::Bass, start + b * kBeat, kBeat * 0.8, root + (b % 2 ? 7 : 0), 0.27, 0.5);
            break;
        }
        Drums(section.drums, sectionIndex, bar, start);
        if (bar >= section.leadFrom)
            Lead(section, bar, start, tones);
    }

    // One bar of the lead: a rhythm from a small set and a walk over the scale that starts on a
    // chord tone, both drawn from the section's seed and the bar.
    void Lead(const Section& section, int bar, double start, const int* tones)
    {
        static constexpr int kRhythms[8][6] = {{2, 2, 2, 2, 0, 0}, {3, 1, 2, 2, 0, 0}, {4, 2, 2, 0, 0, 0},
                                               {1, 1, 2, 4, 0, 0}, {2, 1, 1, 4, 0, 0}, {6, 2, 0, 0, 0, 0},
                                               {2, 2, 4, 0, 0, 0}, {1, 1, 1, 1, 2, 2}};
        // A minor's notes from A3 up two octaves; G sharp stands in for G over the E major chord.
        static constexpr int kScale[15] = {57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81};
        Noise random(section.seed * 977u + uint32_t(bar) * 131u);
        auto pick = [&](int n) { return int((random.Next() + 1.0) * 0.5 * n) % n; };
        const int* rhythm = kRhythms[pick(8)];
        // Start on a chord tone in the lead's range (E for the G sharp, which the scale lacks); an
        // octave up, the lead keeps under C6.
        const int top = section.leadOctave > 0 ? 9 : 14;
        int degree = 4;
        const int target = tones[pick(3)];
        for (int d = 4; d <= top; ++d)
            if (kScale[d] % 12 == target % 12)
            {
                degree = d;
                break;
            }
        double at = start;
        const bool sharpG = tones[0] == 56;
        for (int i = 0; i < 6 && rhythm[i] != 0; ++i)
        {
            const double length = rhythm[i] * kBeat / 2.0;
            int note = kScale[degree];
            if (sharpG && note % 12 == 7)
                ++note;
            // Now and then a rest in place of a short note, so phrases breathe.
            if (!(rhythm[i] == 1 && pick(4) == 0))
                Note(Voice::Lead, at, length * 0.92, note + section.leadOctave, 0.2, 0.45 + 0.1 * pick(3));
            at += length;
            const int moves[6] = {-2, -1, -1, 1, 1, 2};
            degree = std::clamp(degree + moves[pick(6)], 2, top);
        }
    }

    void Drums(int kind, int section, int bar, double start)
    {
        if (kind == 0)
            return;
        Noise random(uint32_t(section * 100 + bar + 1));
        for (int e = 0; e < 8; ++e)
        {
            const double at = start + e * kBeat / 2;
            if ((kind == 1 || kind == 2) && (e == 0 || e == 4 || (kind == 2 && e == 7 && bar % 2)))
                Kick(at);
            if ((kind == 2 && e % 2 == 1) || (kind == 3 && (e % 2 == 1 || random.Next() > 0.4)))
                Hat(at, random.Next(), e % 4 == 3 ? 0.05 : 0.035);
        }
    }

    void Kick(double start)
    {
        const size_t first = size_t(start * kRate);
        const size_t length = size_t(0.3 * kRate);
        double phase = 0.0;
        for (size_t i = 0; i < length && first + i < mLeft.size(); ++i)
        {
            const double t = double(i) / kRate;
            phase += 2.0 * kPi * (48.0 + 70.0 * std::exp(-t * 30.0)) / kRate;
            const double v = std::sin(phase) * std::exp(-t * 11.0) * 0.25;
            mLeft[first + i] += v;
            mRight[first + i] += v;
        }
    }

    void Hat(double start, double seed, double level)
    {
        Noise noise(uint32_t((seed + 1.0) * 1e6));
        const size_t first = size_t(start * kRate);
        const size_t length = size_t(0.08 * kRate);
        double low = 0.0;
        for (size_t i = 0; i < length && first + i < mLeft.size(); ++i)
        {
            const double t = double(i) / kRate;
            const double n = noise.Next();
            low += (n - low) * 0.3;
            const double v = (n - low) * std::exp(-t * 45.0) * level;
            mLeft[first + i] += v * 0.6;
            mRight[first + i] += v * 1.0;
        }
    }

    // One note of a voice: its envelope and timbre, panned between left (0) and right (1).
    void Note(Voice voice, double start, double length, int midi, double level, double pan)
    {
        const double f = Frequency(midi);
        double attack = 0.005, release = 0.03;
        switch (voice)
        {
        case Voice::Pad:
            attack = 0.35;
            release = 0.45;
            break;
        case Voice::Lead:
            attack = 0.02;
            release = 0.08;
            break;
        case Voice::Bass:
            attack = 0.01;
            release = 0.06;
            break;
        case Voice::Pluck:
            break;
        }
        const size_t first = size_t(start * kRate);
        const size_t count = size_t((length + release) * kRate);
        const double leftGain = std::sqrt(1.0 - pan);
        const double rightGain = std::sqrt(pan);
        double phase = 0.0;
        double phase2 = 0.0;
        for (size_t i = 0; i < count && first + i < mLeft.size(); ++i)
        {
            const double t = double(i) / kRate;
            double env = std::min(1.0, t / attack);
            if (t > length)
                env *= std::max(0.0, 1.0 - (t - length) / release);
            double v = 0.0;
            switch (voice)
            {
            case Voice::Pad:
            {
                // Two slightly detuned oscillators with a few harmonics each: a soft chorus.
                phase += 2.0 * kPi * f / kRate;
                phase2 += 2.0 * kPi * f * 1.003 / kRate;
                v = 0.5 * (Harmonics(phase, 0.5, 0.3) + Harmonics(phase2, 0.5, 0.3));
                break;
            }
            case Voice::Pluck:
                phase += 2.0 * kPi * f / kRate;
                v = Harmonics(phase, 0.4, 0.15) * std::exp(-t * 5.0);
                break;
            case Voice::Lead:
            {
                // Vibrato once the note has sounded a moment.
                const double depth = t > 0.15 ? 0.004 * std::min(1.0, (t - 0.15) / 0.2) : 0.0;
                phase += 2.0 * kPi * f * (1.0 + depth * std::sin(2.0 * kPi * 5.0 * t)) / kRate;
                v = (std::sin(phase) + 0.2 * std::sin(3.0 * phase) + 0.06 * std::sin(5.0 * phase)) *
                    (0.85 + 0.15 * std::exp(-t * 3.0));
                break;
            }
            case Voice::Bass:
                phase += 2.0 * kPi * f / kRate;
                v = (std::sin(phase) + 0.3 * std::sin(2.0 * phase)) * (0.7 + 0.3 * std::exp(-t * 4.0));
                break;
            }
            v *= env * level;
            mLeft[first + i] += v * leftGain;
            mRight[first + i] += v * rightGain;
        }
    }

    // The fundamental with its second and third harmonics, from one sine and cosine.
    static double Harmonics(double phase, double second, double third)
    {
        const double s = std::sin(phase);
        const double c = std::cos(phase);
        const double s2 = 2.0 * s * c;
        const double s3 = s * (3.0 - 4.0 * s * s);
        return s + second * s2 + third * s3;
    }

    std::vector<double> mLeft;
    std::vector<double> mRight;
};

void Music(std::vector<float>& left, std::vector<float>& right)
{
    Theme theme;
    theme.Render(left, right);
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

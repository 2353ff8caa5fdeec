#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"

namespace fs = std::filesystem;

namespace {
void WriteText(const fs::path& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// The first level played by a script: spikes dropped by mouse on the march to the tower, quick
// invaders walking into them, the program left at the given frame. The clock moves 1/60 s a frame
// but never ahead of the sound in the wave file, which OpenAL writes as fast as it would play: the
// recording holds what a player hears, as long as the frames played, however fast they come.
std::string PlayScript(int lastFrame)
{
    return R"(dofile("Scripts/Game.lua")
local frame, steps = 0, {}
-- Seconds of sound in the wave file so far (its byte rate is in the header); nil before it is made.
local function WaveSeconds()
    local file = io.open("mix.wav", "rb")
    if not file then return nil end
    local header = file:read(32) or ""
    local size = file:seek("end")
    file:close()
    if string.len(header) < 32 then return 0 end
    local a, b, c, d = string.byte(header, 29, 32)
    local rate = a + b * 256 + c * 65536 + d * 16777216
    return rate > 0 and (size - 68) / rate or 0
end
local function At(f, step)
    local before = steps[f]
    steps[f] = before and function() before() step() end or step
end
-- Screen point of a world position for the first level's starting camera in a 400 x 300 window.
local function Screen(x, y, z)
    local dx, dy, dz = x - 258, y - 55, z - 490
    local s, c = 0.6018, 0.7986
    local vx, vy, vz = dx, dy * c - dz * s, -dy * s - dz * c
    return math.floor(200 - vx / vz / 0.41421 * 150 + 0.5), math.floor(150 - vy / vz / 0.41421 * 150 + 0.5)
end
local GameUpdate = GUpdate
function GUpdate()
    if GameUpdate then GameUpdate() end
    -- Ahead of the sound, the frame holds the clock, as a paused game does.
    local heard = WaveSeconds()
    if heard and heard < frame / 60 then return end
    frame = frame + 1
    if steps[frame] then steps[frame]() end
    G.TestTick()
end
At(1, function() G.PushMouseMove(200, 150) end)
-- The start window's Play button, then the level window's first button in the same place.
-- Late enough for the start window to have slid in.
for _, f in ipairs({ 120, 200 }) do
    At(f, function() G.PushMouseMove(200, 79) end)
    At(f + 2, function() G.PushMouseButton(0, true, 200, 79) end)
    At(f + 4, function() G.PushMouseButton(0, false, 200, 79) end)
end
At(240, function() HUD.HideLevelVictoryWindow() end)
At(242, function() G.SetInvSpeed(15) end)
-- The first spikes are bought through their button, first on the trap bar at the bottom left.
At(400, function() G.PushMouseMove(12, 285) end)
At(402, function() G.PushMouseButton(0, true, 12, 285) end)
At(404, function() G.PushMouseButton(0, false, 12, 285) end)
for i, z in ipairs({ 340, 370, 400, 430 }) do
    local x, y = Screen(260, 0, z)
    local f = 302 + 140 + (i - 1) * 14
    if i > 1 then
        At(f, function() HUD.TrapSelect("spikes") end)
    end
    At(f + 2, function() G.PushMouseMove(x, y) end)
    At(f + 6, function() G.PushMouseButton(0, true, x, y) end)
    At(f + 10, function() G.PushMouseButton(0, false, x, y) end)
end
At()" + std::to_string(lastFrame) +
        R"(, function() ExitGame() end)
)";
}

struct Recording
{
    int status = -1;
    std::string stderrText;
    int rate = 0;
    // Per 10 ms window, the largest sample of either channel.
    std::vector<float> peaks;
};

// Reads the wave writer's file: 16-bit or float samples, plain or extensible header; a data size
// left unwritten counts as "to the end of the file".
bool ReadWave(const std::string& bytes, Recording& out)
{
    auto u16 = [&](size_t at) { return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8; };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    uint32_t format = 0, channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();)
    {
        const std::string id = bytes.substr(at, 4);
        const size_t size = u32(at + 4);
        const size_t body = at + 8;
        if (id == "fmt " && body + 16 <= bytes.size())
        {
            format = u16(body);
            channels = u16(body + 2);
            out.rate = int(u32(body + 4));
            bits = u16(body + 14);
            if (format == 0xFFFE && body + 26 <= bytes.size())
                format = u16(body + 24);
        }
        else if (id == "data")
        {
            const size_t end = size == 0 || body + size > bytes.size() ? bytes.size() : body + size;
            const size_t sampleBytes = bits / 8;
            if (channels == 0 || out.rate <= 0 || !((format == 1 && bits == 16) || (format == 3 && bits == 32)))
                return false;
            const size_t window = size_t(out.rate / 100) * channels;
            float peak = 0.0f;
            size_t inWindow = 0;
            for (size_t i = body; i + sampleBytes <= end; i += sampleBytes)
            {
                float value = 0.0f;
                if (format == 1)
                    value = float(int16_t(u16(i))) / 32768.0f;
                else
                {
                    const uint32_t raw = u32(i);
                    std::memcpy(&value, &raw, sizeof value);
                }
                peak = std::max(peak, std::fabs(value));
                if (++inWindow == window)
                {
                    out.peaks.push_back(peak);
                    peak = 0.0f;
                    inWindow = 0;
                }
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

// The real program on a copy of the game's data folder with its sound going to a wave file
// through OpenAL Soft's wave writer; the audio settings' volumes as given.
Recording Record(const TempDir& temp, const std::string& name, const std::string& soundVolume,
                 const std::string& musicVolume, int lastFrame)
{
    Recording run;
    const fs::path game = temp.Path(name);
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    std::string graphics = TempDir::Read((game / "Graphics.xml").string());
    Replace(graphics, ">800<", ">400<");
    Replace(graphics, ">600<", ">300<");
    WriteText(game / "Graphics.xml", graphics);
    std::string audio = TempDir::Read((game / "Config" / "AudioConfig.xml").string());
    Replace(audio, "<real name=\"SoundVolume\">0.8</real>", "<real name=\"SoundVolume\">" + soundVolume + "</real>");
    Replace(audio, "<real name=\"MusicVolume\">0.5</real>", "<real name=\"MusicVolume\">" + musicVolume + "</real>");
    WriteText(game / "Config" / "AudioConfig.xml", audio);
    WriteText(game / "Scripts" / "SoundRun.lua", PlayScript(lastFrame));
    std::string config = TempDir::Read((game / "config.xml").string());
    Replace(config, "Scripts\\Game.lua", "Scripts\\SoundRun.lua");
    WriteText(game / "config.xml", config);
    const fs::path wave = game / "mix.wav";
    WriteText(game / "alsoft.conf", "[wave]\nfile=" + wave.string() + "\n");

    const std::string command = "cd '" + game.string() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
        "ALSOFT_DRIVERS=wave ALSOFT_CONF='" + (game / "alsoft.conf").string() + "' " +
        "LP_NUM_THREADS=0 LOOM_ASSERT=continue LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 " LOOM_LEAK_CHECK
        // Only a bound against a hang: the effects run does some 150 s of work under the
        // sanitizers, and on two busy cores shared with other program runs it gets a quarter of
        // one (it took 500 s to play 41 of its 60 s there).
        "timeout 1500 '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.stderrText = TempDir::Read((game / "stderr.txt").string());
    EXPECT_TRUE(ReadWave(TempDir::Read(wave.string()), run)) << name << ": no readable wave file";
    return run;
}

// Effect events: runs of 10 ms windows at or above the level, apart by at least 100 ms of
// quieter sound; each event's length in windows.
std::vector<size_t> Events(const std::vector<float>& peaks, float level)
{
    std::vector<size_t> events;
    size_t first = 0, last = 0;
    bool open = false;
    for (size_t i = 0; i < peaks.size(); ++i)
    {
        if (peaks[i] < level)
            continue;
        if (open && i - last <= 10)
        {
            last = i;
            continue;
        }
        if (open)
            events.push_back(last - first + 1);
        open = true;
        first = last = i;
    }
    if (open)
        events.push_back(last - first + 1);
    return events;
}
} // namespace

// What a player hears at the shipped volumes: the clicks of the menu's and the trap bar's buttons
// and the level's effects (spikes striking, invaders hit and dying) come out within 12 dB of the
// music's peaks. The music and the effects are recorded in two runs, each with the other's
// volume at zero, so that each is measured on its own.
TEST(SoundMix, EffectsAreHeardOverTheMusic)
{
    TempDir temp;
    const Recording music = Record(temp, "music", "0", "0.5", 600);
    ASSERT_EQ(music.status, 0) << music.stderrText;
    ASSERT_GT(music.peaks.size(), 400u) << "at least four seconds of the theme";
    const float musicPeak = *std::max_element(music.peaks.begin(), music.peaks.end());
    ASSERT_GT(musicPeak, 0.05f) << "the music plays";

    const Recording effects = Record(temp, "effects", "0.8", "0", 3600);
    ASSERT_EQ(effects.status, 0) << effects.stderrText;
    const float quarter = musicPeak / 4.0f;
    const float loudest = effects.peaks.empty() ? 0.0f : *std::max_element(effects.peaks.begin(), effects.peaks.end());
    const std::vector<size_t> events = Events(effects.peaks, quarter);
    // The two menu buttons' clicks come first and are short, then the trap button's; the level's
    // effects follow, each a fifth of a second or longer.
    ASSERT_GE(events.size(), 3u) << "nothing heard: the loudest sound reached " << loudest;
    EXPECT_LE(events[0], 8u) << "the first click";
    EXPECT_LE(events[1], 8u) << "the second click";
    EXPECT_LE(events[2], 8u) << "the trap button's click";
    EXPECT_GE(std::count_if(events.begin() + 3, events.end(), [](size_t length) { return length > 8; }), 3)
        << "effect events within 12 dB of the music's peak " << musicPeak << "; the loudest effect reached " << loudest
        << " (" << 20.0 * std::log10(std::max(loudest, 1e-6f) / musicPeak) << " dB)";
    EXPECT_LE(loudest, 1.0f) << "the effects do not clip";
}

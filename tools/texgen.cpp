// Writes the textures the game and the tests use into <data folder>/Textures, byte for byte
// the same on every run.
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/device/Image.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "tools/ContentTextures.h"
#include "tools/TextureFiles.h"

namespace {

constexpr uint32_t kCheckerSize = 64;
constexpr uint32_t kCell = 8;

// White and black cells, white in the top-left one; alpha 0 on the black cells when asked.
std::vector<uint8_t> Checker(uint32_t size, bool alpha)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
        {
            const bool white = ((x / kCell) + (y / kCell)) % 2 == 0;
            uint8_t* p = &rgba[(size_t(y) * size + x) * 4];
            p[0] = p[1] = p[2] = white ? 255 : 0;
            p[3] = alpha && !white ? 0 : 255;
        }
    return rgba;
}

// A beam texture: bright along the middle row, fading to the top and bottom edges; a spike
// also narrows toward its right end. Alpha follows the brightness.
TextureData BeamTexture(uint8_t r, uint8_t g, uint8_t b, bool spike)
{
    constexpr uint32_t kSize = 32;
    TextureData data;
    data.mWidth = data.mHeight = kSize;
    data.mLevels = 1;
    data.mLevelData.emplace_back(kSize * kSize * 4, uint8_t(0));
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x)
        {
            const float across = std::fabs((y + 0.5f) / kSize * 2.0f - 1.0f);
            const float width = spike ? 1.0f - (x + 0.5f) / kSize : 1.0f;
            const float a = std::max(0.0f, 1.0f - across / std::max(width, 1e-3f));
            uint8_t* t = &data.Level(0, 0)[(y * kSize + x) * 4];
            t[0] = uint8_t(std::lround(r * a));
            t[1] = uint8_t(std::lround(g * a));
            t[2] = uint8_t(std::lround(b * a));
            t[3] = uint8_t(std::lround(255.0f * a));
        }
    BuildMipChain(data);
    return data;
}

// A trap button face: a filled square with a border of another colour.
std::vector<uint8_t> Framed(uint32_t size, const uint8_t fill[4], const uint8_t border[4], uint32_t width)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
        {
            const bool edge = x < width || y < width || x >= size - width || y >= size - width;
            const uint8_t* c = edge ? border : fill;
            std::copy(c, c + 4, &rgba[(size_t(y) * size + x) * 4]);
        }
    return rgba;
}

// A trap icon: a coloured disc on a clear ground, its radius telling the kinds apart too.
std::vector<uint8_t> Disc(uint32_t size, const uint8_t colour[3], float radius)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4, uint8_t(0));
    const float half = float(size) * 0.5f;
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
        {
            const float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
            if (std::sqrt(dx * dx + dy * dy) > radius)
                continue;
            uint8_t* p = &rgba[(size_t(y) * size + x) * 4];
            p[0] = colour[0];
            p[1] = colour[1];
            p[2] = colour[2];
            p[3] = 255;
        }
    return rgba;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: texgen <data folder>\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "Textures";
    std::filesystem::create_directories(folder);
    bool ok = true;

    Image white;
    white.Allocate(8, 8, Image::Format::BGR8);
    std::fill(white.mPixels.begin(), white.mPixels.end(), uint8_t(255));
    ok &= white.SaveBmp((folder / "White.bmp").string());

    const std::vector<uint8_t> checker = Checker(kCheckerSize, false);
    ok &= WritePng(folder / "Checker.png", kCheckerSize, kCheckerSize, checker);

    ok &= WriteDds(folder / "Checker.dds", Compressed(checker, kCheckerSize, TextureFormat::DXT1));
    ok &= WriteDds(folder / "CheckerAlpha.dds",
                   Compressed(Checker(kCheckerSize, true), kCheckerSize, TextureFormat::DXT5));

    // A soft round blob shadow: black, alpha falling off from the centre.
    TextureData dot;
    dot.mWidth = dot.mHeight = 32;
    dot.mLevels = 1;
    dot.mLevelData.emplace_back(32 * 32 * 4, uint8_t(0));
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            const float dx = (x + 0.5f - 16.0f) / 16.0f, dy = (y + 0.5f - 16.0f) / 16.0f;
            const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            dot.Level(0, 0)[(y * 32 + x) * 4 + 3] = uint8_t(std::lround(a * 200.0f));
        }
    BuildMipChain(dot);
    ok &= WriteDds(folder / "ShadowDot.dds", dot);

    // One solid colour per face: +x red, -x green, +y blue, -y yellow, +z magenta, -z cyan.
    static const uint8_t faces[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                        {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
    TextureData cube;
    cube.mKind = TextureKind::Cube;
    cube.mWidth = cube.mHeight = 16;
    cube.mLevels = 1;
    for (const auto& face : faces)
    {
        std::vector<uint8_t> texels(16 * 16 * 4);
        for (size_t i = 0; i < texels.size(); i += 4)
        {
            texels[i] = face[0];
            texels[i + 1] = face[1];
            texels[i + 2] = face[2];
            texels[i + 3] = 255;
        }
        cube.mLevelData.push_back(std::move(texels));
    }
    ok &= WriteDds(folder / "Cube.dds", cube, true);

    // The trap tool bar: button faces and one icon per trap kind.
    const std::filesystem::path icons = folder / "TrapIcons";
    std::filesystem::create_directories(icons);
    constexpr uint32_t kIcon = 32;
    static const uint8_t grey[4] = {64, 64, 64, 255}, light[4] = {160, 160, 160, 255};
    static const uint8_t gold[4] = {96, 96, 64, 255}, yellow[4] = {255, 220, 0, 255};
    ok &= WritePng(icons / "Normal.png", kIcon, kIcon, Framed(kIcon, grey, light, 2));
    ok &= WritePng(icons / "Highlight.png", kIcon, kIcon, Framed(kIcon, gold, yellow, 3));
    static const struct
    {
        const char* name;
        uint8_t colour[3];
        float radius;
    } kinds[] = {
        {"Spikes", {200, 200, 200}, 0.6f},    {"Hammer", {150, 90, 40}, 0.8f},  {"Spring", {40, 200, 40}, 0.7f},
        {"Poison", {140, 40, 200}, 0.75f},    {"Fan", {60, 140, 255}, 0.85f},   {"Wall", {180, 60, 40}, 0.9f},
        {"Axe", {120, 120, 140}, 0.8f},       {"Pit", {60, 40, 20}, 0.85f},     {"Satellite", {220, 220, 255}, 0.7f},
        {"Missile", {230, 60, 60}, 0.65f},    {"Zapper", {80, 220, 255}, 0.7f}, {"LaserTurret", {255, 80, 40}, 0.75f},
        {"LightBulb", {255, 255, 160}, 0.7f}, {"Flame", {255, 140, 0}, 0.8f},   {"Vortex", {170, 90, 255}, 0.9f},
        {"Mist", {150, 210, 150}, 0.8f}};
    for (const auto& kind : kinds)
        ok &= WritePng(icons / (std::string(kind.name) + ".png"), kIcon, kIcon, Disc(kIcon, kind.colour, kind.radius));

    // HUD bars: a plain white fill (tinted by the display) and a frame open in the middle.
    constexpr uint32_t kBarWidth = 64, kBarHeight = 16, kEdge = 2;
    std::vector<uint8_t> bar(kBarWidth * kBarHeight * 4, uint8_t(255));
    std::vector<uint8_t> edge(bar.size(), uint8_t(255));
    for (uint32_t y = kEdge; y < kBarHeight - kEdge; ++y)
        for (uint32_t x = kEdge; x < kBarWidth - kEdge; ++x)
            edge[(y * kBarWidth + x) * 4 + 3] = 0;
    ok &= WritePng(folder / "NewBar.png", kBarWidth, kBarHeight, bar);
    ok &= WritePng(folder / "BarEdge.png", kBarWidth, kBarHeight, edge);

    // The console panel: dark blue, lighter towards the top, mostly opaque.
    std::vector<uint8_t> back(64 * 64 * 4);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x)
        {
            uint8_t* t = &back[(y * 64 + x) * 4];
            t[0] = uint8_t(20 + (63 - y) / 4);
            t[1] = uint8_t(30 + (63 - y) / 4);
            t[2] = uint8_t(70 + (63 - y) / 2);
            t[3] = 224;
        }
    ok &= WritePng(folder / "ConsoleBack.png", 64, 64, back);

    // Particles: a soft round blob, written where systems name it by default and in Textures.
    Image particle;
    particle.Allocate(32, 32, Image::Format::BGR8);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            const float dx = (x + 0.5f - 16.0f) / 16.0f, dy = (y + 0.5f - 16.0f) / 16.0f;
            const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            const uint8_t v = uint8_t(std::lround(a * 255.0f));
            std::fill_n(&particle.mPixels[(y * 32 + x) * 3], 3, v);
        }
    ok &= particle.SaveBmp((folder / "particle.bmp").string());
    ok &= particle.SaveBmp((std::filesystem::path(argv[1]) / "particle.bmp").string());

    // Beams.
    ok &= WriteDds(folder / "BlueGlow.dds", BeamTexture(80, 140, 255, false));
    ok &= WriteDds(folder / "spike.dds", BeamTexture(160, 200, 255, true));
    ok &= WriteDds(folder / "LaserBlast.dds", BeamTexture(255, 200, 80, false));
    ok &= WriteDds(folder / "RedBeam.dds", BeamTexture(255, 40, 30, false));

    ok &= content::WriteContentTextures(argv[1]);

    if (!ok)
    {
        std::fprintf(stderr, "texgen: could not write into %s\n", folder.string().c_str());
        return 1;
    }
    return 0;
}

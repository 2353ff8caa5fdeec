// Writes the terrain's, water's and sky's data into <data folder>: decal, layer, water, cloud
// and star textures, the height image, the info texture made from it and the mini-map's picture
// of the ground. Same bytes every run.
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "graphics/device/Image.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "graphics/terrain/ImageFile.h"
#include "graphics/terrain/Noise.h"
#include "graphics/terrain/TerraTex.h"
#include "tools/ContentTextures.h"
#include "tools/TextureFiles.h"

namespace {
using Texel = std::function<void(float u, float v, uint8_t rgba[4])>;

std::vector<uint8_t> Fill(uint32_t size, const Texel& texel)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            texel((x + 0.5f) / float(size), (y + 0.5f) / float(size), &rgba[(size_t(y) * size + x) * 4]);
    return rgba;
}

bool WriteDds(const std::filesystem::path& path, uint32_t size, const Texel& texel)
{
    TextureData data;
    data.mWidth = data.mHeight = size;
    data.mLevels = 1;
    data.mLevelData.push_back(Fill(size, texel));
    BuildMipChain(data);
    return ::WriteDds(path, data);
}

bool WritePng(const std::filesystem::path& path, uint32_t size, const Texel& texel)
{
    return ::WritePng(path, size, size, Fill(size, texel));
}

// Value noise in 0..1 that tiles with the texture (lattice of period cells).
float Tiled(float u, float v, int period, int seed)
{
    const float x = u * float(period), y = v * float(period);
    const int ix = int(x), iy = int(y);
    const float fx = x - float(ix), fy = y - float(iy);
    auto at = [&](int i, int j) { return NoiseHash((i % period) + 57 * (j % period) + seed * 7919) * 0.5f + 0.5f; };
    const float a = at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx;
    const float b = at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx;
    return a * (1 - fy) + b * fy;
}

float Octaves(float u, float v, int seed)
{
    return (Tiled(u, v, 4, seed) * 0.5f + Tiled(u, v, 8, seed + 1) * 0.3f + Tiled(u, v, 16, seed + 2) * 0.2f);
}

uint8_t Byte(float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); }

// A ground layer: a base colour roughened by tiling noise.
Texel Layer(float r, float g, float b, int seed)
{
    return [=](float u, float v, uint8_t p[4]) {
        const float n = 0.7f + 0.6f * Octaves(u, v, seed);
        p[0] = Byte(r * n);
        p[1] = Byte(g * n);
        p[2] = Byte(b * n);
        p[3] = 255;
    };
}

// A blast mark: dark in the middle, ragged rim, clear outside.
Texel Blast(float reach, int seed, bool cracks)
{
    return [=](float u, float v, uint8_t p[4]) {
        const float dx = u - 0.5f, dy = v - 0.5f;
        const float d = std::sqrt(dx * dx + dy * dy) * 2.0f;
        const float edge = reach * (0.85f + 0.3f * Tiled(u, v, 8, seed));
        float a = std::fmax(0.0f, 1.0f - d / edge);
        if (cracks)
            a *= std::fabs(Tiled(u, v, 16, seed + 3) - 0.5f) < 0.08f ? 1.0f : 0.25f;
        p[0] = p[1] = p[2] = Byte(0.08f + 0.1f * Tiled(u, v, 16, seed));
        p[3] = Byte(std::fmin(1.0f, a * 1.6f));
    };
}
// The levels' ground seen from above for the mini-map: the three layers mixed by the info
// texture's weights (red dirt, green grass, blue rock) as the terrain shader mixes them, at the
// layers' own repeat (every eight of the map's 256 tiles), lit as the sun lights flat ground.
// Rows run from the far edge (+z) down and columns along +x, as the map's icons do.
bool WriteMiniMap(const std::filesystem::path& path, const Image& info, const Texel layers[3])
{
    constexpr uint32_t kSize = 256;
    constexpr float kRepeats = 256.0f / 8.0f;
    constexpr float kLight = 1.25f;
    if (info.IsEmpty())
        return false;
    content::Canvas map(kSize);
    for (uint32_t y = 0; y < kSize; ++y)
        for (uint32_t x = 0; x < kSize; ++x)
        {
            // BGR, top row first.
            const uint8_t* w = info.Pixel(x * info.mWidth / kSize, y * info.mHeight / kSize);
            const float weight[3] = {float(w[2]) / 255.0f, float(w[1]) / 255.0f, float(w[0]) / 255.0f};
            const float u = std::fmod((float(x) + 0.5f) / kSize * kRepeats, 1.0f);
            const float v = std::fmod((float(y) + 0.5f) / kSize * kRepeats, 1.0f);
            content::Rgb c{0.0f, 0.0f, 0.0f};
            for (int layer = 0; layer < 3; ++layer)
            {
                uint8_t texel[4];
                layers[layer](u, v, texel);
                c.r += float(texel[0]) / 255.0f * weight[layer] * kLight;
                c.g += float(texel[1]) / 255.0f * weight[layer] * kLight;
                c.b += float(texel[2]) / 255.0f * weight[layer] * kLight;
            }
            map.Set(x, y, c);
        }
    return content::SaveDds(path, map);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: terragen <data folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::filesystem::path textures = root / "Textures";
    const std::filesystem::path data = root / "Data";
    std::filesystem::create_directories(textures);
    std::filesystem::create_directories(data);
    bool ok = true;

    ok &= WriteDds(textures / "Blast0.dds", 64, Blast(0.95f, 11, false));
    ok &= WriteDds(textures / "Blast2.dds", 64, Blast(0.7f, 23, false));
    ok &= WriteDds(textures / "Cracked.dds", 64, Blast(0.9f, 37, true));
    const Texel layers[3] = {Layer(0.45f, 0.32f, 0.2f, 3), Layer(0.25f, 0.5f, 0.18f, 5), Layer(0.45f, 0.45f, 0.47f, 7)};
    ok &= WritePng(textures / "TerrainDirt.png", 64, layers[0]);
    ok &= WritePng(textures / "TerrainGrass.png", 64, layers[1]);
    ok &= WritePng(textures / "TerrainRock.png", 64, layers[2]);
    // Bump: two slopes of tiling noise in red and green around the middle grey.
    ok &= WritePng(textures / "water.png", 64, [](float u, float v, uint8_t p[4]) {
        p[0] = Byte(Octaves(u, v, 41));
        p[1] = Byte(Octaves(v, u, 43));
        p[2] = 255;
        p[3] = 255;
    });
    // Clouds: cover in alpha, white.
    ok &= WriteDds(textures / "cloudsbump.dds", 128, [](float u, float v, uint8_t p[4]) {
        p[0] = p[1] = p[2] = 255;
        p[3] = Byte((Octaves(u, v, 51) - 0.45f) * 2.5f);
    });
    // Stars: a few bright points on black.
    Image stars;
    stars.Allocate(128, 128, Image::Format::BGR8);
    for (uint32_t i = 0; i < 128 * 128; ++i)
        if (NoiseHash(int32_t(i) * 13 + 5) > 0.985f)
            stars.mPixels[i * 3] = stars.mPixels[i * 3 + 1] = stars.mPixels[i * 3 + 2] = 255;
    ok &= stars.SaveBmp((textures / "stars.bmp").string());

    // Heights: 257 x 257 grey from the fractal noise, flat (grey 100) round the centre.
    Image heights;
    heights.Allocate(257, 257, Image::Format::BGR8);
    const float norm = 1.0f / NoiseAmplitudeSum(0.5f, 0.02f);
    for (uint32_t y = 0; y < 257; ++y)
        for (uint32_t x = 0; x < 257; ++x)
        {
            const float dx = float(x) - 128.0f, dy = float(y) - 128.0f;
            const float flat = std::fmin(1.0f, std::sqrt(dx * dx + dy * dy) / 40.0f);
            const float n = FractalNoise2D(0.5f, 0.02f, 257.0f, float(x), float(y)) * norm;
            const uint8_t grey = Byte((100.0f + flat * n * 150.0f) / 255.0f);
            uint8_t* p = heights.Pixel(x, y);
            p[0] = p[1] = p[2] = grey;
        }
    ok &= heights.SaveBmp((data / "TerrainHeight.bmp").string());

    // The info texture from those heights, under the settings in Data/TerraInfo.xml.
    SetDataPath(root.string() + "/");
    TerraTex info;
    ok &= info.Load("Data/TerraInfo.xml") && info.GenerateMap();
    Image weights;
    std::string error;
    if (!LoadImageFile("Textures/TerrainInfo.bmp", weights, error))
        std::fprintf(stderr, "terragen: %s\n", error.c_str());
    ok &= WriteMiniMap(textures / "MiniMap.dds", weights, layers);

    if (!ok)
    {
        std::fprintf(stderr, "terragen: could not write into %s\n", root.string().c_str());
        return 1;
    }
    return 0;
}

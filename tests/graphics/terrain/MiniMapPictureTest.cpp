#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "LOOM/base/FileUtils.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "graphics/terrain/ImageFile.h"
#include "tests/LOOM/support/RepoData.h"

// The HUD's mini-map picture is the levels' ground: where the terrain's info texture gives the
// dirt layer, the picture is brown; where it gives grass, green; rock, grey. Same rows and
// columns, so the picture is not turned or mirrored against the ground.
TEST(MiniMapPicture, FollowsTheTerrainLayersTexelForTexel)
{
    const std::string saved = GetDataPath();
    SetDataPath(RepoDataFolder());
    Image info;
    std::string error;
    const bool loaded = LoadImageFile("Textures/TerrainInfo.bmp", info, error);
    SetDataPath(saved);
    ASSERT_TRUE(loaded) << error;

    std::ifstream file(RepoDataFolder() + "Textures/MiniMap.dds", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    TextureData dds;
    ASSERT_TRUE(DdsReader::Read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), dds, error)) << error;
    ASSERT_EQ(dds.mFormat, TextureFormat::DXT1);
    const std::vector<uint8_t> map = Dxt::DecodeLevel(dds.mFormat, dds.Level(0, 0).data(), dds.mWidth, dds.mHeight);
    ASSERT_GE(dds.mWidth, 128u);

    // Samples per dominant layer (dirt, grass, rock) and how many look like that layer.
    int seen[3] = {0, 0, 0}, matched[3] = {0, 0, 0};
    for (uint32_t y = 2; y < dds.mHeight; y += 5)
        for (uint32_t x = 2; x < dds.mWidth; x += 5)
        {
            const uint8_t* w = info.Pixel(x * info.mWidth / dds.mWidth, y * info.mHeight / dds.mHeight);
            const int weight[3] = {w[2], w[1], w[0]};
            int layer = -1;
            for (int i = 0; i < 3; ++i)
                if (weight[i] > 220)
                    layer = i;
            if (layer < 0)
                continue;
            const uint8_t* c = &map[(size_t(y) * dds.mWidth + x) * 4];
            const int r = c[0], g = c[1], b = c[2];
            const bool looks[3] = {r > g && g > b, g > r && g > b, std::abs(r - b) < 24 && std::abs(r - g) < 24};
            ++seen[layer];
            matched[layer] += looks[layer] ? 1 : 0;
        }
    EXPECT_GT(seen[0], 20) << "dirt";
    EXPECT_GT(seen[1], 20) << "grass";
    for (int layer = 0; layer < 3; ++layer)
        EXPECT_GE(matched[layer] * 10, seen[layer] * 9)
            << "layer " << layer << ": " << matched[layer] << " of " << seen[layer];
}

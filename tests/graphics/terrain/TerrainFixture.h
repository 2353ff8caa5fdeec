#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "graphics/device/Image.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/LOOM/support/TempDir.h"

// A scratch data folder for the terrain's files; the data path comes back afterwards.
class TerrainFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mSavedPath = GetDataPath();
        SetDataPath(mDir.Path() + "/");
    }
    void TearDown() override { SetDataPath(mSavedPath); }

    static std::string GenerationFile(float flatRadius, int edgeWidth, float towerY, bool withFrequency = true)
    {
        std::string text = "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<serializable>\n"
                           "<real name=\"flatRadius\">" +
            std::to_string(flatRadius) +
            "</real>\n"
            "<int name=\"edgeWidth\">" +
            std::to_string(edgeWidth) +
            "</int>\n"
            "<real name=\"maxHeight\">12</real>\n<real name=\"edgeHeight\">20</real>\n"
            "<real name=\"NoisePersistance\">0.5</real>\n";
        if (withFrequency)
            text += "<real name=\"NoiseFrequency\">0.05</real>\n";
        text += "<vector name=\"TowerPos\"><real name=\"x\">1</real><real name=\"y\">" + std::to_string(towerY) +
            "</real><real name=\"z\">2</real></vector>\n</serializable>\n</Stream>\n";
        return text;
    }

    // A greyscale-ish BMP in the data folder; pixel(x, y) gives (blue, green, red), top row first.
    std::string WriteBmp(const std::string& name, uint32_t w, uint32_t h,
                         const std::function<void(uint32_t, uint32_t, uint8_t*)>& pixel)
    {
        Image image;
        image.Allocate(w, h, Image::Format::BGR8);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                pixel(x, y, image.Pixel(x, y));
        EXPECT_TRUE(image.SaveBmp(mDir.Path(name)));
        return name;
    }

    // A map of the given size without image or generation; heights are set by the test.
    static std::unique_ptr<HeightMap> FlatMap(int32_t width, int32_t depth, float tileScale)
    {
        auto map = std::make_unique<HeightMap>();
        map->mMapWidthSize = width;
        map->mMapDepthSize = depth;
        map->mTileScale = tileScale;
        map->mAutoBuildTerrain = false;
        map->Initialize();
        return map;
    }

    static void SetHeights(HeightMap& map, const std::function<float(int32_t, int32_t)>& height)
    {
        for (int32_t z = 0; z < map.mMapDepthSize; ++z)
            for (int32_t x = 0; x < map.mMapWidthSize; ++x)
                map.Tile(x, z).y = height(x, z);
        map.ComputeAllNormals();
        map.RefreshHeightRange();
    }

    TempDir mDir;
    std::string mSavedPath;
};

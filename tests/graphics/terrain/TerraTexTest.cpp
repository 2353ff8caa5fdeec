#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "graphics/terrain/ImageFile.h"
#include "graphics/terrain/TerraTex.h"
#include "tests/graphics/terrain/TerrainFixture.h"
#include "tests/input/LogProbe.h"

namespace {
class TerraTexFiles : public TerrainFiles
{
protected:
    // W 10, M 20, H 40: half 5, lowTop 11.25, lowCut 6.25; grey 45 at scale 0.25 is lowTop.
    std::string Settings(const std::string& heightImage, const std::string& middle = "20",
                         bool withPersistence = true) const
    {
        std::string text = "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<serializable>\n"
                           "<string name=\"OutputFilename\">Info.bmp</string>\n<int name=\"MapSize\">32</int>\n"
                           "<string name=\"HeightMap\">" +
            heightImage +
            "</string>\n"
            "<string name=\"Output\">unused</string>\n<int name=\"Option\">0</int>\n"
            "<real name=\"WaterPlane\">10</real>\n<real name=\"MiddlePlane\">" +
            middle +
            "</real>\n"
            "<real name=\"HighPlane\">40</real>\n<real name=\"ScaleFactor\">0.25</real>\n"
            "<real name=\"NoiseFrequency\">0.1</real>\n";
        if (withPersistence)
            text += "<real name=\"NoisePersis\">0.5</real>\n";
        return text + "</serializable>\n</Stream>\n";
    }

    bool Run(const std::string& settings)
    {
        mDir.Write("Info.xml", settings);
        TerraTex tex;
        return tex.Load("Info.xml") && tex.GenerateMap();
    }

    Image Output()
    {
        Image out;
        std::string error;
        EXPECT_TRUE(LoadImageFile("Info.bmp", out, error)) << error;
        return out;
    }
};
} // namespace

TEST(TerraTexWeights, BlendWeightsSplitWhatTheSlopeLeaves)
{
    const struct
    {
        float a, b, c;
        float outA, outB, outC;
    } cases[] = {
        {0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f},      // all grass
        {0.0f, 0.2f, 0.8f, 0.0f, 0.0f, 1.0f},      // t 0.2: all dirt
        {0.0f, 0.5f, 0.5f, 0.0f, 0.5f, 0.5f},      // t 0.5: (0.5 - 0.3) * 2.5
        {1.0f, 0.5f, 0.5f, 0.25f, 0.375f, 0.375f}, // a 0.5: smoothstep 0.5, squared
        {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f},
    };
    for (const auto& c : cases)
    {
        float a = c.a, b = c.b, d = c.c;
        TerraTex::BlendWeights(a, b, d);
        EXPECT_NEAR(a, c.outA, 1e-6) << c.a << " " << c.b << " " << c.c;
        EXPECT_NEAR(b, c.outB, 1e-6) << c.a << " " << c.b << " " << c.c;
        EXPECT_NEAR(d, c.outC, 1e-6) << c.a << " " << c.b << " " << c.c;
    }
}

TEST_F(TerraTexFiles, BlackGroundBelowTheWaterIsAllRock)
{
    WriteBmp("Black.bmp", 16, 16, [](uint32_t, uint32_t, uint8_t* p) { p[0] = p[1] = p[2] = 0; });
    ASSERT_TRUE(Run(Settings("Black.bmp")));
    const Image out = Output();
    ASSERT_EQ(out.mWidth, 32u);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            ASSERT_EQ(out.GetARGB(x, y) & 0xFFFFFFu, 0x0000FFu) << "first byte full: " << x << ", " << y;
}

TEST_F(TerraTexFiles, WeightsAlwaysAddUpAndLowTopHasNoBand)
{
    WriteBmp("Flat.bmp", 8, 8, [](uint32_t, uint32_t, uint8_t* p) { p[0] = p[1] = p[2] = 45; });
    ASSERT_TRUE(Run(Settings("Flat.bmp")));
    Image out = Output();
    int grassy = 0;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            const uint8_t* p = out.Pixel(x, y);
            ASSERT_EQ(p[0], 0) << "flat ground exactly at lowTop: " << x << ", " << y;
            ASSERT_EQ(p[1] + p[2], 255);
            grassy += p[1] > 0;
        }
    EXPECT_GT(grassy, 0) << "noise mixes grass in";

    // A ramp through every band: the three bytes of each texel in range add up to 255.
    WriteBmp("Ramp.bmp", 32, 32, [](uint32_t x, uint32_t y, uint8_t* p) { p[0] = p[1] = p[2] = uint8_t(x * 5 + y); });
    ASSERT_TRUE(Run(Settings("Ramp.bmp")));
    out = Output();
    int rock = 0;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
        {
            const uint8_t* p = out.Pixel(x, y);
            ASSERT_EQ(p[0] + p[1] + p[2], 255) << x << ", " << y;
            rock += p[0] == 255;
        }
    EXPECT_GT(rock, 0);
}

TEST_F(TerraTexFiles, BadSettingsAreLoggedAndWriteNothing)
{
    WriteBmp("Flat.bmp", 8, 8, [](uint32_t, uint32_t, uint8_t* p) { p[0] = p[1] = p[2] = 45; });
    const struct
    {
        std::string settings;
        std::string logged;
    } cases[] = {
        {Settings("Flat.bmp", "20", false), "lacks \"NoisePersis\""},
        {Settings("Flat.bmp", "10"), "MiddlePlane is not above WaterPlane"},
        {Settings("Flat.bmp", "45"), "HighPlane is not above MiddlePlane"},
        {Settings("Missing.bmp"), "Missing.bmp"},
    };
    for (const auto& c : cases)
    {
        LogProbe log;
        EXPECT_FALSE(Run(c.settings));
        EXPECT_EQ(log.Count(c.logged), 1) << c.logged;
        EXPECT_FALSE(std::filesystem::exists(mDir.Path("Info.bmp")));
    }
    LogProbe log;
    TerraTex tex;
    EXPECT_FALSE(tex.Load("NoSuchSettings.xml"));
    EXPECT_EQ(log.Count("NoSuchSettings.xml"), 1);
}

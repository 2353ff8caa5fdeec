#include <gtest/gtest.h>

#include <cstring>

#include "LOOM/base/AssertHandler.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/input/LogProbe.h"

namespace {

uint32_t Rgba(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    return bytes;
}

} // namespace

// Hand-made blocks with their texels worked out from the block layout.
TEST(Dxt, HandMadeBlocksDecodeToReferenceTexels)
{
    struct Case
    {
        const char* mName;
        TextureFormat mFormat;
        uint8_t mBlock[16];
        // Texels 0, 1, 2, 3 (RGBA).
        uint32_t mTexels[4];
    };
    // Colours: 0xF800 red, 0x001F blue. Index bits 0b11100100: texel i uses palette entry i.
    const Case cases[] = {
        {"dxt1 four colours",
         TextureFormat::DXT1,
         {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0xFF0000FF, 0x0000FFFF, 0xAA0055FF, 0x5500AAFF}},
        {"dxt1 three colours and transparent",
         TextureFormat::DXT1,
         {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
         {0x0000FFFF, 0xFF0000FF, 0x7F007FFF, 0x00000000}},
        {"dxt3 explicit alpha",
         TextureFormat::DXT3,
         {0x10, 0xF2, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0xFF000000, 0x0000FF11, 0xAA005522, 0x5500AAFF}},
        {"dxt5 eight alphas",
         TextureFormat::DXT5,
         {0xFF, 0x00, 0x88, 0x06, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0xFF0000FF, 0x0000FF00, 0xAA0055DA, 0x5500AAB6}},
        {"dxt5 six alphas with 0 and 255",
         TextureFormat::DXT5,
         {0x00, 0xFF, 0x90, 0x0F, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0xFF000000, 0x0000FF33, 0xAA005500, 0x5500AAFF}},
    };
    for (const Case& c : cases)
    {
        uint8_t texels[64];
        Dxt::DecodeBlock(c.mFormat, c.mBlock, texels);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Rgba(texels + i * 4), c.mTexels[i]) << c.mName << " texel " << i;
    }
}

TEST(Dxt, EncodeThenDecodeKeepsBlackAndWhite)
{
    std::vector<uint8_t> rgba(6 * 6 * 4);
    for (size_t i = 0; i < 36; ++i)
        std::memset(&rgba[i * 4], (i % 2) ? 0xFF : 0x00, 3), rgba[i * 4 + 3] = (i % 3) ? 0xFF : 0x00;
    const auto blocks = Dxt::EncodeLevel(TextureFormat::DXT5, rgba.data(), 6, 6);
    ASSERT_EQ(blocks.size(), 4u * 16);
    EXPECT_EQ(Dxt::DecodeLevel(TextureFormat::DXT5, blocks.data(), 6, 6), rgba);
}

TEST(DdsReader, SixBySixWithThreeLevelsAndNonMultipleOfFour)
{
    TextureData data;
    data.mFormat = TextureFormat::DXT1;
    data.mWidth = data.mHeight = 6;
    data.mLevels = 3;
    for (uint32_t level = 0; level < 3; ++level)
        data.mLevelData.emplace_back(TextureLevelSize(TextureFormat::DXT1, 6 >> level, 6 >> level), uint8_t(level + 1));
    const std::string file = DdsWriter::Write(data);
    TextureData read;
    std::string error;
    ASSERT_TRUE(DdsReader::Read(reinterpret_cast<const uint8_t*>(file.data()), file.size(), read, error)) << error;
    EXPECT_EQ(read.mLevels, 3u);
    EXPECT_EQ(read.Level(0, 0).size(), 32u);
    EXPECT_EQ(read.Level(0, 1).size(), 8u);
    EXPECT_EQ(read.Level(0, 2).size(), 8u);
    EXPECT_EQ(read.Level(0, 2)[0], 3u);
    // One byte short is refused.
    EXPECT_FALSE(DdsReader::Read(reinterpret_cast<const uint8_t*>(file.data()), file.size() - 1, read, error));
}

TEST_F(ResourceFixture, CheckerPngAndDdsDrawExactly)
{
    for (const char* name : {"Textures/Checker.png", "Textures/Checker.dds"})
    {
        Texture* texture = mStore->Get(name);
        ASSERT_NE(texture->GetDeviceTexture(), nullptr) << name;
        EXPECT_EQ(texture->GetWidth(), 64u);
        EXPECT_EQ(texture->GetLevels(), 7u);
        // 4 x w x h per level.
        EXPECT_EQ(texture->GetMemorySize(), 4u * (64 * 64 + 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4 + 2 * 2 + 1));
        DrawTexture(texture->GetTexture());
        Image image;
        ASSERT_TRUE(mDevice->ReadBack(nullptr, image));
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x)
            {
                const bool white = ((x / 8) + (y / 8)) % 2 == 0;
                ASSERT_EQ(image.GetARGB(x, y), white ? 0xFFFFFFFFu : 0xFF000000u) << name << " " << x << "," << y;
            }
        texture->Release();
    }
}

TEST_F(ResourceFixture, CompressedModeUploadsBlocksTheDeviceDecodesLikeUs)
{
    ResourceContext::Scope compressed(mDevice.get(), mStore.get(), true);
    ASSERT_TRUE(mDevice->GetCaps().mCompressedTextures);
    Texture* texture = mStore->Get("Textures/CheckerAlpha.dds");
    ASSERT_NE(texture->GetDeviceTexture(), nullptr);
    EXPECT_EQ(texture->GetDeviceTexture()->GetDesc().mFormat, TextureFormat::DXT5);
    mDevice->States().mAlphaTest = true;
    mDevice->States().mAlphaFunc = CompareFunc::GreaterEqual;
    mDevice->States().mAlphaRef = 128;
    DrawTexture(texture->GetTexture());
    EXPECT_EQ(PixelAt(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(10, 2), kGrey); // transparent black cell dropped by the alpha test
    texture->Release();
}

TEST_F(ResourceFixture, CubeFacesKeepTheirColours)
{
    Texture* texture = mStore->Get("Textures/Cube.dds");
    ASSERT_NE(texture->GetDeviceTexture(), nullptr);
    EXPECT_EQ(texture->GetDeviceTexture()->GetDesc().mKind, TextureKind::Cube);
    TextureData data;
    std::string error;
    const std::string bytes = ReadBytes(RepoDataFolder() + "Textures/Cube.dds");
    ASSERT_TRUE(DdsReader::Read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), data, error));
    const uint32_t expected[6] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF, 0xFF00FFFF, 0x00FFFFFF};
    for (uint32_t face = 0; face < 6; ++face)
        EXPECT_EQ(Rgba(data.Level(face, 0).data()), expected[face]) << face;
    texture->Release();
}

TEST_F(ResourceFixture, BrokenFilesLogOneFailureAndNeverCrash)
{
    const std::string checker = ReadBytes(RepoDataFolder() + "Textures/Checker.dds");
    const std::string cube = ReadBytes(RepoDataFolder() + "Textures/Cube.dds");
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t cut :
         {size_t(0), size_t(3), size_t(50), size_t(127), size_t(128), checker.size() / 2, checker.size() - 1})
        files.emplace_back("cut" + std::to_string(cut) + ".dds", checker.substr(0, cut));
    auto patched = [](std::string bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(uint8_t(value >> (8 * i)));
        return bytes;
    };
    files.emplace_back("huge.dds", patched(checker, 16, 0x7FFFFFFF));
    files.emplace_back("wide.dds", patched(patched(checker, 12, 16384), 16, 16384));
    files.emplace_back("zero.dds", patched(checker, 12, 0));
    files.emplace_back("mips.dds", patched(checker, 28, 40));
    files.emplace_back("fourcc.dds", patched(checker, 84, 0x31545844 + 1));
    files.emplace_back("fiveface.dds", patched(cube, 112, 0x200 | 0x7C00));
    files.emplace_back("headersize.dds", patched(checker, 4, 100));
    files.emplace_back("notimage.png", "\x89PNG\r\n\x1a\n garbage");
    std::string flipped = checker;
    for (size_t i = 0; i < flipped.size(); i += 7)
        flipped[i] = char(~flipped[i]);
    files.emplace_back("flipped.dds", flipped);
    files.emplace_back("missing.png", std::string());
    const int failures = AssertFailureCount();
    int expectedFailures = 0;
    for (auto& [name, bytes] : files)
    {
        const std::string path = name == "missing.png" ? (mScratch->Path() / name).string() : WriteScratch(name, bytes);
        LogProbe log;
        Texture* texture = mStore->Get(path);
        const bool loaded = texture->GetDeviceTexture() != nullptr;
        // The flipped file may still be a readable DDS by chance; everything else must fail.
        if (name != "flipped.dds")
        {
            EXPECT_FALSE(loaded) << name;
        }
        if (!loaded)
        {
            ++expectedFailures;
            // The log turns slashes around; the file name itself survives.
            EXPECT_EQ(log.Count("Failed to Load Texture "), 1) << name;
            EXPECT_EQ(log.Count(name), 2) << name; // "Loading Texture" and the failure

            EXPECT_EQ(texture->GetWidth(), 0u);
        }
        texture->Release();
    }
    EXPECT_EQ(AssertFailureCount() - failures, expectedFailures);
}

TEST_F(ResourceFixture, UpperCaseXmlIsNotAnimated)
{
    const std::string path = WriteScratch("frames.XML", "<Stream/>");
    LogProbe log;
    Texture* texture = mStore->Get(path);
    EXPECT_EQ(texture->GetAnimTex(), nullptr);
    EXPECT_EQ(log.Count("Failed to Load Texture"), 1);
    texture->Release();
}

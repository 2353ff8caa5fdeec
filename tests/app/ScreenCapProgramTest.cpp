#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

// A 24-bit BMP as BGR rows, top row first; empty when the file is not one.
struct Bmp
{
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    uint16_t mBits = 0;
    std::vector<uint8_t> mPixels;

    uint32_t At(int x, int y) const
    {
        const uint8_t* p = &mPixels[(size_t(y) * mWidth + x) * 3];
        return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
};

uint32_t Read32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
        uint32_t(uint8_t(b[at + 3])) << 24;
}

Bmp ReadBmp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bmp bmp;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return bmp;
    const uint32_t offset = Read32(bytes, 10);
    const int32_t width = int32_t(Read32(bytes, 18));
    const int32_t height = int32_t(Read32(bytes, 22));
    bmp.mBits = uint16_t(uint8_t(bytes[28]) | uint8_t(bytes[29]) << 8);
    const int32_t rows = height < 0 ? -height : height;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (bmp.mBits != 24 || width <= 0 || offset + stride * rows > bytes.size())
        return bmp;
    bmp.mWidth = width;
    bmp.mHeight = rows;
    bmp.mPixels.resize(size_t(width) * rows * 3);
    for (int32_t y = 0; y < rows; ++y)
    {
        const int32_t source = height > 0 ? rows - 1 - y : y;
        std::copy_n(bytes.begin() + offset + stride * source, size_t(width) * 3,
                    bmp.mPixels.begin() + size_t(y) * width * 3);
    }
    return bmp;
}

int Bright(const Bmp& bmp, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += ((bmp.At(x, y) >> 8) & 0xFF) > 180 ? 1 : 0;
    return n;
}

} // namespace

// The game's data folder with a start script that captures the screen twice and leaves.
TEST(Program, ScreenCapWritesTheFinishedFrames)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/../../data", dir.Path(), fs::copy_options::recursive);
    fs::copy(LOOM_TEST_DATA "/screencap/Scripts/Start.lua", dir.Path("Scripts/Start.lua"),
             fs::copy_options::overwrite_existing);
    // The capture script runs in place of the game's own start script.
    std::string config = TempDir::Read(dir.Path("config.xml"));
    const size_t start = config.find("Scripts\\Game.lua");
    ASSERT_NE(start, std::string::npos);
    config.replace(start, 16, "Scripts\\Start.lua");
    dir.Write("config.xml", config);
    ASSERT_EQ(RunToEnd("cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                           "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue LOOM_TEST_INPUT=1 "
                           "LOOM_TEST_STEPPED_CLOCK=1 " +
                           LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt",
                       kProgramLimit),
              0)
        << TempDir::Read(dir.Path("stderr.txt"));

    const Bmp plain = ReadBmp(dir.Path("screenshot0.bmp"));
    const Bmp panel = ReadBmp(dir.Path("screenshot1.bmp"));
    EXPECT_FALSE(fs::exists(dir.Path("screenshot2.bmp")));
    ASSERT_EQ(plain.mBits, 24);
    ASSERT_EQ(panel.mBits, 24);
    // The back buffer of Graphics.xml.
    EXPECT_EQ(plain.mWidth, 800);
    EXPECT_EQ(plain.mHeight, 600);
    EXPECT_EQ(panel.mWidth, 800);
    // Before the console opens the frame is the clear grey.
    EXPECT_EQ(plain.At(10, 10), 0x808080u);
    EXPECT_EQ(plain.At(799, 599), 0x808080u);
    // Open: the panel's blue covers the screen and the log lines are drawn on it.
    const uint32_t corner = panel.At(799, 599);
    EXPECT_GT(corner & 0xFF, (corner >> 16) & 0xFF);
    EXPECT_GT(Bright(panel, 10, 0, 400, 216), 200);
    EXPECT_EQ(Bright(panel, 0, 260, 800, 600), 0);
}

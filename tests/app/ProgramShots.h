#pragma once
// The screenshots the program writes (Print Screen, "ScreenCap"), read back by the program tests.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"

namespace program_shots {

struct Bmp
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t At(int x, int y) const
    {
        const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return (uint32_t(rgb[i]) << 16) | (uint32_t(rgb[i + 1]) << 8) | rgb[i + 2];
    }
};

// The program's screenshots: 24-bit, bottom-up rows padded to four bytes.
inline Bmp ReadBmp(const std::string& path)
{
    Bmp bmp;
    const std::string bytes = TempDir::Read(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return bmp;
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
            uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    const uint32_t offset = u32(10);
    const int width = int(u32(18)), height = int(u32(22));
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (width <= 0 || height <= 0 || offset + stride * size_t(height) > bytes.size())
        return bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.rgb.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const size_t from = offset + size_t(height - 1 - y) * stride + size_t(x) * 3;
            const size_t to = (size_t(y) * size_t(width) + size_t(x)) * 3;
            bmp.rgb[to] = uint8_t(bytes[from + 2]);
            bmp.rgb[to + 1] = uint8_t(bytes[from + 1]);
            bmp.rgb[to + 2] = uint8_t(bytes[from]);
        }
    return bmp;
}

} // namespace program_shots

#pragma once
#include <cstdint>
#include <string>

// An 8-bit BMP of 1,078 bytes (headers and palette, no pixels) whose header declares
// width x height: a reader that trusts it asks for width x height x 3 bytes.
inline std::string BombBitmap(uint32_t width, uint32_t height)
{
    auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    auto u32 = [&](uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
    const uint32_t size = 14 + 40 + 256 * 4;
    std::string bmp = "BM" + u32(size) + u32(0) + u32(size);
    bmp += u32(40) + u32(width) + u32(height) + u16(1) + u16(8) + u32(0) + u32(0) + u32(2835) + u32(2835) + u32(256) +
        u32(0);
    for (uint32_t i = 0; i < 256; ++i)
        bmp += u32(i * 0x010101);
    return bmp;
}

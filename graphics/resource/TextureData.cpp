#include "graphics/resource/TextureData.h"

#include <stb_dxt.h>

#include <algorithm>
#include <cstring>

namespace {

void Color565(uint16_t c, uint8_t out[3])
{
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    out[0] = uint8_t((r << 3) | (r >> 2));
    out[1] = uint8_t((g << 2) | (g >> 4));
    out[2] = uint8_t((b << 3) | (b >> 2));
}

uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// The colour half of a block; DXT1 alone uses the three-colour mode with transparent black.
void DecodeColors(const uint8_t* block, bool dxt1, uint8_t rgba[64])
{
    const uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    uint8_t palette[4][4];
    Color565(c0, palette[0]);
    Color565(c1, palette[1]);
    palette[0][3] = palette[1][3] = 255;
    if (!dxt1 || c0 > c1)
    {
        for (int i = 0; i < 3; ++i)
        {
            palette[2][i] = uint8_t((2 * palette[0][i] + palette[1][i]) / 3);
            palette[3][i] = uint8_t((palette[0][i] + 2 * palette[1][i]) / 3);
        }
        palette[2][3] = palette[3][3] = 255;
    }
    else
    {
        for (int i = 0; i < 3; ++i)
        {
            palette[2][i] = uint8_t((palette[0][i] + palette[1][i]) / 2);
            palette[3][i] = 0;
        }
        palette[2][3] = 255;
        palette[3][3] = 0;
    }
    const uint32_t bits =
        uint32_t(block[4]) | uint32_t(block[5]) << 8 | uint32_t(block[6]) << 16 | uint32_t(block[7]) << 24;
    for (int i = 0; i < 16; ++i)
        std::memcpy(rgba + i * 4, palette[(bits >> (2 * i)) & 3], 4);
}

} // namespace

namespace Dxt {

void DecodeBlock(TextureFormat format, const uint8_t* block, uint8_t rgba[64])
{
    if (format == TextureFormat::DXT1)
    {
        DecodeColors(block, true, rgba);
        return;
    }
    DecodeColors(block + 8, false, rgba);
    if (format == TextureFormat::DXT3)
    {
        for (int i = 0; i < 16; ++i)
        {
            const uint8_t nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
            rgba[i * 4 + 3] = uint8_t(nibble * 17);
        }
        return;
    }
    const uint8_t a0 = block[0], a1 = block[1];
    uint8_t alpha[8] = {a0, a1};
    if (a0 > a1)
        for (int i = 1; i < 7; ++i)
            alpha[i + 1] = uint8_t(((7 - i) * a0 + i * a1) / 7);
    else
    {
        for (int i = 1; i < 5; ++i)
            alpha[i + 1] = uint8_t(((5 - i) * a0 + i * a1) / 5);
        alpha[6] = 0;
        alpha[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        rgba[i * 4 + 3] = alpha[(bits >> (3 * i)) & 7];
}

std::vector<uint8_t> DecodeLevel(TextureFormat format, const uint8_t* blocks, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> out(size_t(width) * height * 4);
    const uint32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
    const size_t blockSize = format == TextureFormat::DXT1 ? 8 : 16;
    uint8_t texels[64];
    for (uint32_t by = 0; by < bh; ++by)
        for (uint32_t bx = 0; bx < bw; ++bx)
        {
            DecodeBlock(format, blocks + (size_t(by) * bw + bx) * blockSize, texels);
            for (uint32_t y = 0; y < 4 && by * 4 + y < height; ++y)
                for (uint32_t x = 0; x < 4 && bx * 4 + x < width; ++x)
                    std::memcpy(&out[((size_t(by) * 4 + y) * width + bx * 4 + x) * 4], texels + (y * 4 + x) * 4, 4);
        }
    return out;
}

std::vector<uint8_t> EncodeLevel(TextureFormat format, const uint8_t* rgba, uint32_t width, uint32_t height)
{
    const uint32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
    const size_t blockSize = format == TextureFormat::DXT1 ? 8 : 16;
    std::vector<uint8_t> out(size_t(bw) * bh * blockSize);
    uint8_t texels[64];
    for (uint32_t by = 0; by < bh; ++by)
        for (uint32_t bx = 0; bx < bw; ++bx)
        {
            for (uint32_t y = 0; y < 4; ++y)
                for (uint32_t x = 0; x < 4; ++x)
                {
                    const uint32_t sx = std::min(bx * 4 + x, width - 1), sy = std::min(by * 4 + y, height - 1);
                    std::memcpy(texels + (y * 4 + x) * 4, rgba + (size_t(sy) * width + sx) * 4, 4);
                }
            stb_compress_dxt_block(&out[(size_t(by) * bw + bx) * blockSize], texels,
                                   format == TextureFormat::DXT1 ? 0 : 1, STB_DXT_HIGHQUAL);
        }
    return out;
}

} // namespace Dxt

void ConvertTextureData(TextureData& data, bool compressed)
{
    const bool isDxt = data.mFormat == TextureFormat::DXT1 || data.mFormat == TextureFormat::DXT3 ||
        data.mFormat == TextureFormat::DXT5;
    if (compressed == isDxt)
        return;
    for (uint32_t face = 0; face < data.Faces(); ++face)
        for (uint32_t level = 0; level < data.mLevels; ++level)
        {
            const uint32_t w = std::max(data.mWidth >> level, 1u), h = std::max(data.mHeight >> level, 1u);
            std::vector<uint8_t>& bytes = data.Level(face, level);
            bytes = compressed ? Dxt::EncodeLevel(TextureFormat::DXT5, bytes.data(), w, h)
                               : Dxt::DecodeLevel(data.mFormat, bytes.data(), w, h);
        }
    data.mFormat = compressed ? TextureFormat::DXT5 : TextureFormat::RGBA8;
}

void BuildMipChain(TextureData& data)
{
    if (data.mFormat != TextureFormat::RGBA8 || data.mLevels != 1)
        return;
    const uint32_t levels = FullMipCount(data.mWidth, data.mHeight);
    std::vector<std::vector<uint8_t>> out;
    for (uint32_t face = 0; face < data.Faces(); ++face)
    {
        out.push_back(std::move(data.Level(face, 0)));
        uint32_t w = data.mWidth, h = data.mHeight;
        for (uint32_t level = 1; level < levels; ++level)
        {
            const uint32_t nw = std::max(w / 2, 1u), nh = std::max(h / 2, 1u);
            const std::vector<uint8_t>& src = out.back();
            std::vector<uint8_t> dst(size_t(nw) * nh * 4);
            for (uint32_t y = 0; y < nh; ++y)
                for (uint32_t x = 0; x < nw; ++x)
                    for (uint32_t c = 0; c < 4; ++c)
                    {
                        const uint32_t x0 = std::min(x * 2, w - 1), x1 = std::min(x * 2 + 1, w - 1);
                        const uint32_t y0 = std::min(y * 2, h - 1), y1 = std::min(y * 2 + 1, h - 1);
                        const uint32_t sum = src[(size_t(y0) * w + x0) * 4 + c] + src[(size_t(y0) * w + x1) * 4 + c] +
                            src[(size_t(y1) * w + x0) * 4 + c] + src[(size_t(y1) * w + x1) * 4 + c];
                        dst[(size_t(y) * nw + x) * 4 + c] = uint8_t((sum + 2) / 4);
                    }
            out.push_back(std::move(dst));
            w = nw;
            h = nh;
        }
    }
    data.mLevels = levels;
    data.mLevelData = std::move(out);
}

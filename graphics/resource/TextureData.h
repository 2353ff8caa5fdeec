#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/device/GraphicsDevice.h"

// A decoded texture file as the device takes it: one byte run per face and level, rows top
// first. Format is RGBA8 or, for compressed files, the DXT format of the blocks.
struct TextureData
{
    TextureKind mKind = TextureKind::Tex2D;
    TextureFormat mFormat = TextureFormat::RGBA8;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mLevels = 0;
    // [face * mLevels + level]
    std::vector<std::vector<uint8_t>> mLevelData;

    uint32_t Faces() const { return mKind == TextureKind::Cube ? 6 : 1; }
    std::vector<uint8_t>& Level(uint32_t face, uint32_t level) { return mLevelData[face * mLevels + level]; }
    const std::vector<uint8_t>& Level(uint32_t face, uint32_t level) const
    {
        return mLevelData[face * mLevels + level];
    }
};

// DXT blocks, 4x4 texels each.
namespace Dxt {

// Decodes one block into 16 RGBA texels (row by row).
void DecodeBlock(TextureFormat format, const uint8_t* block, uint8_t rgba[64]);
// A whole level of blocks to RGBA8, cropped to width x height.
std::vector<uint8_t> DecodeLevel(TextureFormat format, const uint8_t* blocks, uint32_t width, uint32_t height);
// RGBA8 to DXT1 (no alpha) or DXT5 blocks; edge blocks repeat the last texel.
std::vector<uint8_t> EncodeLevel(TextureFormat format, const uint8_t* rgba, uint32_t width, uint32_t height);

} // namespace Dxt

// Turns RGBA8 data into the chosen format (DXT5 compresses, RGBA8 keeps), or DXT data into
// RGBA8 when the device shall not get compressed textures.
void ConvertTextureData(TextureData& data, bool compressed);
// Appends box-filtered levels down to 1x1 to RGBA8 data that has one level.
void BuildMipChain(TextureData& data);

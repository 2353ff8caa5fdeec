#pragma once
// File writing shared by the tools that make the game's textures.
#include <stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "graphics/device/Image.h"
#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"

// Writes the bytes whole, making the folder first.
inline bool WriteBytes(const std::filesystem::path& path, const void* data, size_t size)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

inline bool WriteDds(const std::filesystem::path& path, const TextureData& data, bool noAlpha = false)
{
    const std::string bytes = DdsWriter::Write(data, noAlpha);
    return WriteBytes(path, bytes.data(), bytes.size());
}

inline bool WritePng(const std::filesystem::path& path, uint32_t width, uint32_t height,
                     const std::vector<uint8_t>& rgba)
{
    std::vector<uint8_t> png;
    const bool encoded =
        stbi_write_png_to_func(
            [](void* context, void* data, int size) {
                auto* out = static_cast<std::vector<uint8_t>*>(context);
                out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            },
            &png, int(width), int(height), 4, rgba.data(), int(width * 4)) != 0;
    return encoded && WriteBytes(path, png.data(), png.size());
}

// A square RGBA8 image block-compressed with its whole mip chain.
inline TextureData Compressed(const std::vector<uint8_t>& rgba, uint32_t size, TextureFormat format)
{
    TextureData data;
    data.mWidth = data.mHeight = size;
    data.mLevels = 1;
    data.mLevelData.push_back(rgba);
    BuildMipChain(data);
    for (uint32_t level = 0; level < data.mLevels; ++level)
    {
        const uint32_t s = std::max(size >> level, 1u);
        data.Level(0, level) = Dxt::EncodeLevel(format, data.Level(0, level).data(), s, s);
    }
    data.mFormat = format;
    return data;
}

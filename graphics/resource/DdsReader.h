#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/resource/TextureData.h"

// Reads DDS files: DXT1 (with 1-bit alpha), DXT3, DXT5, A8R8G8B8 and X8R8G8B8, with mip
// levels and cube maps (all six faces). Uncompressed texels come out as RGBA8, blocks as
// they are. Anything else, or any length that does not add up, is refused with a reason.
class DdsReader
{
public:
    static bool IsDds(const uint8_t* bytes, size_t size);
    static bool Read(const uint8_t* bytes, size_t size, TextureData& out, std::string& error);
};

// Writes what DdsReader reads, field by field (our texture tool and tests make files with it).
// Uncompressed data is taken as RGBA8 and written as A8R8G8B8, or X8R8G8B8 when noAlpha.
class DdsWriter
{
public:
    static std::string Write(const TextureData& data, bool noAlpha = false);
};

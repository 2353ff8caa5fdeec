#pragma once
#include <cstdint>

#include "graphics/device/Image.h"

// A pixel of a read-back frame as three channels.
struct Rgb
{
    int r, g, b;
};

inline Rgb At(const Image& image, int x, int y)
{
    const uint32_t c = image.GetARGB(uint32_t(x), uint32_t(y));
    return {int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)};
}

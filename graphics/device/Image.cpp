#include "graphics/device/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "LOOM/base/FileUtils.h"

uint32_t Image::BytesPerPixel(Format format)
{
    switch (format)
    {
    case Format::BGR8:
        return 3;
    case Format::RGBA8:
        return 4;
    case Format::Gray8:
        return 1;
    }
    return 4;
}

void Image::Allocate(uint32_t width, uint32_t height, Format format)
{
    mWidth = width;
    mHeight = height;
    mFormat = format;
    mPixels.assign(size_t(width) * height * BytesPerPixel(format), 0);
}

uint32_t Image::GetARGB(uint32_t x, uint32_t y) const
{
    const uint8_t* p = Pixel(x, y);
    switch (mFormat)
    {
    case Format::BGR8:
        return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case Format::RGBA8:
        return uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    case Format::Gray8:
        return 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[0]) << 8 | p[0];
    }
    return 0;
}

Image Image::Converted(Format format) const
{
    Image out;
    out.Allocate(mWidth, mHeight, format);
    for (uint32_t y = 0; y < mHeight; ++y)
        for (uint32_t x = 0; x < mWidth; ++x)
        {
            const uint32_t c = GetARGB(x, y);
            uint8_t* d = out.Pixel(x, y);
            const uint8_t a = c >> 24, r = c >> 16, g = c >> 8, b = c;
            switch (format)
            {
            case Format::BGR8:
                d[0] = b;
                d[1] = g;
                d[2] = r;
                break;
            case Format::RGBA8:
                d[0] = r;
                d[1] = g;
                d[2] = b;
                d[3] = a;
                break;
            case Format::Gray8:
                d[0] = uint8_t((uint32_t(r) * 77 + uint32_t(g) * 150 + uint32_t(b) * 29) >> 8);
                break;
            }
        }
    return out;
}

Image Image::Resampled(uint32_t width, uint32_t height) const
{
    Image out;
    out.Allocate(width, height, mFormat);
    if (IsEmpty() || width == 0 || height == 0)
        return out;
    const uint32_t bpp = BytesPerPixel(mFormat);
    for (uint32_t y = 0; y < height; ++y)
    {
        const float sy = std::clamp((y + 0.5f) * mHeight / height - 0.5f, 0.0f, float(mHeight - 1));
        const uint32_t y0 = uint32_t(sy), y1 = std::min(y0 + 1, mHeight - 1);
        const float fy = sy - y0;
        for (uint32_t x = 0; x < width; ++x)
        {
            const float sx = std::clamp((x + 0.5f) * mWidth / width - 0.5f, 0.0f, float(mWidth - 1));
            const uint32_t x0 = uint32_t(sx), x1 = std::min(x0 + 1, mWidth - 1);
            const float fx = sx - x0;
            uint8_t* d = out.Pixel(x, y);
            for (uint32_t c = 0; c < bpp; ++c)
            {
                const float top = Pixel(x0, y0)[c] * (1 - fx) + Pixel(x1, y0)[c] * fx;
                const float bottom = Pixel(x0, y1)[c] * (1 - fx) + Pixel(x1, y1)[c] * fx;
                d[c] = uint8_t(std::lround(top * (1 - fy) + bottom * fy));
            }
        }
    }
    return out;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

bool Image::SaveBmp(const std::string& path, std::string* why) const
{
    const uint32_t rowBytes = (mWidth * 3 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * mHeight;
    std::vector<uint8_t> out;
    out.reserve(54 + dataSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + dataSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, mWidth);
    Put32(out, mHeight); // positive: bottom row first
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, dataSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (uint32_t row = 0; row < mHeight; ++row)
    {
        const uint32_t y = mHeight - 1 - row;
        for (uint32_t x = 0; x < mWidth; ++x)
        {
            const uint32_t c = GetARGB(x, y);
            out.push_back(uint8_t(c));
            out.push_back(uint8_t(c >> 8));
            out.push_back(uint8_t(c >> 16));
        }
        for (uint32_t pad = mWidth * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return SaveWholeFile(path, std::string_view(reinterpret_cast<const char*>(out.data()), out.size()), why);
}

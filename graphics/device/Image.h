#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A picture on the CPU for work that needs a lockable surface: read-backs, height images,
// generated textures. Rows top first, tightly packed.
struct Image
{
    enum class Format : uint8_t
    {
        BGR8,
        RGBA8,
        Gray8
    };

    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    Format mFormat = Format::RGBA8;
    std::vector<uint8_t> mPixels;

    static uint32_t BytesPerPixel(Format format);
    void Allocate(uint32_t width, uint32_t height, Format format);
    bool IsEmpty() const { return mWidth == 0 || mHeight == 0; }
    const uint8_t* Pixel(uint32_t x, uint32_t y) const
    {
        return &mPixels[(size_t(y) * mWidth + x) * BytesPerPixel(mFormat)];
    }
    uint8_t* Pixel(uint32_t x, uint32_t y) { return &mPixels[(size_t(y) * mWidth + x) * BytesPerPixel(mFormat)]; }
    // Packed 0xAARRGGBB of a pixel (alpha 0xFF for formats without one).
    uint32_t GetARGB(uint32_t x, uint32_t y) const;
    // The same picture in another format.
    Image Converted(Format format) const;
    // Bilinear resample to a new size.
    Image Resampled(uint32_t width, uint32_t height) const;
    // 24-bit uncompressed BMP, written field by field, saved whole or not at all. False when the
    // file cannot be saved: logged, or the reason handed to why.
    bool SaveBmp(const std::string& path, std::string* why = nullptr) const;
};

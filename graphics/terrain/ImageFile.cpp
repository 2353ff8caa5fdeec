#include "graphics/terrain/ImageFile.h"

#include <climits>
#include <stb_image.h>

#include "LOOM/base/FileUtils.h"

bool LoadImageFile(const std::string& fileName, Image& out, std::string& error, int maxSide)
{
    std::string bytes;
    if (!ReadWholeFile(DataFilePath(fileName), bytes))
    {
        error = "cannot be read";
        return false;
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int w = 0, h = 0, n = 0;
    if (bytes.size() > size_t(INT_MAX) || !stbi_info_from_memory(data, int(bytes.size()), &w, &h, &n))
    {
        error = "is not an image";
        return false;
    }
    if (w <= 0 || h <= 0 || w > maxSide || h > maxSide)
    {
        error = "is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, more than " +
                std::to_string(maxSide) + " a side";
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(data, int(bytes.size()), &w, &h, &n, 3);
    if (!pixels)
    {
        error = "cannot be decoded";
        return false;
    }
    out.Allocate(uint32_t(w), uint32_t(h), Image::Format::BGR8);
    for (size_t i = 0, count = size_t(w) * size_t(h); i < count; ++i)
    {
        out.mPixels[i * 3 + 0] = pixels[i * 3 + 2];
        out.mPixels[i * 3 + 1] = pixels[i * 3 + 1];
        out.mPixels[i * 3 + 2] = pixels[i * 3 + 0];
    }
    stbi_image_free(pixels);
    return true;
}

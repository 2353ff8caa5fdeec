#include "graphics/terrain/ImageFile.h"

#include "LOOM/base/FileUtils.h"
#include "platform/ImageDecode.h"

bool LoadImageFile(const std::string& fileName, Image& out, std::string& error, int maxSide)
{
    std::string bytes;
    if (!ReadWholeFile(DataFilePath(fileName), bytes))
    {
        error = "cannot be read";
        return false;
    }
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!DecodeImage(bytes, 3, false, w, h, rgb, error))
        return false;
    if (w > uint32_t(maxSide) || h > uint32_t(maxSide))
    {
        error = "is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, more than " +
            std::to_string(maxSide) + " a side";
        return false;
    }
    out.Allocate(w, h, Image::Format::BGR8);
    for (size_t i = 0, count = size_t(w) * size_t(h); i < count; ++i)
    {
        out.mPixels[i * 3 + 0] = rgb[i * 3 + 2];
        out.mPixels[i * 3 + 1] = rgb[i * 3 + 1];
        out.mPixels[i * 3 + 2] = rgb[i * 3 + 0];
    }
    return true;
}

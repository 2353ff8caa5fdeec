#include "platform/ImageDecode.h"

#include <stb_image.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>

namespace {

std::atomic<uint64_t> gMaxImageBytes{kDefaultMaxImageBytes};

uint32_t U16(const std::string& b, size_t at) { return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8; }
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

uint32_t BigU32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
        uint8_t(b[at + 3]);
}

// stb sizes its buffer from each chunk's stated length before reading it: a PNG whose chunk claims
// more than the file holds would have it reserve up to 2 GiB first. Empty when every chunk is there.
std::string CheckPngChunks(const std::string& b)
{
    for (size_t at = 8; at + 8 <= b.size();)
    {
        const uint64_t end = at + 12 + uint64_t(BigU32(b, at));
        if (end > b.size())
            return "the PNG is cut short: a chunk ends at byte " + std::to_string(end) + ", the file has " +
                std::to_string(b.size());
        if (b.compare(at + 4, 4, "IEND") == 0)
            break;
        at = size_t(end);
    }
    return {};
}

// stb fills missing bytes of an uncompressed BMP or TGA with zeros: a file cut short would load as
// part of a picture. Empty when the pixel data the header promises is all there (for a PNG, its chunks).
std::string CheckPixelData(const std::string& b, uint32_t width, uint32_t height)
{
    uint64_t start = 0, rowBytes = 0;
    std::string kind;
    if (b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
        return CheckPngChunks(b);
    if (b.size() >= 30 && b[0] == 'B' && b[1] == 'M')
    {
        kind = "BMP";
        const uint32_t infoSize = U32(b, 14);
        const uint32_t bits = infoSize == 12 ? U16(b, 24) : U16(b, 28);
        const uint32_t compression = infoSize == 12 || b.size() < 34 ? 0 : U32(b, 30);
        if (compression != 0 && compression != 3) // run-length data has no size to check here
            return {};
        start = U32(b, 10);
        rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
    }
    else if (b.size() >= 18 && uint8_t(b[1]) <= 1 && uint8_t(b[2]) >= 1 && uint8_t(b[2]) <= 3)
    {
        // TGA has no signature: stb took it for one when no other reader did; only raw types are checked.
        static const char* const kOthers[] = {"\x89PNG", "\xFF\xD8", "GIF8", "8BPS", "P5", "P6", "#?", "S\x80\xF6\x34"};
        for (const char* other : kOthers)
            if (b.compare(0, std::strlen(other), other) == 0)
                return {};
        kind = "TGA";
        const uint32_t mapBytes = b[1] ? U16(b, 5) * ((uint32_t(uint8_t(b[7])) + 7) / 8) : 0;
        start = 18 + uint64_t(uint8_t(b[0])) + mapBytes;
        rowBytes = uint64_t(width) * ((uint32_t(uint8_t(b[16])) + 7) / 8);
    }
    else
        return {};
    const uint64_t needed = start + rowBytes * height;
    if (needed <= b.size())
        return {};
    return "the " + kind + " is cut short: its header names " + std::to_string(needed) + " bytes, the file has " +
        std::to_string(b.size());
}

} // namespace

uint64_t MaxImageBytes() { return gMaxImageBytes.load(); }

void SetMaxImageBytes(uint64_t bytes) { gMaxImageBytes.store(bytes); }

uint64_t DecodedImageBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel, bool mips, uint32_t faces)
{
    uint64_t total = 0;
    for (uint64_t w = width, h = height;; w = std::max<uint64_t>(w / 2, 1), h = std::max<uint64_t>(h / 2, 1))
    {
        total += w * h * bytesPerPixel;
        if (!mips || (w == 1 && h == 1))
            break;
    }
    return total * faces;
}

std::string ImageCapError(uint32_t width, uint32_t height, uint64_t decodedBytes)
{
    const uint64_t cap = MaxImageBytes();
    if (decodedBytes <= cap)
        return {};
    return std::to_string(width) + "x" + std::to_string(height) + " decodes to " +
        std::to_string((decodedBytes + (1 << 20) - 1) >> 20) + " MiB, above the " + std::to_string(cap >> 20) +
        " MiB cap";
}

bool DecodeImage(const std::string& bytes, int channels, bool mips, uint32_t& width, uint32_t& height,
                 std::vector<uint8_t>& pixels, std::string& error)
{
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int w = 0, h = 0, n = 0;
    if (bytes.size() > size_t(INT_MAX) || !stbi_info_from_memory(data, int(bytes.size()), &w, &h, &n) || w <= 0 ||
        h <= 0)
    {
        error = "is not an image";
        return false;
    }
    error = ImageCapError(uint32_t(w), uint32_t(h), DecodedImageBytes(uint32_t(w), uint32_t(h), channels, mips));
    if (error.empty())
        error = CheckPixelData(bytes, uint32_t(w), uint32_t(h));
    if (!error.empty())
        return false;
    stbi_uc* decoded = stbi_load_from_memory(data, int(bytes.size()), &w, &h, &n, channels);
    if (!decoded)
    {
        error = std::string("cannot be decoded: ") + stbi_failure_reason();
        return false;
    }
    width = uint32_t(w);
    height = uint32_t(h);
    pixels.assign(decoded, decoded + size_t(w) * size_t(h) * size_t(channels));
    stbi_image_free(decoded);
    return true;
}

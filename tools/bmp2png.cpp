// Converts the program's screenshots (24-bit BMP) to small PNGs for the README: bmp2png <in.bmp> <out.png>
// A picture of at most 256 colours keeps them exactly; a larger one is cut to 256 by median cut,
// which a game frame of flat-shaded models and a few gradients survives without visible banding.
#include <stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Rgb = std::array<uint8_t, 3>;

uint32_t Key(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
Rgb FromKey(uint32_t k) { return {uint8_t(k >> 16), uint8_t(k >> 8), uint8_t(k)}; }

struct Colour
{
    uint32_t mKey;
    uint32_t mCount;
};

// One box of the median cut: a run of the colour list.
struct Box
{
    size_t mBegin, mEnd;
    uint64_t mPixels;
    int mAxis;
    int mRange;
};

Box Measure(const std::vector<Colour>& colours, size_t begin, size_t end)
{
    Rgb lo{255, 255, 255}, hi{0, 0, 0};
    uint64_t pixels = 0;
    for (size_t i = begin; i < end; ++i)
    {
        const Rgb c = FromKey(colours[i].mKey);
        for (int a = 0; a < 3; ++a)
        {
            lo[a] = std::min(lo[a], c[a]);
            hi[a] = std::max(hi[a], c[a]);
        }
        pixels += colours[i].mCount;
    }
    Box box{begin, end, pixels, 0, 0};
    for (int a = 0; a < 3; ++a)
        if (hi[a] - lo[a] > box.mRange)
        {
            box.mRange = hi[a] - lo[a];
            box.mAxis = a;
        }
    return box;
}

// Splits boxes at their pixel median: first the ones that cover the most pixels over a wide range,
// then, for the second half of the palette, the widest whatever their size, so that a small spot of
// its own colour (a cursor, a marker on the mini-map) keeps it.
std::vector<Rgb> MedianCut(std::vector<Colour> colours, size_t size)
{
    std::vector<Box> boxes{Measure(colours, 0, colours.size())};
    while (boxes.size() < size)
    {
        const bool bySize = boxes.size() < size / 2;
        auto widest = std::max_element(boxes.begin(), boxes.end(), [bySize](const Box& a, const Box& b) {
            return bySize ? double(a.mPixels) * a.mRange < double(b.mPixels) * b.mRange : a.mRange < b.mRange;
        });
        if (widest->mRange == 0)
            break;
        const Box box = *widest;
        const int shift = 16 - 8 * box.mAxis;
        std::sort(colours.begin() + box.mBegin, colours.begin() + box.mEnd, [shift](const Colour& a, const Colour& b) {
            return (a.mKey >> shift & 0xFF) < (b.mKey >> shift & 0xFF);
        });
        size_t split = box.mBegin;
        for (uint64_t seen = 0; split + 1 < box.mEnd && seen + colours[split].mCount <= box.mPixels / 2; ++split)
            seen += colours[split].mCount;
        split = std::max(split, box.mBegin + 1);
        *widest = Measure(colours, box.mBegin, split);
        boxes.push_back(Measure(colours, split, box.mEnd));
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes)
    {
        uint64_t sum[3] = {0, 0, 0};
        for (size_t i = box.mBegin; i < box.mEnd; ++i)
            for (int a = 0; a < 3; ++a)
                sum[a] += uint64_t(FromKey(colours[i].mKey)[a]) * colours[i].mCount;
        Rgb mean;
        for (int a = 0; a < 3; ++a)
            mean[a] = uint8_t((sum[a] + box.mPixels / 2) / box.mPixels);
        palette.push_back(mean);
    }
    return palette;
}

uint8_t Nearest(const std::vector<Rgb>& palette, uint32_t key)
{
    const Rgb c = FromKey(key);
    int best = 0, bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i)
    {
        int d = 0;
        for (int a = 0; a < 3; ++a)
            d += (c[a] - palette[i][a]) * (c[a] - palette[i][a]);
        if (d < bestDistance)
        {
            bestDistance = d;
            best = int(i);
        }
    }
    return uint8_t(best);
}

void PutU32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(v >> shift);
}

void Chunk(std::string& png, const char* type, const std::string& data)
{
    PutU32(png, uint32_t(data.size()));
    const std::string body = type + data;
    png += body;
    PutU32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// An 8-bit indexed PNG; rows are left unfiltered, which suits indices best.
bool WritePalettePng(const char* path, int width, int height, const std::vector<Rgb>& palette,
                     const std::vector<uint8_t>& indices)
{
    std::string raw;
    for (int y = 0; y < height; ++y)
    {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(indices.data()) + size_t(y) * width, size_t(width));
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);
    std::string header, colours;
    PutU32(header, uint32_t(width));
    PutU32(header, uint32_t(height));
    header += std::string("\x08\x03\x00\x00\x00", 5);
    for (const Rgb& c : palette)
        colours.append(reinterpret_cast<const char*>(c.data()), 3);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    Chunk(png, "PLTE", colours);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: bmp2png <in.bmp> <out.png>\n");
        return 2;
    }
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(argv[1], &width, &height, &channels, 3);
    if (!pixels)
    {
        std::fprintf(stderr, "bmp2png: cannot read %s: %s\n", argv[1], stbi_failure_reason());
        return 1;
    }
    const size_t count = size_t(width) * height;
    std::unordered_map<uint32_t, uint32_t> histogram;
    for (size_t i = 0; i < count; ++i)
        ++histogram[Key(pixels + 3 * i)];
    std::vector<Colour> colours;
    for (const auto& [key, n] : histogram)
        colours.push_back({key, n});
    std::sort(colours.begin(), colours.end(), [](const Colour& a, const Colour& b) { return a.mKey < b.mKey; });
    const std::vector<Rgb> palette = MedianCut(colours, 256);
    std::unordered_map<uint32_t, uint8_t> index;
    for (const Colour& c : colours)
        index[c.mKey] = Nearest(palette, c.mKey);
    std::vector<uint8_t> indices(count);
    double error = 0.0;
    for (size_t i = 0; i < count; ++i)
    {
        indices[i] = index[Key(pixels + 3 * i)];
        for (int a = 0; a < 3; ++a)
            error += std::abs(int(pixels[3 * i + a]) - int(palette[indices[i]][a]));
    }
    stbi_image_free(pixels);
    if (!WritePalettePng(argv[2], width, height, palette, indices))
    {
        std::fprintf(stderr, "bmp2png: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("bmp2png: %s: %zu colours to %zu, mean error %.2f of 255 per channel\n", argv[2], colours.size(),
                palette.size(), count ? error / (3.0 * count) : 0.0);
    return 0;
}

// Writes the bitmap fonts into <data folder>/Fonts: a 256 x 256 DXT5 texture of 16 x 16-pixel
// cells (cell i holds code 32 + i, white with the coverage in alpha) and a width file of 256
// records {advance, 0}. Usage: fontgen <font folder> <data folder>. Byte for byte the same on
// every run.
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/resource/DdsReader.h"
#include "graphics/resource/TextureData.h"
#include "tools/TextureFiles.h"

namespace {

constexpr int kCell = 16;
constexpr int kSize = kCell * 16;
constexpr int kBaseline = 12;

// scaleFor: pixels per font unit. monoAdvance > 0 fixes every advance to that many pixels.
bool MakeFont(const std::filesystem::path& ttf, const std::filesystem::path& outBase, float pixelsPerEm,
              int monoAdvance)
{
    std::ifstream in(ttf, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    stbtt_fontinfo font;
    if (bytes.empty() || !stbtt_InitFont(&font, bytes.data(), stbtt_GetFontOffsetForIndex(bytes.data(), 0)))
    {
        std::fprintf(stderr, "fontgen: cannot read %s\n", ttf.string().c_str());
        return false;
    }
    float scale = stbtt_ScaleForMappingEmToPixels(&font, pixelsPerEm);
    if (monoAdvance > 0)
    {
        int advance = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&font, 'M', &advance, &lsb);
        scale = static_cast<float>(monoAdvance) / static_cast<float>(advance);
    }

    std::vector<uint8_t> rgba(size_t(kSize) * kSize * 4, 0);
    for (size_t i = 0; i < rgba.size(); i += 4)
        rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    std::vector<uint8_t> widths(512, 0);
    std::vector<unsigned char> glyph(size_t(kCell) * kCell);
    for (int cell = 0; cell < 96; ++cell)
    {
        const int code = 32 + cell;
        int advance = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&font, code, &advance, &lsb);
        const int pixels = monoAdvance > 0 ? monoAdvance : static_cast<int>(std::lround(advance * scale));
        widths[size_t(cell) * 2] = static_cast<uint8_t>(std::clamp(pixels, 0, kCell));
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBox(&font, code, scale, scale, &x0, &y0, &x1, &y1);
        std::fill(glyph.begin(), glyph.end(), 0);
        // Drawn from the pen at the cell's left edge; whatever falls outside the cell is cut.
        const int left = std::max(0, x0);
        const int top = std::max(0, kBaseline + y0);
        const int w = std::min(kCell - left, x1 - x0);
        const int h = std::min(kCell - top, y1 - y0);
        if (w <= 0 || h <= 0)
            continue;
        stbtt_MakeCodepointBitmap(&font, glyph.data() + top * kCell + left, w, h, kCell, scale, scale, code);
        const int cellX = (cell % 16) * kCell;
        const int cellY = (cell / 16) * kCell;
        for (int y = 0; y < kCell; ++y)
            for (int x = 0; x < kCell; ++x)
                rgba[(size_t(cellY + y) * kSize + cellX + x) * 4 + 3] = glyph[size_t(y) * kCell + x];
    }

    TextureData data;
    data.mFormat = TextureFormat::DXT5;
    data.mWidth = kSize;
    data.mHeight = kSize;
    data.mLevels = 1;
    data.mLevelData.push_back(Dxt::EncodeLevel(TextureFormat::DXT5, rgba.data(), kSize, kSize));
    const std::string dds = DdsWriter::Write(data);
    std::filesystem::path ddsPath = outBase;
    ddsPath += ".dds";
    std::filesystem::path datPath = outBase;
    datPath += ".dat";
    if (!WriteBytes(ddsPath, dds.data(), dds.size()) || !WriteBytes(datPath, widths.data(), widths.size()))
    {
        std::fprintf(stderr, "fontgen: cannot write %s\n", outBase.string().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path fonts = argc > 1 ? argv[1] : "/usr/share/fonts/truetype/dejavu";
    const std::filesystem::path data = argc > 2 ? argv[2] : "data";
    const std::filesystem::path out = data / "Fonts";
    std::error_code error;
    std::filesystem::create_directories(out, error);
    const bool ok = MakeFont(fonts / "DejaVuSansMono.ttf", out / "Console", 0.0f, 8) &&
        MakeFont(fonts / "DejaVuSans.ttf", out / "Default", 13.0f, 0);
    return ok ? 0 : 1;
}

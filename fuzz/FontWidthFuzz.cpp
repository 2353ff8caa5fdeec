// A font's glyph-width file, loaded with a texture whose cells are 16 texels wide as the shipped
// fonts' are, so their widths are inside the cell and damaged ones outside it.
#include "fuzz/FuzzGraphics.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/resource/DdsReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string texture = [] {
        TextureData cells;
        cells.mWidth = cells.mHeight = 256;
        cells.mLevels = 1;
        cells.mLevelData.assign(1, std::vector<uint8_t>(256 * 256 * 4, 255));
        const std::string bytes = DdsWriter::Write(cells);
        return WriteScratchFile("Font.dds", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }();
    BitmapFont font(&FuzzDevice());
    font.Load(texture, WriteScratchFile("Fuzz.dat", data, size));
    return 0;
}

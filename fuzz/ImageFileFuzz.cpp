// PNG, BMP, TGA and JPEG through stb: as a texture file and as a height image.
#include "fuzz/FuzzGraphics.h"
#include "graphics/terrain/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = WriteScratchFile("Fuzz.img", data, size);
    FuzzLoadTexture(name);
    Image image;
    std::string error;
    LoadImageFile(name, image, error);
    return 0;
}

// DDS textures: the reader alone, then the same bytes as a texture file through the store.
#include "fuzz/FuzzGraphics.h"
#include "graphics/resource/DdsReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TextureData texture;
    std::string error;
    if (DdsReader::Read(data, size, texture, error))
        ConvertTextureData(texture, false);
    FuzzLoadTexture(WriteScratchFile("Fuzz.dds", data, size));
    return 0;
}

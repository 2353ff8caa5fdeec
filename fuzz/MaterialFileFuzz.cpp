// Material files, with the textures they name loaded through the store.
#include "fuzz/FuzzGraphics.h"
#include "graphics/resource/Material.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzDevice();
    {
        Material material;
        material.Load(WriteScratchFile("Fuzz.xml", data, size));
    }
    ResourceContext::Textures()->ReleaseAll();
    return 0;
}

// Animated texture lists: frames are loaded through the store, and a frame may name the list.
#include "fuzz/FuzzGraphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzDevice();
    {
        TextureRef ref;
        ref.SetFile(WriteScratchFile("Fuzz.xml", data, size));
        for (int i = 0; i < 20; ++i)
            ref.GetTexture();
    }
    ResourceContext::Textures()->ReleaseAll();
    return 0;
}

// Particle system, emitter and colour files: the same bytes through each reader.
#include "fuzz/FuzzGraphics.h"
#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"
#include "graphics/scene/path/ColorStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzDevice();
    const std::string name = WriteScratchFile("Fuzz.xml", data, size);
    {
        ParticleSystem system;
        system.Load(name);
    }
    {
        Emitter emitter;
        emitter.Load(name);
    }
    ColorStream colors;
    colors.Load(name);
    ResourceContext::Textures()->ReleaseAll();
    return 0;
}

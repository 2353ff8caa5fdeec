// .fx effect files, compiled against a device that draws nothing.
#include "fuzz/FuzzGraphics.h"
#include "graphics/effect/FxEffect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string errors;
    FxEffect::FromFile(FuzzDevice(), WriteScratchFile("Fuzz.fx", data, size), nullptr, errors);
    return 0;
}

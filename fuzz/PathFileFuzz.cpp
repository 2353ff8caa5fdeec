// Path point files, read and then walked.
#include "fuzz/FuzzSupport.h"
#include "graphics/scene/path/Path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Path path;
    path.Load(WriteScratchFile("Fuzz.pth", data, size));
    path.Build();
    for (float t : {0.0f, 0.3f, 1.0f})
        path.PointAtFraction(t);
    return 0;
}

// libFuzzer entry for the model readers: the same bytes go through every chunked loader and
// the 3D Studio reader. Links with loom_model and loom.
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/model/DistanceMap.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/model/files/ChunkReader.h"
#include "graphics/model/files/LMLoader.h"
#include "graphics/model/files/Model3DS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        ChunkReader reader;
        reader.OpenBuffer(bytes, "fuzz.lmf");
        Mesh mesh;
        if (LMLoader::ReadMesh(reader, mesh))
            mesh.BuildEdges();
    }
    {
        ChunkReader reader;
        reader.OpenBuffer(bytes, "fuzz.lmf");
        Skeleton skeleton;
        LMLoader::ReadSkeleton(reader, skeleton);
    }
    {
        ChunkReader reader;
        reader.OpenBuffer(bytes, "fuzz.lmf");
        AnimationSet set;
        LMLoader::ReadAnimations(reader, set);
    }
    {
        ChunkReader reader;
        reader.OpenBuffer(bytes, "fuzz.lmf");
        DistanceMap map;
        LMLoader::ReadDistanceMap(reader, map);
    }
    {
        Mesh mesh;
        Model3DS reader;
        reader.Read(bytes, "fuzz.3ds", mesh, nullptr);
    }
    return 0;
}

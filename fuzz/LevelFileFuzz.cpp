// Level files: the same bytes as the flags-and-objects file read by a tile map, and as the
// level cog's XML read through the cog manager with the tile map registered.
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "fuzz/FuzzSupport.h"
#include "game/level/TileMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CogFactory* cogs = [] {
        static CogFactory factory;
        RegisterPositional(factory);
        RegisterTileMap(factory);
        return &factory;
    }();
    {
        TileMap map;
        map.widthSize = map.depthSize = 16;
        map.MainLevelFile = WriteScratchFile("Fuzz.bin", data, size);
        map.Initialize();
    }
    cogs->Files().LoadCogFile(WriteScratchFile("Fuzz.xml", data, size));
    cogs->ProcessDestroyList();
    cogs->DestroyAll();
    return 0;
}

// Cog files, cog-list files and compositions, read through the cog manager as the console's
// "file" and "Composer" do, with the core's component types registered.
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CogFactory* cogs = [] {
        static CogFactory factory;
        RegisterPositional(factory);
        return &factory;
    }();
    const std::string name = WriteScratchFile("Fuzz.xml", data, size);
    cogs->Files().LoadCogFile(name);
    cogs->Files().LoadComposition(name);
    cogs->ProcessDestroyList();
    cogs->DestroyAll();
    return 0;
}

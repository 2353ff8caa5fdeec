// The engine settings file.
#include "LOOM/engine/EngineConfig.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = WriteScratchFile("config.xml", data, size);
    EngineConfig config;
    LoadEngineConfig(name, config);
    return 0;
}

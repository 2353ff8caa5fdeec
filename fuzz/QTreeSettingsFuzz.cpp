// The quad tree's settings file, then a tree built from whatever it allowed.
#include "LOOM/space/QTree.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteScratchFile("Config/QTree.xml", data, size);
    QTree tree;
    tree.Init();
    return 0;
}

// Console lines against the cog manager's commands; each line of the input is one command.
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ScratchFolder();
    CogFactory& cogs = CogFactory::Instance();
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        Console::Instance().ExecuteLine(text.substr(start, end - start));
        start = end + 1;
    }
    cogs.ProcessDestroyList();
    cogs.DestroyAll();
    return 0;
}

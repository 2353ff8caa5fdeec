// The pull tokenizer alone, walked to the end of the text, with the attributes the loaders ask
// for decoded on each tag.
#include "LOOM/serial/XMLReader.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    XMLReader reader;
    if (!reader.OpenText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xml"))
        return 0;
    // Each element consumes text; the bound only guards against a reader that stops moving.
    for (size_t i = 0; i <= size && reader.ParseElement(); ++i)
    {
        if (reader.Kind() != XMLReader::KindText)
        {
            for (const char* name : {"name", "type", "value"})
                reader.GetAttribute(name);
        }
    }
    return 0;
}

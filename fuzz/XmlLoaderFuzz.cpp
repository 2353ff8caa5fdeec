// XMLLoader filling a record with every kind of field.
#include "LOOM/serial/XMLLoader.h"
#include "tests/LOOM/support/AllFieldsRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AllFields record;
    XMLLoader loader;
    loader.OpenText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xml");
    SerializeElement(loader, "AllFields", TypeElement, record);
    return 0;
}

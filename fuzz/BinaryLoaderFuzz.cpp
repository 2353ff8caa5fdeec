// BinaryLoader filling a record with every kind of field.
#include "LOOM/serial/BinaryLoader.h"
#include "tests/LOOM/support/AllFieldsRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AllFields record;
    BinaryLoader loader;
    loader.OpenFromBuffer(std::string(reinterpret_cast<const char*>(data), size), "fuzz.bin");
    SerializeElement(loader, "AllFields", TypeElement, record);
    return 0;
}

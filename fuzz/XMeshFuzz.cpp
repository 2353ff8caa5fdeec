// libFuzzer entry for the X mesh reader, text and binary. Whatever it accepts must survive the
// binary writer: reading the written bytes back writes the same bytes again. Links with loom_model.
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/model/files/XMeshReader.h"
#include "graphics/model/files/XMeshWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    XMesh mesh;
    XMeshReader reader;
    if (!reader.Read(bytes, "fuzz.x", mesh))
        return 0;
    const std::string written = XMeshWriter::WriteBinary(mesh);
    XMesh again;
    if (!reader.Read(written, "fuzz_out.x", again) || XMeshWriter::WriteBinary(again) != written)
        __builtin_trap();
    return 0;
}

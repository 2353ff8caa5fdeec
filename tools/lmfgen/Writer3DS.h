#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lmfgen/LmfWriter.h"

// Writes 3D Studio chunks: u16 id, u32 length including the 6-byte header, little-endian.
class Writer3DS : public ByteWriter
{
public:
    void Begin(uint16_t id);
    void End();
    // A named object holding one triangle mesh with mapping coordinates.
    void Object(const std::string& name, const LmfPart& part);

private:
    std::vector<size_t> mOpen;
};

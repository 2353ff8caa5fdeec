#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lmfgen/LmfWriter.h"

// Writes 3D Studio chunks: u16 id, u32 length including the 6-byte header, little-endian.
class Writer3DS
{
public:
    void Begin(uint16_t id);
    void End();
    void U16(uint16_t value);
    void U32(uint32_t value);
    void F32(float value);
    void Str(const std::string& text);
    // A named object holding one triangle mesh with mapping coordinates.
    void Object(const std::string& name, const LmfPart& part);

    const std::string& Bytes() const { return mBytes; }
    bool Save(const std::string& path) const;

private:
    std::string mBytes;
    std::vector<size_t> mOpen;
};

#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Vector3.h"

// The bytes of a file being written field by field, little-endian, so reruns give the same bytes.
class ByteWriter
{
public:
    void U16(uint16_t value);
    void U32(uint32_t value);
    void F32(float value);
    void Vec(const Vector3& v);
    // The text and its terminating zero.
    void Str(const std::string& text);

    const std::string& Bytes() const { return mBytes; }

protected:
    std::string mBytes;
};

// Writes the bytes as the whole file; false when that failed.
bool SaveBytes(const std::string& path, const std::string& bytes);

#include "tools/lmfgen/ByteWriter.h"

#include <cstring>
#include <fstream>

void ByteWriter::U16(uint16_t value)
{
    mBytes.push_back(static_cast<char>(value & 0xFF));
    mBytes.push_back(static_cast<char>(value >> 8));
}

void ByteWriter::U32(uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        mBytes.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void ByteWriter::F32(float value)
{
    uint32_t raw;
    std::memcpy(&raw, &value, 4);
    U32(raw);
}

void ByteWriter::Vec(const Vector3& v)
{
    F32(v.x);
    F32(v.y);
    F32(v.z);
}

void ByteWriter::Str(const std::string& text)
{
    mBytes.append(text);
    mBytes.push_back('\0');
}

bool SaveBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

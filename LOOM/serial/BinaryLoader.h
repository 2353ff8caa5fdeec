#pragma once
#include <cstdint>
#include <string>

#include "LOOM/serial/Serializer.h"

// Reads what BinarySaver wrote, with the same Serialize code. The whole input is held in
// memory and read with a cursor. When the values run out before the closing tag, or a text
// has no end, the file is reported once and every later value keeps what it holds.
class BinaryLoader : public Serializer
{
public:
    BinaryLoader() = default;
    explicit BinaryLoader(const std::string& fileName);
    ~BinaryLoader() override = default;

    bool Open(std::string fileName) override;
    bool OpenFromBuffer(std::string bytes, const std::string& name = "memory");
    void Close() override;
    bool IsGood() override { return mOpen && !mFailed; }

    LOOM_SERIALIZER_OVERRIDES

    uint32_t CapListCount(uint32_t count) override;

    // Bytes of values not read yet (the closing tag excluded).
    size_t BytesLeft() const { return mEnd - mPos; }

private:
    bool Start();
    // Cursor on the next n bytes, or null (reported once) when fewer are left.
    const unsigned char* Take(size_t n);
    bool ReadU32(uint32_t& value);
    bool ReadText(std::string* value);
    void Fail(const std::string& why);

    std::string mBytes;
    std::string mFileName;
    size_t mPos = 0;
    size_t mEnd = 0;
    bool mOpen = false;
    bool mFailed = false;
};

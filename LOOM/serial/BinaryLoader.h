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

    bool BeginField(const char* typeName, const char* fieldName, bool single, uint32_t code, void* value) override;
    void EndField(const char* typeName, bool single) override;

    void Serialize(const int32_t& value) override;
    void Serialize(const uint32_t& value) override;
    void Serialize(const std::string& value) override;
    void Serialize(std::string& value) override;
    void Serialize(char& value) override;
    void Serialize(unsigned char& value) override;
    void Serialize(bool& value) override;
    void Serialize(uint32_t& value) override;
    void Serialize(double& value) override;
    void Serialize(int32_t& value) override;
    void Serialize(float& value) override;

    void SerializeNamed(const std::string& name, const float& value) override;
    void SerializeNamed(const std::string& name, const uint32_t& value) override;
    void SerializeNamed(const std::string& name, const char* const& value) override;
    void SerializeNamed(const std::string& name, std::string& value) override;
    void SerializeNamed(const std::string& name, uint32_t& value) override;
    void SerializeNamed(const std::string& name, bool& value) override;

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

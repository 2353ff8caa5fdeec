#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "LOOM/serial/Serializer.h"

// Run over an object's Serialize, records each plain field's type code and its distance in
// bytes from the object's start, so a tool can later find a field by name. Reads and writes
// nothing.
class FieldRecorder : public Serializer
{
public:
    struct FieldRecord
    {
        uint32_t mCode = 0;
        uint32_t mOffset = 0;
    };

    FieldRecorder() = default;
    // The file name is not used.
    explicit FieldRecorder(const std::string& fileName);
    ~FieldRecorder() override;

    // The start of the object about to be recorded.
    void SetBase(const void* base) { mBase = static_cast<const char*>(base); }
    const std::map<std::string, FieldRecord>& GetFields() const { return mFields; }
    const std::string& GetTypeName() const { return mTypeName; }

    bool Open(std::string) override { return true; }
    void Close() override {}
    bool IsGood() override { return true; }

    bool BeginField(const char* typeName, const char* fieldName, bool single, uint32_t code, void* value) override;
    void EndField(const char*, bool) override {}

    void Serialize(const std::string&) override {}
    void Serialize(std::string&) override {}
    void Serialize(char&) override {}
    void Serialize(bool&) override {}
    void Serialize(uint32_t&) override {}
    void Serialize(double&) override {}
    void Serialize(int32_t&) override {}
    void Serialize(float&) override {}

    void SerializeNamed(const std::string&, const float&) override {}
    void SerializeNamed(const std::string&, const uint32_t&) override {}
    // The "name" attribute of a record is its type name.
    void SerializeNamed(const std::string& name, const char* const& value) override;
    void SerializeNamed(const std::string&, std::string&) override {}
    void SerializeNamed(const std::string&, uint32_t&) override {}
    void SerializeNamed(const std::string&, bool&) override {}

private:
    std::string mTypeName;
    const char* mBase = nullptr;
    std::map<std::string, FieldRecord> mFields;
};

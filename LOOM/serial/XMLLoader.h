#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLReader.h"

// Reads a class's fields from an XML stream file. BeginField checks a start tag, the value
// operations convert the text, EndField checks the end tag. The first broken thing (a missing
// or unreadable file, a truncated or malformed file, an unexpected element) is reported once,
// naming the file, and loading stops: every later field keeps the value it holds.
class XMLLoader : public Serializer
{
public:
    XMLLoader();
    explicit XMLLoader(const std::string& fileName);
    ~XMLLoader() override;

    bool Open(std::string fileName) override;
    // Loads from text in memory; the name only appears in messages.
    bool OpenText(std::string text, const std::string& name);
    void Close() override;
    bool IsGood() override { return mValid; }

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

    XMLReader& GetReader() { return *mReader; }
    const std::string& FileName() const { return mFileName; }

private:
    bool StartReading();
    // The text of the current element's value; false when there is none (the value stays).
    bool ReadValue(std::string_view& raw);
    bool NextTag();
    void Truncated();
    void Mismatch(const char* which, const char* expected);

    std::unique_ptr<XMLReader> mReader;
    bool mValid = false;
    std::string mFileName;
};

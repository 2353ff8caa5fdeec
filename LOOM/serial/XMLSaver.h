#pragma once
#include <cstdint>
#include <string>

#include "LOOM/serial/Serializer.h"

// Writes a class's fields as an XML stream file: one element per field, one tab per level,
// LF line ends, floats with 5 significant digits. Text is collected in memory and saved whole
// when the file is closed, or not at all. '&' and '<' in values (and '"', '>' in attributes) are escaped so
// that every saved text loads back.
class XMLSaver : public Serializer
{
public:
    XMLSaver() = default;
    explicit XMLSaver(const std::string& fileName);
    ~XMLSaver() override;

    // Starts a file in memory; false (and logged) without a name.
    bool Open(std::string fileName) override;
    // Saves the file; IsGood then tells whether it was saved.
    void Close() override;
    bool IsGood() override { return mGood; }
    bool IsSaving() override { return true; }

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

    // Numbers as the stream writes them.
    static void AppendFloat(std::string& out, double value);
    static void AppendEscaped(std::string& out, const char* text, size_t size, bool attribute);

private:
    void Indent(uint32_t tabs);
    // Puts an attribute into the start tag just written.
    bool BeginAttribute(const std::string& name);
    void EndAttribute();

    std::string mFileName;
    bool mOpen = false;
    bool mGood = false;
    std::string mOut;
    uint32_t mDepth = 0;
    // True while the last thing written is a start tag, so an attribute may still join it.
    bool mTagOpen = false;
};

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

    LOOM_SERIALIZER_OVERRIDES

    // Saves one object as a whole file whose root element holds its fields; true when saved.
    template <typename T>
    static bool SaveElement(const std::string& fileName, const char* element, T& object, uint32_t code = TypeElement)
    {
        XMLSaver saver;
        if (!saver.Open(fileName))
            return false;
        SerializeElement(saver, element, code, object);
        // A saver tells whether the file was saved only once it is closed.
        saver.Close();
        return saver.IsGood();
    }

    // Numbers as the stream writes them.
    static void AppendFloat(std::string& out, double value);
    static void AppendEscaped(std::string& out, const char* text, size_t size, bool attribute);

private:
    void Indent(uint32_t tabs);
    // A number as element text.
    template <typename T>
    void AppendNumber(T value);
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

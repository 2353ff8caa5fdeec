#pragma once
#include <limits>
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

    LOOM_SERIALIZER_OVERRIDES

    uint32_t CapListCount(uint32_t count) override;
    bool PeekComponentId(uint32_t& id) override;

    // Reads a whole file into one object: the file's root element named element holds its
    // fields (LoadElement), or it holds a "serializable" object (LoadObject). True when all was read.
    template <typename T>
    static bool LoadElement(const std::string& fileName, const char* element, T& object, uint32_t code = TypeElement)
    {
        XMLLoader loader;
        if (loader.Open(fileName))
            SerializeElement(loader, element, code, object);
        const bool good = loader.IsGood();
        loader.Close();
        return good;
    }
    template <typename T>
    static bool LoadObject(const std::string& fileName, T& object)
    {
        XMLLoader loader;
        if (loader.Open(fileName))
            loader.SerializeObject(object);
        const bool good = loader.IsGood();
        loader.Close();
        return good;
    }

    XMLReader& GetReader() { return *mReader; }
    const std::string& FileName() const { return mFileName; }

private:
    bool StartReading();
    // The text of the current element's value; false when there is none (the value stays).
    bool ReadValue(std::string_view& raw);
    template <typename T>
    void ReadNumber(T& value);
    // One error naming the file, the line, the field and its text as written; the value stays.
    void RefuseNumber(size_t line, const std::string& field, std::string_view raw, const std::string& why,
                      const std::string& held);
    std::string Field() const;
    void SetNumberBounds(double least, double most) override;
    bool NextTag();
    void Truncated();
    void Mismatch(const char* which, const char* expected);

    std::unique_ptr<XMLReader> mReader;
    bool mValid = false;
    std::string mFileName;
    // The field being read, for messages, and the bounds its numbers must lie in.
    const char* mField = nullptr;
    double mLeast = -std::numeric_limits<double>::infinity();
    double mMost = std::numeric_limits<double>::infinity();
};

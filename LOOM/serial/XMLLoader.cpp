#include "LOOM/serial/XMLLoader.h"

#include <charconv>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/DataNumber.h"

namespace {
// The value a numeric field holds, by its type code; empty for a code that is not numeric.
std::string FieldValueText(uint32_t code, const void* value)
{
    switch (code)
    {
    case TypeInt:
        return DataNumber::Text(*static_cast<const int32_t*>(value));
    case TypeUInt:
        return DataNumber::Text(*static_cast<const uint32_t*>(value));
    case TypeFloat:
        return DataNumber::Text(*static_cast<const float*>(value));
    case TypeDouble:
        return DataNumber::Text(*static_cast<const double*>(value));
    default:
        return {};
    }
}

void ParseBool(std::string_view text, bool& value)
{
    if (text.substr(0, 4) == "true")
        value = true;
    else if (text.substr(0, 5) == "false")
        value = false;
}

void Raise(const char* expression, const std::string& message)
{
    if (AssertFailedString(expression, __FILE__, __LINE__, message))
        DebugBreakIfAttached();
}
} // namespace

XMLLoader::XMLLoader() : mReader(std::make_unique<XMLReader>()) {}

XMLLoader::XMLLoader(const std::string& fileName) : XMLLoader() { Open(fileName); }

XMLLoader::~XMLLoader() = default;

bool XMLLoader::Open(std::string fileName)
{
    mFileName = std::move(fileName);
    mValid = mReader->Open(mFileName);
    if (!mValid)
    {
        Raise("isvalid", "Error Opening XML File, Filename: " + mFileName);
        return false;
    }
    return StartReading();
}

bool XMLLoader::OpenText(std::string text, const std::string& name)
{
    mFileName = name;
    mValid = mReader->OpenText(std::move(text), name);
    return StartReading();
}

bool XMLLoader::StartReading()
{
    // The declaration and the Stream tag; neither is checked.
    for (int i = 0; i < 2 && mValid; ++i)
    {
        if (!mReader->ParseElement())
        {
            if (!mReader->HasFailed())
                Truncated();
            mValid = false;
        }
    }
    return mValid;
}

void XMLLoader::Close() { mReader->Close(); }

void XMLLoader::Truncated()
{
    mValid = false;
    Console::Instance().Log("XML File is not correct: the file ends too early\nIn file " + mFileName, LogError);
}

void XMLLoader::Mismatch(const char* which, const char* expected)
{
    mValid = false;
    // The kind is named only when it is the wrong one, so a plain name mismatch reads as
    // "found != expected".
    std::string found = mReader->ElementName();
    const bool endTag = mReader->Kind() == XMLReader::KindEnd && !mReader->IsSelfClosing();
    const bool wantEnd = std::string_view(which) == "EndFileTag";
    if (endTag && !wantEnd)
        found += " (end tag)";
    else if (!endTag && wantEnd)
        found += " (start tag)";
    Raise("Reader->ElementName() == nametype",
          std::string("XML File is not correct: ") + which + "!=ExpectedTag " + found +
              " != " + (expected ? expected : "") + "\nIn file " + mFileName);
}

bool XMLLoader::NextTag()
{
    do
    {
        if (!mReader->ParseElement())
        {
            if (!mReader->HasFailed())
                Truncated();
            mValid = false;
            return false;
        }
        // Text here is a value nobody read (a write-only operation while loading): skip it.
    } while (mReader->Kind() == XMLReader::KindText);
    return true;
}

bool XMLLoader::BeginField(const char* typeName, const char* fieldName, bool /*single*/, uint32_t code, void* value)
{
    if (!mValid || !NextTag())
        return false;
    const bool isStart = mReader->Kind() == XMLReader::KindStart || mReader->IsSelfClosing();
    if (!isStart || (typeName && mReader->ElementName() != typeName))
    {
        Mismatch("StartFileTag", typeName);
        return false;
    }
    mField = fieldName ? fieldName : typeName;
    if (!mReader->IsEmpty())
        return true;
    // An empty number is no number: named, where an empty text or file is a plain empty value.
    if (value)
    {
        const std::string held = FieldValueText(code, value);
        if (!held.empty())
            RefuseNumber(mReader->TokenLine(), Field(), "", "not a number", held);
    }
    return false;
}

void XMLLoader::EndField(const char* typeName, bool /*single*/)
{
    // The name was the caller's for the length of the field.
    mField = nullptr;
    if (!mValid || !NextTag())
        return;
    const bool isEnd = mReader->Kind() == XMLReader::KindEnd && !mReader->IsSelfClosing();
    if (!isEnd || (typeName && mReader->ElementName() != typeName))
        Mismatch("EndFileTag", typeName);
    else if (mReader->Depth() <= 1 && !mReader->CheckRest()) // the record is read: only the stream's end is left
        mValid = false;
}

bool XMLLoader::PeekComponentId(uint32_t& id)
{
    std::string text;
    if (!mValid || !mReader->PeekStartAttribute("comp", "CompID", text))
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), id);
    return result.ec == std::errc();
}

bool XMLLoader::ReadValue(std::string_view& raw)
{
    if (!mValid || mReader->IsEmpty())
        return false;
    if (mReader->ReadText(raw))
        return true;
    if (mReader->AtEnd())
        Truncated();
    return false;
}

template <typename T>
void XMLLoader::ReadNumber(T& value)
{
    if (!mValid || mReader->IsEmpty())
        return;
    std::string_view raw;
    // The line is counted only for a refusal: counting it for every number made a load quadratic.
    if (!mReader->ReadText(raw))
    {
        if (mReader->AtEnd())
            Truncated();
        else
            RefuseNumber(mReader->TokenLine(), Field(), "", "not a number", DataNumber::Text(value));
        return;
    }
    if (const char* why = DataNumber::Parse(raw, value, mLeast, mMost))
        RefuseNumber(mReader->TokenLine(), Field(), raw, DataNumber::Why(why, mLeast, mMost), DataNumber::Text(value));
}

std::string XMLLoader::Field() const { return mField ? mField : "value"; }

void XMLLoader::RefuseNumber(size_t line, const std::string& field, std::string_view raw, const std::string& why,
                             const std::string& held)
{
    DataNumber::Refuse(mFileName, line, field, raw, why, held);
}

void XMLLoader::SetNumberBounds(double least, double most)
{
    mLeast = least;
    mMost = most;
}

// Write-only values carry what was fixed when the object was built; nothing is read for them.
void XMLLoader::Serialize(const std::string&) {}

void XMLLoader::Serialize(std::string& value)
{
    std::string_view raw;
    if (ReadValue(raw))
        XMLReader::DecodeEntities(raw, value);
}

void XMLLoader::Serialize(char& value)
{
    std::string_view raw;
    if (!ReadValue(raw))
        return;
    std::string decoded;
    XMLReader::DecodeEntities(raw.substr(0, 6), decoded);
    if (!decoded.empty())
        value = decoded.front();
}

void XMLLoader::Serialize(bool& value)
{
    std::string_view raw;
    if (ReadValue(raw))
        ParseBool(raw, value);
}

void XMLLoader::Serialize(uint32_t& value) { ReadNumber(value); }

void XMLLoader::Serialize(double& value) { ReadNumber(value); }

void XMLLoader::Serialize(int32_t& value) { ReadNumber(value); }

void XMLLoader::Serialize(float& value) { ReadNumber(value); }

void XMLLoader::SerializeNamed(const std::string&, const float&) {}
void XMLLoader::SerializeNamed(const std::string&, const uint32_t&) {}
void XMLLoader::SerializeNamed(const std::string&, const char* const&) {}

void XMLLoader::SerializeNamed(const std::string& name, std::string& value)
{
    std::string_view raw;
    if (!mValid || !mReader->FindAttribute(name, raw))
        return;
    // A named text is one word.
    std::string decoded;
    XMLReader::DecodeEntities(raw, decoded);
    const size_t begin = decoded.find_first_not_of(" \t\n\r");
    if (begin == std::string::npos)
        return;
    const size_t end = decoded.find_first_of(" \t\n\r", begin);
    value.assign(decoded, begin, end == std::string::npos ? std::string::npos : end - begin);
}

void XMLLoader::SerializeNamed(const std::string& name, uint32_t& value)
{
    std::string_view raw;
    if (!mValid || !mReader->FindAttribute(name, raw))
        return;
    if (const char* why = DataNumber::Parse(raw, value))
        RefuseNumber(mReader->TokenLine(), Field() + " attribute " + name, raw, why, DataNumber::Text(value));
}

void XMLLoader::SerializeNamed(const std::string& name, bool& value)
{
    std::string_view raw;
    if (mValid && mReader->FindAttribute(name, raw))
        ParseBool(raw, value);
}

uint32_t XMLLoader::CapListCount(uint32_t count)
{
    // The shortest item is a self-closing tag of one letter: four bytes.
    const size_t most = mReader->BytesLeft() / 4;
    if (count <= most)
        return count;
    Console::Instance().Log("XML File is not correct: list size " + std::to_string(count) +
                                " is larger than the rest of the file can hold\nIn file " + mFileName,
                            LogError);
    return static_cast<uint32_t>(most);
}

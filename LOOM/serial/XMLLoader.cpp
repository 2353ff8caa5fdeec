#include "LOOM/serial/XMLLoader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number of its type that lies outside the field's own bounds.
constexpr const char* kOutsideBounds = "out of bounds";

// Digits from at on; returns how many.
size_t Digits(std::string_view text, size_t at)
{
    size_t end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    return end - at;
}

// A whole decimal number, or a finite decimal number for reals, alone between blanks: no hex, no
// "inf" or "nan", nothing after it. Null when the text is one (value set), else why not. The value
// changes only when the text is taken.
template <typename T>
const char* ParseNumber(std::string_view text, T& value, double least, double most)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    size_t at = !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
    const std::string_view body = !text.empty() && text.front() == '+' ? text.substr(1) : text;
    if constexpr (std::is_integral_v<T>)
    {
        if (text.empty() || Digits(text, at) == 0 || at + Digits(text, at) != text.size())
            return "not a whole decimal number";
        long long wide = 0;
        const auto result = std::from_chars(body.data(), body.data() + body.size(), wide);
        if (result.ec != std::errc() || wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max())
            return std::is_signed_v<T> ? "out of range for an int: -2147483648 to 2147483647"
                                       : "out of range for a uint: 0 to 4294967295";
        if (double(wide) < least || double(wide) > most)
            return kOutsideBounds;
        value = static_cast<T>(wide);
        return nullptr;
    }
    else
    {
        const size_t wholeAt = at;
        const size_t whole = Digits(text, at);
        at += whole;
        size_t fraction = 0;
        if (at < text.size() && text[at] == '.')
        {
            fraction = Digits(text, at + 1);
            at += 1 + fraction;
        }
        bool good = !text.empty() && whole + fraction > 0;
        bool tiny = false;
        if (good && at < text.size() && (text[at] == 'e' || text[at] == 'E'))
        {
            const size_t mark = at;
            at += at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-') ? 2 : 1;
            const size_t exponent = Digits(text, at);
            good = exponent > 0;
            at += exponent;
            tiny = good && text[mark + 1] == '-';
        }
        if (!good || at != text.size())
            return "not a finite decimal number";
        double wide = 0.0;
        const auto result = std::from_chars(body.data(), body.data() + body.size(), wide);
        if (result.ec == std::errc::result_out_of_range)
        {
            // Too small to hold reads as 0: a negative exponent, or nothing but 0 before the point.
            const bool zeroWhole = text.substr(wholeAt, whole).find_first_not_of('0') == std::string_view::npos;
            if (!tiny && !zeroWhole)
                return "out of range for a real";
            wide = 0.0;
        }
        else if (result.ec != std::errc() || std::abs(wide) > double(std::numeric_limits<T>::max()))
            return "out of range for a real";
        if (wide < least || wide > most)
            return kOutsideBounds;
        value = static_cast<T>(wide);
        return nullptr;
    }
}

template <typename T>
std::string NumberText(T value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

// The value a numeric field holds, by its type code; empty for a code that is not numeric.
std::string FieldValueText(uint32_t code, const void* value)
{
    switch (code)
    {
    case TypeInt:
        return NumberText(*static_cast<const int32_t*>(value));
    case TypeUInt:
        return NumberText(*static_cast<const uint32_t*>(value));
    case TypeFloat:
        return NumberText(*static_cast<const float*>(value));
    case TypeDouble:
        return NumberText(*static_cast<const double*>(value));
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
            RefuseNumber(mReader->TokenLine(), Field(), "", "not a number", NumberText(value));
        return;
    }
    if (const char* why = ParseNumber(raw, value, mLeast, mMost))
    {
        const std::string reason =
            why == kOutsideBounds ? "out of range: " + NumberText(mLeast) + " to " + NumberText(mMost) : why;
        RefuseNumber(mReader->TokenLine(), Field(), raw, reason, NumberText(value));
    }
}

std::string XMLLoader::Field() const { return mField ? mField : "value"; }

void XMLLoader::RefuseNumber(size_t line, const std::string& field, std::string_view raw, const std::string& why,
                             const std::string& held)
{
    // The text as the file has it (a long one cut), so the line can be found and mended.
    constexpr size_t kShown = 60;
    Console::Instance().Log(mFileName + " line " + std::to_string(line) + ": " + field + " \"" +
                                std::string(raw.substr(0, kShown)) + (raw.size() > kShown ? "...\"" : "\"") +
                                " refused (" + why + "); it keeps " + held,
                            LogError);
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
    if (const char* why = ParseNumber(raw, value, 0.0, double(std::numeric_limits<uint32_t>::max())))
        RefuseNumber(mReader->TokenLine(), Field() + " attribute " + name, raw, why, NumberText(value));
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

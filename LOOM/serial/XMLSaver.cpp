#include "LOOM/serial/XMLSaver.h"

#include <charconv>
#include <cstring>
#include <type_traits>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
template <typename T>
void AppendInteger(std::string& out, T value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}
} // namespace

XMLSaver::XMLSaver(const std::string& fileName) { Open(fileName); }

XMLSaver::~XMLSaver() { Close(); }

bool XMLSaver::Open(std::string fileName)
{
    Close();
    mFileName = std::move(fileName);
    mOut.clear();
    mDepth = 0;
    mTagOpen = false;
    mGood = false;
    if (mFileName.empty())
    {
        Console::Instance().Log("Error Opening XML File for writing: no file name", LogError);
        return false;
    }
    mOpen = true;
    mGood = true;
    mOut = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">";
    return true;
}

void XMLSaver::Close()
{
    if (!mOpen)
        return;
    mOpen = false;
    mOut += "\n</Stream>";
    mGood = mGood && SaveWholeFile(mFileName, mOut);
    mOut.clear();
    mOut.shrink_to_fit();
}

void XMLSaver::Indent(uint32_t tabs)
{
    mOut.push_back('\n');
    mOut.append(tabs, '\t');
}

bool XMLSaver::BeginField(const char* typeName, const char* fieldName, bool /*single*/, uint32_t /*code*/,
                          void* /*value*/)
{
    Indent(mDepth + 1);
    mOut.push_back('<');
    mOut.append(typeName ? typeName : "");
    mOut.push_back('>');
    mTagOpen = true;
    if (fieldName)
    {
        BeginAttribute("name");
        AppendEscaped(mOut, fieldName, std::strlen(fieldName), true);
        EndAttribute();
    }
    ++mDepth;
    return true;
}

void XMLSaver::EndField(const char* typeName, bool single)
{
    if (mDepth > 0)
        --mDepth;
    if (!single)
        Indent(mDepth + 1);
    mOut.append("</");
    mOut.append(typeName ? typeName : "");
    mOut.push_back('>');
    mTagOpen = false;
}

void XMLSaver::AppendFloat(std::string& out, double value)
{
    // Default notation with 5 significant digits, whatever the locale.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 5);
    out.append(buffer, result.ptr);
}

void XMLSaver::AppendEscaped(std::string& out, const char* text, size_t size, bool attribute)
{
    for (size_t i = 0; i < size; ++i)
    {
        const char c = text[i];
        if (c == '&')
            out.append("&amp;");
        else if (c == '<')
            out.append("&lt;");
        else if (attribute && c == '>')
            out.append("&gt;");
        else if (attribute && c == '"')
            out.append("&quot;");
        else
            out.push_back(c);
    }
}

void XMLSaver::Serialize(const std::string& value)
{
    AppendEscaped(mOut, value.data(), value.size(), false);
    mTagOpen = false;
}
void XMLSaver::Serialize(std::string& value) { Serialize(static_cast<const std::string&>(value)); }
void XMLSaver::Serialize(char& value)
{
    AppendEscaped(mOut, &value, 1, false);
    mTagOpen = false;
}
void XMLSaver::Serialize(bool& value)
{
    mOut.append(value ? "true" : "false");
    mTagOpen = false;
}
template <typename T>
void XMLSaver::AppendNumber(T value)
{
    if constexpr (std::is_floating_point_v<T>)
        AppendFloat(mOut, value);
    else
        AppendInteger(mOut, value);
    mTagOpen = false;
}
void XMLSaver::Serialize(uint32_t& value) { AppendNumber(value); }
void XMLSaver::Serialize(double& value) { AppendNumber(value); }
void XMLSaver::Serialize(int32_t& value) { AppendNumber(value); }
void XMLSaver::Serialize(float& value) { AppendNumber(value); }

bool XMLSaver::BeginAttribute(const std::string& name)
{
    if (!mTagOpen || mOut.empty() || mOut.back() != '>')
    {
        // It would have to overwrite a value: the attribute is dropped instead.
        Console::Instance().Log("XML attribute " + name + " written outside a start tag, File: " + mFileName, LogError);
        return false;
    }
    mOut.pop_back();
    mOut.push_back(' ');
    mOut.append(name);
    mOut.append("=\"");
    return true;
}

void XMLSaver::EndAttribute() { mOut.append("\">"); }

void XMLSaver::SerializeNamed(const std::string& name, const float& value)
{
    if (!BeginAttribute(name))
        return;
    AppendFloat(mOut, value);
    EndAttribute();
}

void XMLSaver::SerializeNamed(const std::string& name, const uint32_t& value)
{
    if (!BeginAttribute(name))
        return;
    AppendInteger(mOut, value);
    EndAttribute();
}

void XMLSaver::SerializeNamed(const std::string& name, const char* const& value)
{
    if (!BeginAttribute(name))
        return;
    if (value)
        AppendEscaped(mOut, value, std::strlen(value), true);
    EndAttribute();
}

void XMLSaver::SerializeNamed(const std::string& name, std::string& value)
{
    if (!BeginAttribute(name))
        return;
    AppendEscaped(mOut, value.data(), value.size(), true);
    EndAttribute();
}

void XMLSaver::SerializeNamed(const std::string& name, uint32_t& value)
{
    SerializeNamed(name, static_cast<const uint32_t&>(value));
}

void XMLSaver::SerializeNamed(const std::string& name, bool& value)
{
    if (!BeginAttribute(name))
        return;
    mOut.append(value ? "true" : "false");
    EndAttribute();
}

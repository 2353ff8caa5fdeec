#include "LOOM/console/XmlWriter.h"

#include <cstdint>

namespace {
// The length of the well-formed UTF-8 sequence at text[i], else 0.
size_t XmlCharLength(const std::string& text, size_t i)
{
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        length = 2;
        code = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        code = lead & 0x0F;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        code = lead & 0x07;
    }
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
    {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and beyond U+10FFFF are no UTF-8.
    const uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

// U+FFFE and U+FFFF are UTF-8 but no XML character.
bool IsXmlNonCharacter(const std::string& text, size_t i, size_t length)
{
    return length == 3 && text.compare(i, 2, "\xEF\xBF") == 0 && (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');
}

bool NeedsEscape(const std::string& text)
{
    for (char c : text)
    {
        const auto u = static_cast<uint8_t>(c);
        if (u >= 0x80 || (u < 0x20 && c != '\t' && c != '\n') || u == 0x7F || c == '&' || c == '<' || c == '>' ||
            c == '"')
            return true;
    }
    return false;
}
} // namespace

std::string XmlEscape(const std::string& text)
{
    if (!NeedsEscape(text))
        return text;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size();)
    {
        const char c = text[i];
        const auto u = static_cast<uint8_t>(c);
        if (u >= 0x80)
        {
            // Bytes that are no character (a garbage file, a peer's name) become U+FFFD, one each.
            const size_t length = XmlCharLength(text, i);
            if (length == 0 || IsXmlNonCharacter(text, i, length))
            {
                out += "\xEF\xBF\xBD";
                i += length == 0 ? 1 : length;
            }
            else
            {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        ++i;
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
        case '\n':
            out += c;
            break;
        default:
            // Control characters XML cannot hold are shown as the escape a reader would type.
            if (u < 0x20 || u == 0x7F)
            {
                out += "\\x";
                out += kHex[u >> 4];
                out += kHex[u & 0x0F];
            }
            else
                out += c;
            break;
        }
    }
    return out;
}

void WriteXmlOpenTag(std::ostream& out, const std::string& name) { out << '<' << name << ">\n"; }

void WriteXmlOpenTagWithAttribute(std::ostream& out, const std::string& name, const std::string& attribute,
                                  const std::string& value)
{
    out << '<' << name << ' ' << attribute << "=\"" << XmlEscape(value) << "\">\n";
}

void WriteXmlCloseTag(std::ostream& out, const std::string& name) { out << "</" << name << ">\n"; }

void WriteXmlElement(std::ostream& out, const std::string& name, const std::string& value)
{
    out << '<' << name << '>' << XmlEscape(value) << "</" << name << ">\n";
}

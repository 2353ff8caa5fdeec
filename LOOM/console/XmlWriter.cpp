#include "LOOM/console/XmlWriter.h"

std::string XmlEscape(const std::string& text)
{
    if (text.find_first_of("&<>\"") == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text)
    {
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
        default:
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

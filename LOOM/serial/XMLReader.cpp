#include "LOOM/serial/XMLReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"

namespace {
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view TrimBack(std::string_view text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimFront(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}
// The quoted value after "encoding" in a declaration; empty when none is given.
std::string DeclaredEncoding(std::string_view declaration)
{
    const size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    const std::string_view rest = declaration.substr(at);
    const size_t quote = rest.find_first_of("\"'");
    if (quote == std::string_view::npos)
        return "?";
    const size_t endQuote = rest.find(rest[quote], quote + 1);
    if (endQuote == std::string_view::npos || endQuote == quote + 1)
        return "?";
    return std::string(rest.substr(quote + 1, endQuote - quote - 1));
}
} // namespace

bool XMLReader::Open(const std::string& fileName)
{
    std::string text;
    const std::string path = DataFilePath(fileName);
    // Only plain files are read: anything else is refused without waiting on it.
    if (!ReadWholeFile(path, text))
    {
        Close();
        mFileName = fileName;
        return false;
    }
    return OpenText(std::move(text), fileName);
}

bool XMLReader::OpenText(std::string text, const std::string& name)
{
    mText = std::move(text);
    mCountedTo = 0;
    mCountedLines = 0;
    mFileName = name;
    mOpen = true;
    mFailed = false;
    mKind = KindText;
    mName.clear();
    mValue.clear();
    mAttributes.clear();
    mEmpty = false;
    mSelfClosing = false;
    // Whatever precedes the first tag (a byte-order mark) is not part of the stream.
    const size_t first = mText.find('<');
    mPos = first == std::string::npos ? mText.size() : first;
    mTokenStart = mPos;
    mElements.clear();
    return CheckEncoding();
}

bool XMLReader::CheckEncoding()
{
    const size_t declaration = mText.find("<?xml", mPos);
    if (declaration != mPos)
        return true;
    const size_t close = mText.find('>', mPos);
    const std::string encoding = DeclaredEncoding(
        std::string_view(mText).substr(mPos, close == std::string::npos ? std::string::npos : close - mPos));
    std::string lower = encoding;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower.empty() || lower == "utf-8" || lower == "us-ascii" || lower == "iso-8859-1")
        return true;
    return Fail(("unknown encoding \"" + encoding + "\"").c_str());
}

bool XMLReader::CheckRest()
{
    if (!mOpen || mFailed)
        return false;
    // A file cut short is left to the tokenizer, which names where it ends.
    const std::string_view text(mText);
    std::vector<std::string_view> open(mElements.begin(), mElements.end());
    for (size_t pos = text.find('<', mPos); pos != std::string_view::npos; pos = text.find('<', pos))
    {
        mTokenStart = pos;
        if (text.compare(pos, 4, "<!--") == 0)
        {
            const size_t end = text.find("-->", pos + 4);
            pos = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const size_t close = text.find('>', pos);
        if (close == std::string_view::npos)
            break;
        std::string_view tag = TrimFront(TrimBack(text.substr(pos + 1, close - pos - 1)));
        pos = close + 1;
        if (tag.starts_with('?') || tag.starts_with('!') || tag.ends_with('/'))
            continue;
        const bool end = tag.starts_with('/');
        if (end)
            tag = TrimFront(tag.substr(1));
        size_t nameEnd = 0;
        while (nameEnd < tag.size() && !IsBlank(tag[nameEnd]))
            ++nameEnd;
        const std::string_view name = tag.substr(0, nameEnd);
        if (!end)
            open.push_back(name);
        else if (open.empty())
            return Fail(("end tag </" + std::string(name) + "> closes nothing").c_str());
        else if (open.back() != name)
            return Fail(
                ("end tag </" + std::string(name) + "> does not close <" + std::string(open.back()) + ">").c_str());
        else
            open.pop_back();
    }
    mTokenStart = mPos;
    return true;
}

void XMLReader::Close()
{
    mOpen = false;
    mText.clear();
    mText.shrink_to_fit();
    mPos = 0;
    mAttributes.clear();
    mElements.clear();
}

bool XMLReader::Fail(const char* what)
{
    mFailed = true;
    Console::Instance().Log("XML File is not correct: " + std::string(what) + " at byte " +
                                std::to_string(mTokenStart) + "\nIn file " + mFileName,
                            LogError);
    return false;
}

void XMLReader::SkipBlanks()
{
    while (mPos < mText.size() && IsBlank(mText[mPos]))
        ++mPos;
}

bool XMLReader::AtEnd()
{
    SkipBlanks();
    return mPos >= mText.size();
}

bool XMLReader::ParseElement()
{
    mEmpty = false;
    mSelfClosing = false;
    mAttributes.clear();
    if (!mOpen || mFailed)
        return false;
    SkipBlanks();
    mTokenStart = mPos;
    if (mPos >= mText.size())
        return false;

    const char* data = mText.data();
    if (data[mPos] != '<')
    {
        const size_t end = std::min(mText.find('<', mPos), mText.size());
        DecodeEntities(std::string_view(data + mPos, end - mPos), mValue);
        mPos = end;
        mKind = KindText;
        return true;
    }

    const char* begin = data + mPos + 1;
    const size_t closeAt = mText.find('>', mPos + 1);
    if (closeAt == std::string::npos)
        return Fail("unterminated tag");
    const char* close = data + closeAt;
    std::string_view tag = TrimBack(std::string_view(begin, static_cast<size_t>(close - begin)));
    mPos = static_cast<size_t>(close - data) + 1;

    // Only a leading slash makes an end tag and only a trailing one a self-closing tag: a
    // slash inside an attribute value is text.
    if (!tag.empty() && tag.front() == '/')
    {
        mKind = KindEnd;
        tag.remove_prefix(1);
    }
    else if (!tag.empty() && tag.back() == '/')
    {
        mKind = KindEnd;
        mSelfClosing = true;
        mEmpty = true;
        tag.remove_suffix(1);
    }
    else
    {
        mKind = KindStart;
    }

    tag = TrimFront(tag);
    size_t nameEnd = 0;
    while (nameEnd < tag.size() && !IsBlank(tag[nameEnd]))
        ++nameEnd;
    mName.assign(tag.data(), nameEnd);

    if (mKind == KindStart && mPos + 1 < mText.size() && data[mPos] == '<' && data[mPos + 1] == '/')
    {
        // The end tag follows at once: the element has no content; its end tag goes with it.
        const size_t endClose = mText.find('>', mPos);
        if (endClose == std::string::npos)
        {
            mTokenStart = mPos;
            return Fail("unterminated tag");
        }
        mPos = endClose + 1;
        mEmpty = true;
    }

    if (mKind == KindStart && !mEmpty && !mName.starts_with('?') && !mName.starts_with('!'))
        mElements.push_back(mName);
    else if (mKind == KindEnd && !mSelfClosing && !mElements.empty())
        mElements.pop_back();
    if (mKind == KindStart || mSelfClosing)
        ParseAttributes(tag.substr(nameEnd));
    return true;
}

bool XMLReader::PeekStartAttribute(std::string_view element, std::string_view attribute, std::string& value)
{
    const size_t pos = mPos;
    const size_t tokenStart = mTokenStart;
    const int32_t kind = mKind;
    const bool empty = mEmpty;
    const bool selfClosing = mSelfClosing;
    std::string name = mName;
    std::string text = mValue;
    auto attributes = mAttributes;
    auto elements = mElements;
    bool found = false;
    while (ParseElement())
    {
        if (mKind == KindText)
            continue;
        std::string_view raw;
        if ((mKind == KindStart || mSelfClosing) && mName == element && FindAttribute(attribute, raw))
        {
            DecodeEntities(raw, value);
            found = true;
        }
        break;
    }
    // A broken tag stays failed: the real read would only meet it again.
    mPos = pos;
    mTokenStart = tokenStart;
    mKind = kind;
    mEmpty = empty;
    mSelfClosing = selfClosing;
    mName = std::move(name);
    mValue = std::move(text);
    mAttributes = std::move(attributes);
    mElements = std::move(elements);
    return found;
}

size_t XMLReader::TokenLine() const
{
    const size_t end = std::min(mTokenStart, mText.size());
    if (end < mCountedTo)
    {
        mCountedTo = 0;
        mCountedLines = 0;
    }
    mCountedLines +=
        size_t(std::count(mText.begin() + std::ptrdiff_t(mCountedTo), mText.begin() + std::ptrdiff_t(end), '\n'));
    mCountedTo = end;
    return 1 + mCountedLines;
}

bool XMLReader::ReadText(std::string_view& raw)
{
    if (!mOpen || mFailed)
        return false;
    SkipBlanks();
    if (mPos >= mText.size() || mText[mPos] == '<')
        return false;
    mTokenStart = mPos;
    const char* data = mText.data();
    const size_t end = std::min(mText.find('<', mPos), mText.size());
    raw = std::string_view(data + mPos, end - mPos);
    mPos = end;
    mKind = KindText;
    mAttributes.clear();
    return true;
}

void XMLReader::ParseAttributes(std::string_view rest)
{
    for (;;)
    {
        rest = TrimFront(rest);
        const size_t eq = rest.find('=');
        if (rest.empty() || eq == std::string_view::npos)
            return;
        const std::string_view name = TrimBack(rest.substr(0, eq));
        rest = TrimFront(rest.substr(eq + 1));
        if (rest.empty() || (rest.front() != '"' && rest.front() != '\''))
            return;
        const char quote = rest.front();
        const size_t closeQuote = rest.find(quote, 1);
        if (closeQuote == std::string_view::npos)
            return;
        mAttributes.emplace_back(name, rest.substr(1, closeQuote - 1));
        rest.remove_prefix(closeQuote + 1);
    }
}

bool XMLReader::FindAttribute(std::string_view name, std::string_view& raw) const
{
    // A later attribute of the same name wins.
    for (auto it = mAttributes.rbegin(); it != mAttributes.rend(); ++it)
    {
        if (it->first == name)
        {
            raw = it->second;
            return true;
        }
    }
    return false;
}

std::string XMLReader::GetAttribute(const std::string& name) const
{
    std::string_view raw;
    std::string text;
    if (FindAttribute(name, raw))
        DecodeEntities(raw, text);
    return text;
}

std::istringstream& XMLReader::GetAttributeStream(const std::string& name)
{
    mAttributeStream.clear();
    mAttributeStream.str(GetAttribute(name));
    return mAttributeStream;
}

bool XMLReader::FindElement(const std::string& name)
{
    while (ParseElement())
    {
        std::string_view raw;
        if (FindAttribute("name", raw) && GetAttribute("name") == name)
            return true;
    }
    return false;
}

void XMLReader::DecodeEntities(std::string_view raw, std::string& out)
{
    const size_t amp = raw.find('&');
    if (amp == std::string_view::npos)
    {
        out.assign(raw.data(), raw.size());
        return;
    }
    static constexpr struct
    {
        std::string_view entity;
        char character;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

    out.assign(raw.data(), amp);
    for (size_t i = amp; i < raw.size();)
    {
        if (raw[i] == '&')
        {
            bool decoded = false;
            for (const auto& e : kEntities)
            {
                if (raw.substr(i, e.entity.size()) == e.entity)
                {
                    out.push_back(e.character);
                    i += e.entity.size();
                    decoded = true;
                    break;
                }
            }
            if (decoded)
                continue;
        }
        out.push_back(raw[i]);
        ++i;
    }
}

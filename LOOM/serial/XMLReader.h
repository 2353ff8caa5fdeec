#pragma once
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Pull tokenizer for the engine's XML stream files: each ParseElement reads the next start
// tag, end tag or run of text. The whole file is read into memory and walked with a cursor.
class XMLReader
{
public:
    enum TokenKind : int32_t
    {
        KindText = 0,
        KindStart = 1,
        KindEnd = 2, // also a self-closing tag
    };

    // The data path is put in front of the file name. Leading bytes before the first '<'
    // (a byte-order mark) are dropped.
    bool Open(const std::string& fileName);
    // Reads from text in memory; the name only appears in messages.
    bool OpenText(std::string text, const std::string& name);
    void Close();
    bool IsOpen() const { return mOpen; }

    // False when the input has ended before a token or a tag is not terminated (the latter is
    // logged, naming the file, and leaves the reader failed).
    bool ParseElement();
    // Reads the next token only when it is text: a value whose element holds nothing but
    // blanks before its end tag is absent. False at the end of the input.
    bool ReadText(std::string_view& raw);
    // True when nothing but blanks is left.
    bool AtEnd();
    // Reading may stop at the last field a caller wants: this checks that what is left closes
    // the open elements in order, so a mangled end tag past them is not taken for a good file.
    // Logged, naming the file, and the reader failed when it does not.
    bool CheckRest();
    // Elements opened and not yet closed.
    size_t Depth() const { return mElements.size(); }

    const std::string& ElementName() const { return mName; }
    bool IsEmpty() const { return mEmpty; }
    bool IsSelfClosing() const { return mSelfClosing; }
    int32_t Kind() const { return mKind; }
    bool HasFailed() const { return mFailed; }
    // Byte offset of the last token, for messages.
    size_t TokenPosition() const { return mTokenStart; }
    // The line (from 1) the last token starts on, for messages.
    size_t TokenLine() const;
    size_t BytesLeft() const { return mText.size() - mPos; }
    const std::string& FileName() const { return mFileName; }

    // The last text token with its entities decoded.
    const std::string& Value() const { return mValue; }

    // The attribute's text (decoded), or empty when the last tag has no such attribute.
    std::string GetAttribute(const std::string& name) const;
    bool FindAttribute(std::string_view name, std::string_view& raw) const;
    // A stream on the attribute's text, for >> conversion.
    std::istringstream& GetAttributeStream(const std::string& name);
    // The attribute of the next tag when that tag starts an element of the given name; nothing
    // is consumed. False when the next tag is another one (or none).
    bool PeekStartAttribute(std::string_view element, std::string_view attribute, std::string& value);
    // Reads tokens until one has the attribute "name" equal to the given text.
    bool FindElement(const std::string& name);

    // Standard entities (&amp; &lt; &gt; &quot; &apos;) decoded; unknown ones kept as written.
    static void DecodeEntities(std::string_view raw, std::string& out);

private:
    bool Fail(const char* what);
    // A declared encoding must be one this reader reads.
    bool CheckEncoding();
    void SkipBlanks();
    void ParseAttributes(std::string_view rest);

    std::string mText;
    size_t mPos = 0;
    size_t mTokenStart = 0;
    // Lines counted so far: tokens mostly move forward, so a file of many refusals is not read
    // from its start for each one.
    mutable size_t mCountedTo = 0;
    mutable size_t mCountedLines = 0;
    std::string mFileName;
    bool mOpen = false;
    bool mFailed = false;

    int32_t mKind = KindText;
    std::string mName;
    bool mEmpty = false;
    bool mSelfClosing = false;
    std::string mValue;
    // Raw views into mText, valid until the next token.
    std::vector<std::pair<std::string_view, std::string_view>> mAttributes;
    std::istringstream mAttributeStream;
    std::vector<std::string> mElements;
};

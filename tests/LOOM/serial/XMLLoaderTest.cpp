#include <gtest/gtest.h>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/serial/XMLLoader.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/SerialTestUtil.h"

namespace {
struct Pair
{
    int32_t mA = -1;
    int32_t mB = -1;
    void Serialize(Serializer& s)
    {
        s.SerializeInt("a", mA);
        s.SerializeInt("b", mB);
    }
};

struct Texts
{
    std::string mFirst = "default";
    std::string mSecond = "default";
    bool mFlag = false;
    float mScale = 7.0f;
    void Serialize(Serializer& s)
    {
        s.SerializeString("First", mFirst);
        s.SerializeString("Second", mSecond);
        s.SerializeBoolField("Flag", mFlag);
        s.SerializeRealField("Scale", mScale);
    }
};

// The whole text as the named file, read as one record: true when the loader stayed good.
template <typename T>
bool LoadFile(const std::string& text, const char* file, T& record, const char* recordName = "Record")
{
    XMLLoader loader;
    loader.OpenText(text, file);
    SerializeElement(loader, recordName, TypeElement, record);
    return loader.IsGood();
}

template <typename T>
bool LoadRecord(const std::string& body, T& record, const char* recordName = "Record")
{
    return LoadFile(StreamText(body), "record.xml", record, recordName);
}
} // namespace

TEST(XMLLoader, SelfClosingFieldIsSkippedAndTheNextOneLoads)
{
    Pair pair;
    EXPECT_TRUE(LoadRecord("<Record>\n<int name=\"a\"/><int name=\"b\">5</int>\n</Record>", pair));
    EXPECT_EQ(pair.mA, -1);
    EXPECT_EQ(pair.mB, 5);
}

// An empty or blank-only value keeps the field's default, and the next field starts cleanly.
TEST(XMLLoader, EmptyOrBlankValueKeepsTheDefault)
{
    struct Case
    {
        const char* body;
        Texts expected;
    };
    const Case cases[] = {
        {"<Record>\n<string name=\"First\"></string>\n<string name=\"Second\">Fear the Power of the default "
         "Trap!</string>\n<bool>true</bool><real>0.5</real>\n</Record>",
         {"default", "Fear the Power of the default Trap!", true, 0.5f}},
        {"<Record>\n<string name=\"First\"> </string>\n<string>x</string><bool>\n</bool><real> </real>\n</Record>",
         {"default", "x", false, 7.0f}},
    };
    for (const Case& c : cases)
    {
        Texts texts;
        EXPECT_TRUE(LoadRecord(c.body, texts)) << c.body;
        EXPECT_EQ(texts.mFirst, c.expected.mFirst) << c.body;
        EXPECT_EQ(texts.mSecond, c.expected.mSecond) << c.body;
        EXPECT_EQ(texts.mFlag, c.expected.mFlag) << c.body;
        EXPECT_FLOAT_EQ(texts.mScale, c.expected.mScale) << c.body;
    }
}

// A number field takes a whole decimal number (int, uint) or a finite decimal number (real), alone
// between blanks, within its type's range and the field's own bounds. Anything else is refused
// with one error naming the file, the line, the field and the text as written, and the field
// keeps what it held; the same for a number attribute.
TEST(XMLLoader, NumberFieldsTakeOnlyWholeOrFiniteDecimalNumbersInRange)
{
    enum class Kind
    {
        Int,
        Uint,
        Real,
        Double,
        BoundedInt,
        BoundedReal,
        Attribute,
    };
    struct One
    {
        Kind mKind = Kind::Int;
        int32_t mInt = 11;
        uint32_t mUint = 12;
        float mReal = 13.0f;
        double mDouble = 14.0;
        void Serialize(Serializer& s)
        {
            switch (mKind)
            {
            case Kind::Int:
                s.SerializeInt("i", mInt);
                break;
            case Kind::BoundedInt:
                s.SerializeInt("i", mInt, 0, 2147483647);
                break;
            case Kind::Uint:
                SerializeSingle(s, "uint", "u", TypeUInt, mUint);
                break;
            case Kind::Real:
                s.SerializeRealField("r", mReal);
                break;
            case Kind::BoundedReal:
                s.SerializeRealField("r", mReal, 0.0, 2147483647.0);
                break;
            case Kind::Double:
                SerializeSingle(s, "real", "d", TypeDouble, mDouble);
                break;
            case Kind::Attribute:
                if (s.BeginField("list", "l", false, TypeElement, &mUint))
                {
                    s.SerializeNamed("size", mUint);
                    s.EndField("list", false);
                }
                break;
            }
        }
        double Value() const
        {
            switch (mKind)
            {
            case Kind::Int:
            case Kind::BoundedInt:
                return mInt;
            case Kind::Uint:
            case Kind::Attribute:
                return mUint;
            case Kind::Real:
            case Kind::BoundedReal:
                return mReal;
            case Kind::Double:
                return mDouble;
            }
            return 0.0;
        }
    };
    struct Case
    {
        Kind mKind;
        const char* mElement;
        double mValue;
        // The error after "record.xml line 3: ", or null when the value is taken.
        const char* mError;
    };
    const Case cases[] = {
        {Kind::Int, "<int name=\"i\">nan</int>", 11, "i \"nan\" refused (not a whole decimal number); it keeps 11"},
        {Kind::Int, "<int name=\"i\">0x7fffffff</int>", 11,
         "i \"0x7fffffff\" refused (not a whole decimal number); it keeps 11"},
        {Kind::Int, "<int name=\"i\"> 12 junk</int>", 11,
         "i \"12 junk\" refused (not a whole decimal number); it keeps 11"},
        {Kind::Int, "<int name=\"i\">-7 apples</int>", 11,
         "i \"-7 apples\" refused (not a whole decimal number); it keeps 11"},
        {Kind::Int, "<int name=\"i\">2.5</int>", 11, "i \"2.5\" refused (not a whole decimal number); it keeps 11"},
        {Kind::Int, "<int name=\"i\"></int>", 11, "i \"\" refused (not a number); it keeps 11"},
        {Kind::Int, "<int name=\"i\"/>", 11, "i \"\" refused (not a number); it keeps 11"},
        {Kind::Int, "<int name=\"i\"> </int>", 11, "i \"\" refused (not a number); it keeps 11"},
        {Kind::Int, "<int name=\"i\">-2147483649</int>", 11,
         "i \"-2147483649\" refused (out of range for an int: -2147483648 to 2147483647); it keeps 11"},
        {Kind::Int, "<int name=\"i\">99999999999999999999999</int>", 11,
         "i \"99999999999999999999999\" refused (out of range for an int: -2147483648 to 2147483647); it keeps 11"},
        {Kind::Int, "<int name=\"i\">+42</int>", 42, nullptr},
        {Kind::Int, "<int name=\"i\">-2147483648 </int>", -2147483648.0, nullptr},
        {Kind::Int, "<int name=\"i\">-0</int>", 0, nullptr},
        {Kind::Uint, "<uint name=\"u\">-1</uint>", 12,
         "u \"-1\" refused (out of range for a uint: 0 to 4294967295); it keeps 12"},
        {Kind::Uint, "<uint name=\"u\">4294967295</uint>", 4294967295.0, nullptr},
        {Kind::Real, "<real name=\"r\">inf</real>", 13, "r \"inf\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">-nan</real>", 13,
         "r \"-nan\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">0x1p3</real>", 13,
         "r \"0x1p3\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">--2</real>", 13, "r \"--2\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">e5</real>", 13, "r \"e5\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">1e</real>", 13, "r \"1e\" refused (not a finite decimal number); it keeps 13"},
        {Kind::Real, "<real name=\"r\">1e39</real>", 13, "r \"1e39\" refused (out of range for a real); it keeps 13"},
        {Kind::Real, "<real name=\"r\">1.5e3</real>", 1500, nullptr},
        {Kind::Real, "<real name=\"r\">-2.5E-1</real>", -0.25, nullptr},
        {Kind::Real, "<real name=\"r\">.5</real>", 0.5, nullptr},
        {Kind::Real, "<real name=\"r\">5.</real>", 5, nullptr},
        {Kind::Real, "<real name=\"r\">1e-60</real>", 0, nullptr},
        {Kind::Double, "<real name=\"d\">1e309</real>", 14,
         "d \"1e309\" refused (out of range for a real); it keeps 14"},
        {Kind::Double, "<real name=\"d\">1e300</real>", 1e300, nullptr},
        {Kind::BoundedInt, "<int name=\"i\">-1</int>", 11,
         "i \"-1\" refused (out of range: 0 to 2147483647); it keeps 11"},
        {Kind::BoundedInt, "<int name=\"i\">2147483647</int>", 2147483647, nullptr},
        {Kind::BoundedReal, "<real name=\"r\">-2147483649</real>", 13,
         "r \"-2147483649\" refused (out of range: 0 to 2147483647); it keeps 13"},
        {Kind::BoundedReal, "<real name=\"r\">3e9</real>", 13,
         "r \"3e9\" refused (out of range: 0 to 2147483647); it keeps 13"},
        {Kind::BoundedReal, "<real name=\"r\">7.5</real>", 7.5, nullptr},
        {Kind::Attribute, "<list name=\"l\" size=\"abc\">\n</list>", 12,
         "l attribute size \"abc\" refused (not a whole decimal number); it keeps 12"},
        {Kind::Attribute, "<list name=\"l\" size=\" 9 \">\n</list>", 9, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mElement);
        One one;
        one.mKind = c.mKind;
        const LogCapture log;
        EXPECT_TRUE(LoadRecord(std::string("<Record>\n") + c.mElement + "\n</Record>", one));
        EXPECT_EQ(one.Value(), c.mValue);
        if (c.mError)
            EXPECT_EQ(log.Errors(), std::vector<std::string>{std::string("record.xml line 3: ") + c.mError});
        else
            EXPECT_EQ(log.Errors(), std::vector<std::string>());
    }
    // The field after a refused one reads as usual; a bool is no number and stays as it was.
    Pair pair;
    EXPECT_TRUE(LoadRecord("<Record><int>abc</int><int>5</int>\n</Record>", pair));
    EXPECT_EQ(pair.mA, -1);
    EXPECT_EQ(pair.mB, 5);
}

TEST(XMLLoader, NamedTextTakesOneWordAndMissingAttributesKeepValues)
{
    struct Named
    {
        std::string mName = "keep";
        std::string mOther = "keep";
        uint32_t mSize = 3;
        bool mOn = false;
        void Serialize(Serializer& s)
        {
            s.SerializeNamed("name", mName);
            s.SerializeNamed("other", mOther);
            s.SerializeNamed("size", mSize);
            s.SerializeNamed("on", mOn);
        }
    } named;
    XMLLoader loader;
    loader.OpenText(StreamText("<Comp name=\"Two Words\" size=\"9\" on=\"true\"></Comp>\n<x/>"), "named.xml");
    // The attributes belong to the start tag just read, even an empty one.
    loader.BeginField("Comp", nullptr, false, TypeElement, &named);
    named.Serialize(loader);
    EXPECT_EQ(named.mName, "Two");
    EXPECT_EQ(named.mOther, "keep");
    EXPECT_EQ(named.mSize, 9u);
    EXPECT_TRUE(named.mOn);
}

TEST(XMLLoader, ByteOrderMarkAndAnyTwoLeadingTagsAreAccepted)
{
    Pair pair;
    EXPECT_TRUE(LoadFile("\xEF\xBB\xBF<?xml?><Whatever>\n<Record><int>1</int><int>2</int></Record>", "bom.xml", pair));
    EXPECT_EQ(pair.mA, 1);
    EXPECT_EQ(pair.mB, 2);
}

TEST(XMLLoader, UnexpectedElementRaisesTheAssertionAndStopsLoading)
{
    Texts texts;
    const int before = AssertFailureCount();
    EXPECT_FALSE(
        LoadRecord("<Record>\n<string>a</string>\n<int>5</int>\n<bool>true</bool><real>2</real></Record>", texts));
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_NE(NewestLog().find("StartFileTag!=ExpectedTag int != string"), std::string::npos);
    EXPECT_NE(NewestLog().find("record.xml"), std::string::npos);
    EXPECT_EQ(texts.mFirst, "a");
    EXPECT_EQ(texts.mSecond, "default");
    EXPECT_FALSE(texts.mFlag);
    EXPECT_FLOAT_EQ(texts.mScale, 7.0f);
}

TEST(XMLLoader, WrongEndTagRaisesTheEndTagAssertion)
{
    Pair pair;
    const int before = AssertFailureCount();
    EXPECT_FALSE(LoadRecord("<Record><int>1</uint><int>2</int></Record>", pair));
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_NE(NewestLog().find("XML File is not correct: EndFileTag!=ExpectedTag uint != int\nIn file record.xml"),
              std::string::npos);
    EXPECT_EQ(pair.mA, 1);
    EXPECT_EQ(pair.mB, -1);
}

TEST(XMLLoader, StartTagWhereAnEndTagBelongsIsNamedAsSuch)
{
    Pair pair;
    const int before = AssertFailureCount();
    EXPECT_FALSE(LoadRecord("<Record><int>1<int>2</int></Record>", pair));
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_NE(NewestLog().find("EndFileTag!=ExpectedTag int (start tag) != int"), std::string::npos);
}

TEST(XMLLoader, TruncatedFileIsReportedWithItsNameAndLeavesTheRestUntouched)
{
    Pair pair;
    EXPECT_FALSE(LoadFile("<?xml?>\n<Stream>\n<Record><int>1</int><int>2", "cut.xml", pair));
    EXPECT_EQ(pair.mA, 1);
    EXPECT_EQ(pair.mB, 2); // the value was there; its end tag was not
    EXPECT_NE(NewestLog().find("cut.xml"), std::string::npos);

    Pair early;
    EXPECT_FALSE(LoadFile("<?xml?>\n<Stream>\n<Record><int>1</int><in", "cut2.xml", early));
    EXPECT_EQ(early.mA, 1);
    EXPECT_EQ(early.mB, -1);
    EXPECT_NE(NewestLog().find("cut2.xml"), std::string::npos);
}

TEST(XMLLoader, MissingFileRaisesIsValidAndReadsNothing)
{
    const int before = AssertFailureCount();
    const std::string path = TempPath("no_such_file.xml");
    XMLLoader loader(path);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_EQ(AssertFailureCount(), before + 1);
    EXPECT_NE(NewestLog().find("Error Opening XML File, Filename: "), std::string::npos);
    EXPECT_NE(NewestLog().find("no_such_file.xml"), std::string::npos);
    Pair pair;
    EXPECT_FALSE(loader.BeginField("Record", nullptr, false, TypeElement, &pair));
    EXPECT_EQ(pair.mA, -1);
}

TEST(XMLLoader, FolderInsteadOfAFileIsAnOpenError)
{
    const std::string folder = TempPath("a_folder.xml");
    std::filesystem::create_directories(folder);
    const int before = AssertFailureCount();
    XMLLoader loader(folder);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_EQ(AssertFailureCount(), before + 1);
}

TEST(XMLLoader, LoadsFromAFileThroughTheDataPath)
{
    const std::string path = TempPath("loader_file.xml");
    WriteTextFile(path,
                  StreamText("\n\t<Record>\n\t\t<int name=\"a\">3</int>\n\t\t<int name=\"b\">4</int>\n\t</Record>"));
    Pair pair;
    XMLLoader loader(path);
    ASSERT_TRUE(loader.BeginField("Record", nullptr, false, TypeElement, &pair));
    pair.Serialize(loader);
    loader.EndField("Record", false);
    loader.Close();
    EXPECT_EQ(pair.mA, 3);
    EXPECT_EQ(pair.mB, 4);
}

TEST(XMLLoader, EmptyObjectElementLeavesTheObjectAndSkipsEndField)
{
    Pair pair;
    XMLLoader loader;
    loader.OpenText(StreamText("<serializable/><int>8</int>"), "obj.xml");
    loader.SerializeObject(pair);
    EXPECT_EQ(pair.mA, -1);
    int32_t next = 0;
    loader.SerializeInt("next", next);
    EXPECT_EQ(next, 8);
    EXPECT_TRUE(loader.IsGood());
}

TEST(XMLLoader, UnreadValueTextIsSkippedByEndField)
{
    // Write-only operations read nothing; the text they leave does not break the next field.
    XMLLoader loader;
    loader.OpenText(StreamText("<string>key</string><int>4</int>"), "pairs.xml");
    const std::string key = "fixed";
    ASSERT_TRUE(loader.BeginField("string", nullptr, true, TypeString, nullptr));
    loader.Serialize(key);
    loader.EndField("string", true);
    int32_t value = 0;
    loader.SerializeInt("v", value);
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(loader.IsGood());
}

TEST(XMLLoader, ListWithFewerItemsThanItsSizeFailsAtTheFirstMissingItem)
{
    std::vector<std::string> files{"old"};
    XMLLoader loader;
    loader.OpenText(StreamText("<list size=\"3\" type=\"file\">\n<file>a</file>\n<file>b</file>\n</list><int>1</int>"),
                    "short_list.xml");
    const int before = AssertFailureCount();
    loader.SerializeFileListField("Files", files);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_EQ(AssertFailureCount(), before + 1);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], "a");
    EXPECT_EQ(files[1], "b");
}

TEST(XMLLoader, HugeListSizeIsCappedByTheFileLength)
{
    std::vector<std::string> files;
    XMLLoader loader;
    loader.OpenText(StreamText("<list size=\"4000000000\" type=\"file\">\n<file>a</file>\n</list>"), "huge.xml");
    loader.SerializeFileListField("Files", files);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_LT(files.size(), 100u);
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files[0], "a");
}

TEST(XMLLoader, EmptyListLoadsEmpty)
{
    std::vector<std::string> files{"x", "y"};
    XMLLoader loader;
    loader.OpenText(StreamText("<list name=\"Files\" size=\"0\" type=\"file\">\n</list>"), "empty_list.xml");
    loader.SerializeFileListField("Files", files);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_TRUE(files.empty());
}

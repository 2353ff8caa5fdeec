#include <gtest/gtest.h>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/serial/XMLLoader.h"
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

TEST(XMLLoader, MalformedValuesKeepThePreviousValue)
{
    struct Values
    {
        int32_t mInt = 11;
        uint32_t mUint = 12;
        float mReal = 13.0f;
        double mDouble = 14.0;
        bool mBool = true;
        int32_t mBig = 15;
        uint32_t mNegative = 16;
        void Serialize(Serializer& s)
        {
            s.SerializeInt("i", mInt);
            if (s.BeginField("uint", "u", true, TypeUInt, &mUint))
            {
                s.Serialize(mUint);
                s.EndField("uint", true);
            }
            s.SerializeRealField("r", mReal);
            if (s.BeginField("real", "d", true, TypeDouble, &mDouble))
            {
                s.Serialize(mDouble);
                s.EndField("real", true);
            }
            s.SerializeBoolField("b", mBool);
            s.SerializeInt("big", mBig);
            if (s.BeginField("uint", "n", true, TypeUInt, &mNegative))
            {
                s.Serialize(mNegative);
                s.EndField("uint", true);
            }
        }
    } values;
    EXPECT_TRUE(LoadRecord("<Record><int>abc</int><uint>x1</uint><real>--2</real><real>e5</real><bool>1</bool>"
                           "<int>99999999999</int><uint>-1</uint>\n</Record>",
                           values));
    EXPECT_EQ(values.mInt, 11);
    EXPECT_EQ(values.mUint, 12u);
    EXPECT_FLOAT_EQ(values.mReal, 13.0f);
    EXPECT_DOUBLE_EQ(values.mDouble, 14.0);
    EXPECT_TRUE(values.mBool); // "1" is not a truth value
    EXPECT_EQ(values.mBig, 15);
    EXPECT_EQ(values.mNegative, 16u);
}

TEST(XMLLoader, NumbersReadTheirLeadingPart)
{
    Pair pair;
    EXPECT_TRUE(LoadRecord("<Record><int>+42</int><int>-7 apples</int>\n</Record>", pair));
    EXPECT_EQ(pair.mA, 42);
    EXPECT_EQ(pair.mB, -7);
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

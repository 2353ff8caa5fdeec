#include <gtest/gtest.h>

#include "LOOM/serial/XMLReader.h"
#include "tests/LOOM/support/SerialTestUtil.h"

TEST(XMLReader, TokensAreStartTextAndEnd)
{
    XMLReader reader;
    ASSERT_TRUE(reader.OpenText("<int name=\"a\">  5 </int>", "t"));
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindStart);
    EXPECT_EQ(reader.ElementName(), "int");
    EXPECT_EQ(reader.GetAttribute("name"), "a");
    EXPECT_FALSE(reader.IsEmpty());
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindText);
    EXPECT_EQ(reader.Value(), "5 "); // leading blanks dropped, trailing kept
    EXPECT_EQ(reader.ElementName(), "int");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindEnd);
    EXPECT_EQ(reader.ElementName(), "int");
    EXPECT_FALSE(reader.ParseElement());
    EXPECT_FALSE(reader.HasFailed());
}

TEST(XMLReader, EmptyTagsAndChildrenLeaveTheNextStartTagWhole)
{
    // An empty start tag consumes its end tag, a self-closing tag does not swallow the next one, and a
    // child right after its parent's start tag is not taken for an end tag.
    struct Case
    {
        const char* mText;
        const char* mFirst;
        const char* mFirstName;
        bool mEmpty, mSelfClosing;
        const char* mSecond;
        const char* mSecondName;
    };
    const Case cases[] = {
        {"<string name=\"MotD\"></string><int>1</int>", "string", "MotD", true, false, "int", ""},
        {"<int name=\"a\"/><int name=\"b\">5</int>", "int", "a", true, true, "int", "b"},
        {"<list size=\"1\"><file>a</file></list>", "list", "", false, false, "file", ""},
    };
    for (const Case& c : cases)
    {
        XMLReader reader;
        reader.OpenText(c.mText, "t");
        ASSERT_TRUE(reader.ParseElement()) << c.mText;
        EXPECT_EQ(reader.ElementName(), c.mFirst) << c.mText;
        EXPECT_EQ(reader.GetAttribute("name"), c.mFirstName) << c.mText;
        EXPECT_EQ(reader.IsEmpty(), c.mEmpty) << c.mText;
        EXPECT_EQ(reader.IsSelfClosing(), c.mSelfClosing) << c.mText;
        ASSERT_TRUE(reader.ParseElement()) << c.mText;
        EXPECT_EQ(reader.Kind(), XMLReader::KindStart) << c.mText;
        EXPECT_EQ(reader.ElementName(), c.mSecond) << c.mText;
        EXPECT_EQ(reader.GetAttribute("name"), c.mSecondName) << c.mText;
        EXPECT_FALSE(reader.IsEmpty()) << c.mText;
    }
}

TEST(XMLReader, SlashInsideAttributeValueKeepsAStartTag)
{
    XMLReader reader;
    reader.OpenText("<file name=\"Art/Models\">x</file>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindStart);
    EXPECT_EQ(reader.GetAttribute("name"), "Art/Models");
}

TEST(XMLReader, EntitiesAreDecodedInTextAndAttributes)
{
    XMLReader reader;
    reader.OpenText("<string name=\"a&quot;b&gt;\">x &amp; y &lt; z &gt; &quot;&apos; &unknown;</string>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.GetAttribute("name"), "a\"b>");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Value(), "x & y < z > \"' &unknown;");
}

TEST(XMLReader, LeadingByteOrderMarkIsIgnored)
{
    XMLReader reader;
    reader.OpenText("\xEF\xBB\xBF<a>1</a>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.ElementName(), "a");
}

TEST(XMLReader, MissingAttributeIsEmptyAndLaterDuplicateWins)
{
    XMLReader reader;
    reader.OpenText("<a x=\"1\" x=\"2\" y = '3'>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.GetAttribute("x"), "2");
    EXPECT_EQ(reader.GetAttribute("y"), "3");
    EXPECT_EQ(reader.GetAttribute("z"), "");
    int y = 0;
    reader.GetAttributeStream("y") >> y;
    EXPECT_EQ(y, 3);
}

TEST(XMLReader, FindElementStopsAtTheNamedElement)
{
    XMLReader reader;
    reader.OpenText("<Cogs><Cog name=\"A\"/><Cog name=\"B\" kind=\"k\"/></Cogs>", "t");
    ASSERT_TRUE(reader.FindElement("B"));
    EXPECT_EQ(reader.GetAttribute("kind"), "k");
    EXPECT_FALSE(reader.FindElement("C"));
}

TEST(XMLReader, UnterminatedTagIsLoggedWithTheFileAndFails)
{
    XMLReader reader;
    reader.OpenText("<a>1</a><int name=\"x\"", "broken.xml");
    ASSERT_TRUE(reader.ParseElement());
    ASSERT_TRUE(reader.ParseElement());
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_FALSE(reader.ParseElement());
    EXPECT_TRUE(reader.HasFailed());
    EXPECT_NE(NewestLog().find("broken.xml"), std::string::npos);
    EXPECT_FALSE(reader.ParseElement());
}

TEST(XMLReader, OpenPutsTheDataPathInFront)
{
    const std::string path = TempPath("reader_open.xml");
    WriteTextFile(path, "<a>1</a>");
    XMLReader reader;
    EXPECT_TRUE(reader.Open(path));
    EXPECT_TRUE(reader.ParseElement());
    XMLReader missing;
    EXPECT_FALSE(missing.Open(TempPath("does_not_exist.xml")));
    EXPECT_FALSE(missing.ParseElement());
}

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

TEST(XMLReader, StartTagFollowedByEndTagIsEmptyAndConsumesIt)
{
    XMLReader reader;
    reader.OpenText("<string name=\"MotD\"></string><int>1</int>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_TRUE(reader.IsEmpty());
    EXPECT_EQ(reader.GetAttribute("name"), "MotD");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindStart);
    EXPECT_EQ(reader.ElementName(), "int");
}

TEST(XMLReader, SelfClosingTagDoesNotSwallowTheNextTag)
{
    XMLReader reader;
    reader.OpenText("<int name=\"a\"/><int name=\"b\">5</int>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_TRUE(reader.IsEmpty());
    EXPECT_TRUE(reader.IsSelfClosing());
    EXPECT_EQ(reader.ElementName(), "int");
    EXPECT_EQ(reader.GetAttribute("name"), "a");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.Kind(), XMLReader::KindStart);
    EXPECT_EQ(reader.GetAttribute("name"), "b");
    EXPECT_FALSE(reader.IsEmpty());
}

TEST(XMLReader, ChildRightAfterParentStartTagIsNotTakenForAnEndTag)
{
    XMLReader reader;
    reader.OpenText("<list size=\"1\"><file>a</file></list>", "t");
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_FALSE(reader.IsEmpty());
    ASSERT_TRUE(reader.ParseElement());
    EXPECT_EQ(reader.ElementName(), "file");
    EXPECT_EQ(reader.Kind(), XMLReader::KindStart);
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

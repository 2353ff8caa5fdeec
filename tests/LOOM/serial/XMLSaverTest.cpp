#include <gtest/gtest.h>

#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"
#include "tests/LOOM/support/SerialTestUtil.h"

namespace {
std::string FloatText(double value)
{
    std::string out;
    XMLSaver::AppendFloat(out, value);
    return out;
}

struct Notes
{
    std::string mText;
    std::string mLabel;
    void Serialize(Serializer& s)
    {
        if (s.BeginField("string", "Text", true, TypeString, &mText))
        {
            s.SerializeNamed("label", mLabel);
            s.Serialize(mText);
            s.EndField("string", true);
        }
    }
};
} // namespace

TEST(XMLSaver, FloatsHaveFiveSignificantDigits)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {{123456.0, "1.2346e+05"}, {0.1f, "0.1"}, {100.0, "100"},         {1.0, "1"},
                 {2.25, "2.25"},           {-3.0, "-3"},  {1.0 / 3.0, "0.33333"}, {0.0001, "0.0001"},
                 {0.00001, "1e-05"}};
    for (const auto& c : cases)
        EXPECT_EQ(FloatText(c.value), c.text) << c.value;
}

TEST(XMLSaver, EscapedTextLoadsBack)
{
    const std::string path = TempPath("escape.xml");
    Notes notes{"a < b && c > \"d\"", "x\"<&>y"};
    {
        XMLSaver saver(path);
        ASSERT_TRUE(saver.IsGood());
        notes.Serialize(saver);
        saver.Close();
    }
    const std::string text = ReadTextFile(path);
    EXPECT_NE(text.find("<string name=\"Text\" label=\"x&quot;&lt;&amp;&gt;y\">a &lt; b &amp;&amp; c > \"d\"</string>"),
              std::string::npos)
        << text;
    Notes loaded;
    XMLLoader loader(path);
    loaded.Serialize(loader);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(loaded.mText, notes.mText);
    EXPECT_EQ(loaded.mLabel, "x\"<&>y");
}

TEST(XMLSaver, AttributeAfterAValueIsDroppedNotWrittenOverTheValue)
{
    const std::string path = TempPath("late_attribute.xml");
    {
        XMLSaver saver(path);
        int32_t value = 123;
        uint32_t late = 5;
        saver.BeginField("int", "v", true, TypeInt, &value);
        saver.Serialize(value);
        saver.SerializeNamed("late", late);
        saver.EndField("int", true);
    }
    EXPECT_EQ(ReadTextFile(path), StreamText("\n\t<int name=\"v\">123</int>"));
    EXPECT_NE(NewestLog().find("late"), std::string::npos);
}

TEST(XMLSaver, DestructionWritesTheTrailerOnce)
{
    const std::string path = TempPath("trailer.xml");
    {
        XMLSaver saver(path);
        saver.Close();
    }
    EXPECT_EQ(ReadTextFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n</Stream>");
    {
        XMLSaver saver(path);
    }
    EXPECT_EQ(ReadTextFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n</Stream>");
}

TEST(XMLSaver, EveryValueKindIsWrittenAsItsText)
{
    const std::string path = TempPath("kinds.xml");
    {
        XMLSaver saver(path);
        int32_t integer = -5;
        uint32_t whole = 6;
        const std::string constText = "k<";
        char c = '&';
        bool flag = true;
        double d = 2.5;
        const float named = 0.5f;
        const char* type = "file";
        saver.BeginField("a", nullptr, false, 1, nullptr);
        saver.SerializeNamed("f", named);
        saver.SerializeNamed("t", type);
        saver.Serialize(integer);
        saver.Serialize(whole);
        saver.Serialize(constText);
        saver.Serialize(c);
        saver.Serialize(flag);
        saver.Serialize(d);
        saver.EndField("a", false);
    }
    EXPECT_EQ(ReadTextFile(path), StreamText("\n\t<a f=\"0.5\" t=\"file\">-56k&lt;&amp;true2.5\n\t</a>"));
}

#include <gtest/gtest.h>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "tests/LOOM/support/SerialTestUtil.h"

namespace {
struct Mixed
{
    float mReal = 0.0f;
    std::string mText;
    int32_t mInt = 0;
    bool mFlag = false;
    double mDouble = 0.0;
    std::vector<std::string> mFiles;
    void Serialize(Serializer& s)
    {
        s.SerializeRealField("Real", mReal);
        s.SerializeString("Text", mText);
        s.SerializeInt("Int", mInt);
        s.SerializeBoolField("Flag", mFlag);
        if (s.BeginField("real", "Double", true, TypeDouble, &mDouble))
        {
            s.Serialize(mDouble);
            s.EndField("real", true);
        }
        s.SerializeFileListField("Files", mFiles);
    }
    bool operator==(const Mixed&) const = default;
};

std::string SaveToBytes(Mixed& record)
{
    BinarySaver saver;
    saver.OpenMemory();
    record.Serialize(saver);
    saver.Close();
    return saver.Bytes();
}
} // namespace

TEST(BinaryStream, OneFloatIsTwelveBytes)
{
    BinarySaver saver;
    saver.OpenMemory();
    float one = 1.0f;
    saver.SerializeRealField("x", one);
    saver.Close();
    EXPECT_EQ(saver.Bytes(), std::string("loom\x00\x00\x80\x3Floom", 12));
}

TEST(BinaryStream, LayoutIsLittleEndianFieldByField)
{
    Mixed record{0.0f, "", -2, true, 1.0, {"ab"}};
    const std::string bytes = SaveToBytes(record);
    const std::string expected("loom"
                               "\x00\x00\x00\x00"                 // real
                               "\x00"                             // empty text
                               "\xFE\xFF\xFF\xFF"                 // int -2
                               "\x01"                             // bool
                               "\x00\x00\x00\x00\x00\x00\xF0\x3F" // double 1.0
                               "\x01\x00\x00\x00"                 // list size; its type writes nothing
                               "ab\x00"
                               "loom",
                               4 + 4 + 1 + 4 + 1 + 8 + 4 + 3 + 4);
    EXPECT_EQ(bytes, expected);
}

TEST(BinaryStream, RoundTripThroughAFile)
{
    const std::string path = TempPath("mixed.bin");
    Mixed record{2.5f, "with blanks < & >", 77, true, -0.125, {"a.xml", "", "c.xml"}};
    {
        BinarySaver saver(path);
        ASSERT_TRUE(saver.IsGood());
        record.Serialize(saver);
    }
    Mixed loaded;
    BinaryLoader loader(path);
    loaded.Serialize(loader);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(loaded, record);
}

TEST(BinaryStream, LongTextsRoundTrip)
{
    for (size_t size : {size_t(0), size_t(255), size_t(256), size_t(100000)})
    {
        Mixed record;
        record.mText.assign(size, 'q');
        Mixed loaded;
        BinaryLoader loader;
        loader.OpenFromBuffer(SaveToBytes(record));
        loaded.Serialize(loader);
        EXPECT_TRUE(loader.IsGood());
        EXPECT_EQ(loaded.mText.size(), size);
    }
}

TEST(BinaryStream, TextIsCutAtItsFirstZeroByte)
{
    Mixed record;
    record.mText = std::string("ab\0cd", 5);
    record.mInt = 9;
    Mixed loaded;
    BinaryLoader loader;
    loader.OpenFromBuffer(SaveToBytes(record));
    loaded.Serialize(loader);
    EXPECT_TRUE(loader.IsGood());
    EXPECT_EQ(loaded.mText, "ab");
    EXPECT_EQ(loaded.mInt, 9);
}

TEST(BinaryStream, TruncatedInputLeavesTheRemainingValuesUntouchedAndIsReported)
{
    Mixed record{2.5f, "text", 77, true, 3.0, {"a"}};
    const std::string bytes = SaveToBytes(record);
    // Cut inside the int: real and text load, the rest keeps its values.
    const std::string cut = bytes.substr(0, 4 + 4 + 5 + 2);
    Mixed loaded{-1.0f, "old", -1, false, -1.0, {"keep"}};
    BinaryLoader loader;
    loader.OpenFromBuffer(cut, "cut.bin");
    loaded.Serialize(loader);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_FLOAT_EQ(loaded.mReal, 2.5f);
    EXPECT_EQ(loaded.mText, "text");
    EXPECT_EQ(loaded.mInt, -1);
    EXPECT_FALSE(loaded.mFlag);
    EXPECT_DOUBLE_EQ(loaded.mDouble, -1.0);
    EXPECT_EQ(loaded.mFiles, std::vector<std::string>{"keep"});
    EXPECT_NE(NewestLog().find("cut.bin"), std::string::npos);
}

TEST(BinaryStream, ValuesNeverReadIntoTheClosingTag)
{
    Mixed record{2.5f, "text", 77, true, 3.0, {}};
    std::string bytes = SaveToBytes(record);
    // Drop the list size: the closing tag must not be taken for it.
    bytes.erase(bytes.size() - 8, 4);
    Mixed loaded;
    loaded.mFiles = {"keep"};
    BinaryLoader loader;
    loader.OpenFromBuffer(bytes);
    loaded.Serialize(loader);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_EQ(loaded.mFiles, std::vector<std::string>{"keep"});
}

TEST(BinaryStream, FolderInsteadOfAFileIsAnOpenError)
{
    const std::string folder = TempPath("a_folder.bin");
    std::filesystem::create_directories(folder);
    BinaryLoader loader;
    EXPECT_FALSE(loader.Open(folder));
    EXPECT_FALSE(loader.IsGood());
}

TEST(BinaryStream, WrongTagRaisesTheAssertionAndReadingGoesOn)
{
    Mixed record{2.5f, "t", 5, false, 0.0, {}};
    std::string bytes = SaveToBytes(record);
    bytes[0] = 'X';
    const int before = AssertFailureCount();
    Mixed loaded;
    BinaryLoader loader;
    loader.OpenFromBuffer(bytes, "badtag.bin");
    EXPECT_EQ(AssertFailureCount(), before + 1);
    // The assertion carries its own text; the file is named in the line before it.
    const std::string assertion = NewestLog();
    const std::string text = " Binary File Error";
    ASSERT_GE(assertion.size(), text.size());
    EXPECT_EQ(assertion.substr(assertion.size() - text.size()), text);
    EXPECT_NE(Console::Instance().GetEntries().FromNewest(1).mText.find("badtag.bin"), std::string::npos);
    loaded.Serialize(loader);
    EXPECT_EQ(loaded.mInt, 5);
}

TEST(BinaryStream, HugeListSizeDoesNotAllocateAndStopsLoading)
{
    Mixed record;
    std::string bytes = SaveToBytes(record);
    // The list size sits just before the closing tag.
    bytes.replace(bytes.size() - 8, 4, "\xFF\xFF\xFF\x7F", 4);
    Mixed loaded;
    loaded.mFiles = {"keep"};
    BinaryLoader loader;
    loader.OpenFromBuffer(bytes, "huge.bin");
    loaded.Serialize(loader);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_EQ(loaded.mFiles, std::vector<std::string>{"keep"});
    EXPECT_NE(NewestLog().find("huge.bin"), std::string::npos);
}

TEST(BinaryStream, UnterminatedTextIsReported)
{
    BinaryLoader loader;
    loader.OpenFromBuffer(std::string("loomabc", 7), "text.bin");
    std::string text = "old";
    loader.Serialize(text);
    EXPECT_EQ(text, "old");
    EXPECT_FALSE(loader.IsGood());
}

TEST(BinaryStream, MissingFileIsLoggedAndReadsNothing)
{
    const std::string path = TempPath("missing.bin");
    BinaryLoader loader(path);
    EXPECT_FALSE(loader.IsGood());
    EXPECT_NE(NewestLog().find("missing.bin"), std::string::npos);
    int32_t value = 3;
    loader.Serialize(value);
    EXPECT_EQ(value, 3);
}

TEST(BinaryStream, WriteOnlyValuesAreSkippedOnLoad)
{
    BinarySaver saver;
    saver.OpenMemory();
    const std::string key = "key";
    const float named = 1.5f;
    const uint32_t namedUint = 4;
    int32_t last = 42;
    saver.Serialize(key);
    saver.SerializeNamed("f", named);
    saver.SerializeNamed("u", namedUint);
    saver.Serialize(last);
    saver.Close();

    BinaryLoader loader;
    loader.OpenFromBuffer(saver.Bytes());
    loader.Serialize(key);
    loader.SerializeNamed("f", named);
    loader.SerializeNamed("u", namedUint);
    int32_t read = 0;
    loader.Serialize(read);
    EXPECT_EQ(read, 42);
    EXPECT_TRUE(loader.IsGood());
}

#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "LOOM/base/FileUtils.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/XMLLoader.h"
#include "tests/LOOM/support/AllFieldsRecord.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/SerialTestUtil.h"

// Broken inputs of every sort must end in a logged error, never in a crash, a hang or a
// sanitizer report. The generator is seeded so a failure can be replayed.
namespace {

void LoadXmlText(const std::string& text)
{
    AllFields record;
    XMLLoader loader;
    loader.OpenText(text, "fuzz.xml");
    SerializeElement(loader, "AllFields", TypeElement, record);
}

struct BinaryOutcome
{
    bool mGood = false;
    int mErrors = 0;       // logged lines naming the input
    bool mSaysCut = false; // one of them says the input ends too soon
};

BinaryOutcome LoadBinary(const std::string& bytes)
{
    LogCapture log;
    AllFields record;
    BinaryLoader loader;
    loader.OpenFromBuffer(bytes, "fuzz.bin");
    SerializeElement(loader, "AllFields", TypeElement, record);
    const bool cut = log.Contains("cut short?), Filename: fuzz.bin") ||
        log.Contains("it ends before all its values, Filename: fuzz.bin") ||
        log.Contains("it is shorter than its tag, Filename: fuzz.bin");
    return {loader.IsGood(), log.Count("Filename: fuzz.bin"), cut};
}

std::string ValidBinary()
{
    AllFields record = MakeAllFields();
    BinarySaver saver;
    saver.OpenMemory();
    record.Serialize(saver);
    saver.Close();
    return saver.Bytes();
}

std::string Corrupt(std::string text, std::mt19937& rng)
{
    static const char kInteresting[] = "<>/\"'=& \n\t0123456789-+.e\xFF";
    std::uniform_int_distribution<int> count(1, 6);
    for (int i = count(rng); i > 0 && !text.empty(); --i)
    {
        const size_t at = std::uniform_int_distribution<size_t>(0, text.size() - 1)(rng);
        switch (std::uniform_int_distribution<int>(0, 3)(rng))
        {
        case 0:
            text[at] = kInteresting[rng() % (sizeof(kInteresting) - 1)];
            break;
        case 1:
            text[at] = static_cast<char>(rng());
            break;
        case 2:
            text.erase(at, std::uniform_int_distribution<size_t>(1, 16)(rng));
            break;
        default:
            text.insert(at, text.substr(at / 2, std::uniform_int_distribution<size_t>(1, 32)(rng)));
            break;
        }
    }
    return text;
}

std::string RandomText(std::mt19937& rng, bool tagSoup)
{
    static const std::string_view kPieces[] = {"<",
                                               ">",
                                               "</",
                                               "/>",
                                               "<list size=\"",
                                               "4294967295",
                                               "\"",
                                               "<int>",
                                               "</int>",
                                               "<serializable>",
                                               "<vector>",
                                               "&amp;",
                                               "&",
                                               " ",
                                               "\n",
                                               "x",
                                               "-1",
                                               "<?xml?>",
                                               "<Stream>",
                                               "<AllFields>",
                                               "loom",
                                               std::string_view("\0", 1)};
    std::string text;
    const size_t size = std::uniform_int_distribution<size_t>(0, 512)(rng);
    while (text.size() < size)
    {
        if (tagSoup)
            text += kPieces[rng() % (sizeof(kPieces) / sizeof(kPieces[0]))];
        else
            text.push_back(static_cast<char>(rng()));
    }
    return text;
}
} // namespace

TEST(SerializeFuzz, EveryTruncationOfAValidXmlFileLoadsSafely)
{
    std::string text;
    ASSERT_TRUE(ReadWholeFile(kAllFields, text));
    for (size_t size = 0; size <= text.size(); ++size)
        LoadXmlText(text.substr(0, size));
}

TEST(SerializeFuzz, EveryTruncationOfAValidBinaryFileLoadsSafely)
{
    const std::string bytes = ValidBinary();
    for (size_t size = 0; size < bytes.size(); ++size)
    {
        const BinaryOutcome outcome = LoadBinary(bytes.substr(0, size));
        // Cut at or inside the closing tag, every value is still there to read.
        if (size + 4 < bytes.size())
        {
            ASSERT_FALSE(outcome.mGood) << "cut at " << size << " of " << bytes.size();
        }
        ASSERT_TRUE(outcome.mSaysCut) << "cut at " << size;
        // The missing closing tag, then the value that ran out: never a flood.
        ASSERT_LE(outcome.mErrors, 2) << "cut at " << size;
    }
}

TEST(SerializeFuzz, CorruptedAndRandomXmlLoadsSafely)
{
    std::string text;
    ASSERT_TRUE(ReadWholeFile(kAllFields, text));
    std::mt19937 rng(1234);
    for (int i = 0; i < 3000; ++i)
        LoadXmlText(Corrupt(text, rng));
    for (int i = 0; i < 1500; ++i)
        LoadXmlText(RandomText(rng, i % 2 == 0));
}

TEST(SerializeFuzz, CorruptedAndRandomBinaryLoadsSafely)
{
    const std::string bytes = ValidBinary();
    std::mt19937 rng(5678);
    // A corruption inside a value may still read; whatever is refused says so, briefly.
    int refused = 0;
    for (int i = 0; i < 3000; ++i)
    {
        const BinaryOutcome outcome = LoadBinary(Corrupt(bytes, rng));
        if (!outcome.mGood)
        {
            ASSERT_GE(outcome.mErrors, 1) << "input " << i;
        }
        // A bad opening tag, a missing closing tag, one bad value: never a flood.
        ASSERT_LE(outcome.mErrors, 3) << "input " << i;
        refused += !outcome.mGood;
    }
    EXPECT_GT(refused, 0);
    for (int i = 0; i < 1500; ++i)
    {
        const BinaryOutcome outcome = LoadBinary("loom" + RandomText(rng, i % 2 == 0));
        ASSERT_FALSE(outcome.mGood) << "input " << i;
        ASSERT_GE(outcome.mErrors, 1) << "input " << i;
        ASSERT_LE(outcome.mErrors, 3) << "input " << i;
    }
}

TEST(SerializeFuzz, ValidInputsStillLoadCleanly)
{
    // The harness itself: the unbroken inputs load without an error.
    std::string text;
    ASSERT_TRUE(ReadWholeFile(kAllFields, text));
    AllFields fromXml;
    XMLLoader xml;
    xml.OpenText(text, "valid.xml");
    ASSERT_TRUE(xml.BeginField("AllFields", nullptr, false, TypeElement, &fromXml));
    fromXml.Serialize(xml);
    xml.EndField("AllFields", false);
    EXPECT_TRUE(xml.IsGood());
    AllFields fromBinary;
    BinaryLoader binary;
    binary.OpenFromBuffer(ValidBinary());
    fromBinary.Serialize(binary);
    EXPECT_TRUE(binary.IsGood());
    EXPECT_EQ(fromXml, fromBinary);
}

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "tests/LOOM/support/FakeClock.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
SystemInfo SampleInfo()
{
    SystemInfo info;
    info.mUserName = "tester";
    info.mOperatingSystem = "Linux 6.1 x86_64";
    info.mTotalMemory = "2048 KBs";
    info.mAvailableMemory = "1024 KBs";
    info.mProcessorIdentifier = "Family 6 Model 85";
    info.mProcessorName = "Test CPU <fast> & cool";
    info.mProcessorVendor = "GenuineTest";
    info.mClockSpeed = "3000 MHz";
    info.mArchitecture = "Intel";
    info.mTime = "3\\7\\2005 9:05";
    return info;
}
} // namespace

TEST(ConsoleLog, TimeTextDigits)
{
    EXPECT_EQ(Console::TimeText(65007), "01:05:7");
    EXPECT_EQ(Console::TimeText(2 * 3600000 + 5 * 60000), "125:00:0");
    EXPECT_EQ(Console::TimeText(0), "00:00:0");
}

TEST(ConsoleLog, CategoryTexts)
{
    EXPECT_STREQ(Console::CategoryText(0), "General");
    EXPECT_STREQ(Console::CategoryText(3), "Error");
    EXPECT_STREQ(Console::CategoryText(7), "None");
    EXPECT_STREQ(Console::CategoryText(8), "Init");
    EXPECT_STREQ(Console::CategoryText(12), "None");
}

TEST(ConsoleLog, WritesExactHeaderAndEntries)
{
    TempDir dir;
    FakeClock fake;
    PreciseTimer clock;
    Console& console = Console::Instance();
    console.SetLogClock(&clock);
    const std::string path = dir.Path("Log.xml");
    console.OpenLogFile(path);
    console.OpenLog(SampleInfo());
    const uint32_t first = console.GetEntryCounter();
    fake.Advance(65.0075);
    console.Log("Loading Textures/ShadowDot.dds", LogLoading);
    console.Log("a < b && c", 12);
    console.CloseLog();
    console.SetLogClock(nullptr);

    const std::string expected = "<?xml version=\"1.0\" ?> \n"
                                 "<?xml-stylesheet type=\"text/xsl\" href=\"LogXSLT.xsl\" ?>\n"
                                 "<LoomRunTimeLog>\n"
                                 "<LogHeader>\n"
                                 "<UserName>tester</UserName>\n"
                                 "<StartTime>3\\7\\2005 9:05</StartTime>\n"
                                 "<OutputLevel>Debug</OutputLevel>\n"
                                 "<Configuration>\n"
                                 "<OperatingSystem>Linux 6.1 x86_64</OperatingSystem>\n"
                                 "<Memory>\n"
                                 "<Available>1024 KBs</Available>\n"
                                 "<Total>2048 KBs</Total>\n"
                                 "</Memory>\n"
                                 "<Processor>\n"
                                 "<Name>Test CPU &lt;fast&gt; &amp; cool</Name>\n"
                                 "<Vendor>GenuineTest</Vendor>\n"
                                 "<Architecture>Family 6 Model 85</Architecture>\n"
                                 "<ClockSpeed>3000 MHz</ClockSpeed>\n"
                                 "</Processor>\n"
                                 "</Configuration>\n"
                                 "</LogHeader>\n"
                                 "<Entry ID=\"" +
        std::to_string(first) +
        "\">\n"
        "<Type>Loading</Type>\n"
        "<Time>01:05:7</Time>\n"
        "<Message>Loading Textures\\ShadowDot.dds</Message>\n"
        "</Entry>\n"
        "<Entry ID=\"" +
        std::to_string(first + 1) +
        "\">\n"
        "<Type>None</Type>\n"
        "<Time>01:05:7</Time>\n"
        "<Message>a &lt; b &amp;&amp; c</Message>\n"
        "</Entry>\n"
        "</LoomRunTimeLog>\n";
    EXPECT_EQ(TempDir::Read(path), expected);
}

TEST(ConsoleLog, EntriesReachTheRingWithoutAFile)
{
    Console& console = Console::Instance();
    ASSERT_FALSE(console.IsLogOpen());
    const uint32_t first = console.GetEntryCounter();
    console.Log("one/two", LogGeneral);
    console.LogWithPrefix("Audio", "Active", LogInit);
    EXPECT_EQ(console.GetEntryCounter(), first + 2);
    EXPECT_EQ(console.GetEntries().FromNewest(0).mText, "Audio Active");
    EXPECT_EQ(console.GetEntries().FromNewest(0).mCategory, LogInit);
    EXPECT_EQ(console.GetEntries().FromNewest(1).mText, "one\\two");
    EXPECT_EQ(console.GetEntries().FromNewest(1).mNumber, first);
}

TEST(ConsoleLog, RingKeepsTheLast256)
{
    EntryRing ring;
    for (uint32_t i = 0; i < 300; ++i)
        ring.Push(LogEntry{i, 0, std::to_string(i), 0});
    EXPECT_EQ(ring.Size(), 256u);
    EXPECT_EQ(ring.FromNewest(0).mNumber, 299u);
    EXPECT_EQ(ring.FromNewest(255).mNumber, 44u);
}

TEST(ConsoleLog, LogFileThatCannotBeCreatedIsReportedAndLeftClosed)
{
    Console& console = Console::Instance();
    ASSERT_FALSE(console.IsLogOpen());
    console.OpenLogFile("/nonexistent_loom_folder/Log.xml");
    EXPECT_FALSE(console.IsLogOpen());
    const LogEntry& last = console.GetEntries().FromNewest(0);
    EXPECT_EQ(last.mCategory, LogError);
    EXPECT_NE(last.mText.find("nonexistent_loom_folder"), std::string::npos);
    console.OpenLog(SystemInfo());
    console.Log("still reaches the ring", LogGeneral);
    EXPECT_EQ(console.GetEntries().FromNewest(0).mText, "still reaches the ring");
    console.CloseLog();
}

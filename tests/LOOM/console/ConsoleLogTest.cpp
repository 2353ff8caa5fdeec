#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "LOOM/base/FileUtils.h"
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

TEST(ConsoleLog, LogFileThatCannotBeMadeIsReportedOnceOnStderrAndTheRingGoesOn)
{
    TempDir dir;
    std::filesystem::create_directories(dir.Path("Folder.xml"));
    ASSERT_EQ(::mkfifo(dir.Path("Fifo.xml").c_str(), 0644), 0);
    const std::pair<const char*, std::string> cases[] = {
        {"a missing folder", "/nonexistent_loom_folder/Log.xml"},
        {"a folder", dir.Path("Folder.xml")},
        {"a FIFO, which would wait for a reader", dir.Path("Fifo.xml")},
    };
    Console& console = Console::Instance();
    for (const auto& [name, path] : cases)
    {
        SCOPED_TRACE(name);
        ASSERT_FALSE(console.IsLogOpen());
        ::testing::internal::CaptureStderr();
        const auto start = std::chrono::steady_clock::now();
        console.OpenLogFile(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        console.OpenLog(SystemInfo());
        console.Log("still reaches the ring", LogGeneral);
        console.CloseLog();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(console.IsLogOpen());
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_EQ(console.GetEntries().FromNewest(0).mText, "still reaches the ring");
        const LogEntry& error = console.GetEntries().FromNewest(1);
        EXPECT_EQ(error.mCategory, LogError);
        EXPECT_NE(error.mText.find(GetFileName(path)), std::string::npos) << error.mText;
    }
}

TEST(ConsoleLog, AnEntryIsCutAtItsCapOnACharacterAndMarked)
{
    TempDir dir;
    Console& console = Console::Instance();
    console.OpenLogFile(dir.Path("Log.xml"));
    // An odd start puts the cap inside a two-byte character.
    std::string motd = "a";
    while (motd.size() < 200000)
        motd += "\xC3\xA9";
    console.Log(motd, LogGeneral);
    console.CloseLog();
    const std::string kept = console.GetEntries().FromNewest(0).mText;
    const std::string mark = " [cut: " + std::to_string(motd.size()) + " bytes]";
    ASSERT_GT(kept.size(), mark.size());
    EXPECT_EQ(kept.substr(kept.size() - mark.size()), mark);
    EXPECT_EQ(kept.substr(0, kept.size() - mark.size()), motd.substr(0, Console::kMaxEntryBytes - 1));
    EXPECT_LT(TempDir::Read(dir.Path("Log.xml")).size(), 2 * Console::kMaxEntryBytes);
    // At the cap nothing is cut.
    console.Log(std::string(Console::kMaxEntryBytes, 'x'), LogGeneral);
    EXPECT_EQ(console.GetEntries().FromNewest(0).mText, std::string(Console::kMaxEntryBytes, 'x'));
}

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <vector>

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

// Entries logged past 2^31 ms of run time (24.8 days) carry their real time.
TEST(ConsoleLog, EntriesPastTwentyFiveDaysCarryTheirTime)
{
    TempDir dir;
    FakeClock fake;
    PreciseTimer clock;
    Console& console = Console::Instance();
    console.SetLogClock(&clock);
    const std::string path = dir.Path("Log.xml");
    ASSERT_TRUE(console.OpenLogFile(path));
    console.OpenLog(SampleInfo());
    const std::pair<int64_t, std::string> cases[] = {
        {(int64_t(1) << 31) - 1, "35791:23:647"},
        {int64_t(1) << 31, "35791:23:648"},
        {50LL * 24 * 3600 * 1000 + 1, "72000:00:1"},
    };
    for (const auto& [ms, text] : cases)
    {
        fake.mNow = 1000000 + static_cast<uint64_t>(ms) * 1000;
        console.Log("at " + text, LogGeneral);
        EXPECT_EQ(console.GetEntries().FromNewest(0).mTimeMs, ms);
        EXPECT_EQ(Console::TimeText(ms), text);
    }
    console.CloseLog();
    console.SetLogClock(nullptr);
    const std::string log = TempDir::Read(path);
    for (const auto& [ms, text] : cases)
    {
        std::string entry = "<Time>";
        entry.append(text).append("</Time>\n<Message>at ").append(text).append("</Message>");
        EXPECT_NE(log.find(entry), std::string::npos) << log;
    }
}

namespace {
// The kernel's own limit on how large a file this process may write: past it a write goes in
// short, then fails (EFBIG), as on a full disk; raised again, writes go through as when space
// returns. The signal the kernel adds is ignored, as a full disk sends none.
class FileSizeCap
{
public:
    FileSizeCap()
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        mOldSignal = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldSignal);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;
    void Cap(uintmax_t bytes)
    {
        rlimit capped = mOld;
        capped.rlim_cur = bytes;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
    }
    void Lift() { setrlimit(RLIMIT_FSIZE, &mOld); }

private:
    rlimit mOld{};
    void (*mOldSignal)(int) = SIG_DFL;
};

std::vector<std::string> Messages(const std::string& log)
{
    std::vector<std::string> messages;
    const std::regex message("<Message>([^<]*)</Message>");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), message); it != std::sregex_iterator(); ++it)
        messages.push_back((*it)[1]);
    return messages;
}
} // namespace

// A disk that fills while the game runs: every entry is in the file whole or not at all, those
// that missed it are counted there once writes go through again, the entries after arrive, and
// the file ends well formed, even when it is still full at the end.
TEST(ConsoleLog, AFullDiskCutsNoEntryAndTheLogGoesOnOnceWritesGoThrough)
{
    const std::string end = "</LoomRunTimeLog>\n";
    for (const bool fullAtEnd : {false, true})
    {
        SCOPED_TRACE(fullAtEnd ? "still full at the end" : "space back before the end");
        TempDir dir;
        FileSizeCap cap;
        Console& console = Console::Instance();
        const std::string path = dir.Path("Log.xml");
        ASSERT_TRUE(console.OpenLogFile(path));
        console.OpenLog(SampleInfo());
        console.Log("before", LogGeneral);
        const uintmax_t room = std::filesystem::file_size(path) + 150;
        cap.Cap(room);
        ::testing::internal::CaptureStderr();
        std::vector<std::string> expected = {"before"};
        int lost = 0;
        for (int i = 0; i < 6; ++i)
        {
            const std::string text = "full " + std::to_string(i) + " " + std::string(40, 'x');
            console.Log(text, LogGeneral);
            EXPECT_EQ(console.GetEntries().FromNewest(0).mText, text) << "the ring has every entry";
            const std::string log = TempDir::Read(path);
            EXPECT_LE(log.size(), room);
            ASSERT_EQ(log.substr(log.size() - 9), "</Entry>\n") << "cut in an entry:\n" << log;
            if (Messages(log).back() == text)
                expected.push_back(text);
            else
                ++lost;
        }
        ASSERT_GE(lost, 4);
        const std::string note =
            std::to_string(lost) + " entries could not be written to the log file (File too large)";
        if (!fullAtEnd)
        {
            cap.Lift();
            console.Log("after 1", LogGeneral);
            console.Log("after 2", LogGeneral);
            expected.insert(expected.end(), {note, "after 1", "after 2"});
        }
        else
        {
            // Not a byte more: the newest entry makes way for the end.
            cap.Cap(std::filesystem::file_size(path));
            expected.pop_back();
        }
        console.CloseLog();
        cap.Lift();
        const std::string errors = ::testing::internal::GetCapturedStderr();

        const std::string log = TempDir::Read(path);
        EXPECT_EQ(Messages(log), expected) << log;
        EXPECT_EQ(log.rfind(end), log.size() - end.size()) << "the log is closed";
        EXPECT_EQ(log.find(end), log.size() - end.size());
        // Entry numbers go up through the file as they were given.
        const std::regex id("<Entry ID=\"([0-9]+)\">");
        long last = -1;
        for (auto it = std::sregex_iterator(log.begin(), log.end(), id); it != std::sregex_iterator(); ++it)
        {
            EXPECT_GT(std::stol((*it)[1]), last);
            last = std::stol((*it)[1]);
        }
        EXPECT_NE(errors.find("The log file " + path + " cannot be written (File too large)"), std::string::npos)
            << errors;
        EXPECT_EQ(errors.find("takes entries again") != std::string::npos, !fullAtEnd) << errors;
        if (!fullAtEnd)
        {
            EXPECT_EQ(console.GetEntries().FromNewest(2).mText, note);
        }
    }
}

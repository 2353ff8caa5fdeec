#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <regex>

#include "WindowFixture.h"
#include "platform/SystemInfoReader.h"

namespace {
std::tm MakeTime(int year, int month, int day, int hour, int minute)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    return time;
}

const char* const kTwoProcessors = "processor\t: 0\n"
                                   "vendor_id\t: GenuineIntel\n"
                                   "cpu family\t: 6\n"
                                   "model\t\t: 85\n"
                                   "model name\t: Intel(R) Xeon(R) CPU @ 2.40GHz\n"
                                   "stepping\t: 7\n"
                                   "cpu MHz\t\t: 2399.998\n"
                                   "flags\t\t: fpu vme de pse\n"
                                   "\n"
                                   "processor\t: 1\n"
                                   "vendor_id\t: OtherVendor\n"
                                   "model name\t: Second Processor\n"
                                   "cpu MHz\t\t: 1200.000\n"
                                   "\n";
} // namespace

TEST(SystemInfoReader, TimeIsMonthDayYearWithTwoDigitMinutes)
{
    const struct
    {
        std::tm time;
        const char* text;
    } table[] = {
        {MakeTime(2005, 3, 7, 9, 5), "3\\7\\2005 9:05"},
        {MakeTime(1999, 12, 31, 23, 59), "12\\31\\1999 23:59"},
        {MakeTime(2024, 1, 1, 0, 0), "1\\1\\2024 0:00"},
        {MakeTime(2010, 10, 10, 10, 10), "10\\10\\2010 10:10"},
    };
    for (const auto& row : table)
        EXPECT_EQ(SystemInfoReader::FormatTime(row.time), row.text);
}

TEST(SystemInfoReader, CpuInfoReadsFirstProcessorOnly)
{
    SystemInfo info;
    SystemInfoReader::ParseCpuInfo(kTwoProcessors, "x86_64", info);
    EXPECT_EQ(info.mProcessorVendor, "GenuineIntel");
    EXPECT_EQ(info.mProcessorName, "Intel(R) Xeon(R) CPU @ 2.40GHz");
    EXPECT_EQ(info.mProcessorIdentifier, "x86_64 Family 6 Model 85 Stepping 7");
    EXPECT_EQ(info.mClockSpeed, "2400 MHz");
}

TEST(SystemInfoReader, CpuInfoWithoutFieldsGivesNotAvailable)
{
    const char* const arm = "processor\t: 0\n"
                            "BogoMIPS\t: 48.00\n"
                            "CPU implementer\t: 0x41\n"
                            "\n";
    for (const char* text : {arm, "", "no colon at all\n\n\n", "cpu MHz : fast\nvendor_id :\n"})
    {
        SystemInfo info;
        SystemInfoReader::ParseCpuInfo(text, "aarch64", info);
        EXPECT_EQ(info.mProcessorVendor, "N/A") << text;
        EXPECT_EQ(info.mProcessorName, "N/A") << text;
        EXPECT_EQ(info.mProcessorIdentifier, "N/A") << text;
        EXPECT_EQ(info.mClockSpeed, "N/A") << text;
    }
}

TEST(SystemInfoReader, MemInfoGivesKiloBytes)
{
    SystemInfo info;
    SystemInfoReader::ParseMemInfo("MemTotal:       32823452 kB\n"
                                   "MemFree:         1000000 kB\n"
                                   "MemAvailable:   20000000 kB\n",
                                   info);
    EXPECT_EQ(info.mTotalMemory, "32823452 KBs");
    EXPECT_EQ(info.mAvailableMemory, "20000000 KBs");
}

TEST(SystemInfoReader, MemInfoWithMissingOrBadValuesGivesNotAvailable)
{
    SystemInfo info;
    SystemInfoReader::ParseMemInfo("MemTotal: -5 kB\nMemFree: 10 kB\n", info);
    EXPECT_EQ(info.mTotalMemory, "N/A");
    EXPECT_EQ(info.mAvailableMemory, "N/A");
    SystemInfoReader::ParseMemInfo("MemTotal: 99999999999999999999999 kB\nMemAvailable: lots\n", info);
    EXPECT_EQ(info.mTotalMemory, "N/A");
    EXPECT_EQ(info.mAvailableMemory, "N/A");
}

TEST(SystemInfoReader, ReadFillsEveryField)
{
    SystemInfo info;
    SystemInfoReader::Read(info);
    const std::string* fields[] = {&info.mUserName,
                                   &info.mOperatingSystem,
                                   &info.mTotalMemory,
                                   &info.mAvailableMemory,
                                   &info.mProcessorIdentifier,
                                   &info.mProcessorName,
                                   &info.mProcessorVendor,
                                   &info.mClockSpeed,
                                   &info.mArchitecture,
                                   &info.mTime};
    for (const std::string* field : fields)
        EXPECT_FALSE(field->empty());
    EXPECT_EQ(info.mArchitecture, "Intel");
    EXPECT_TRUE(std::regex_match(info.mTime, std::regex(R"(\d{1,2}\\\d{1,2}\\\d{4} \d{1,2}:\d\d)"))) << info.mTime;
    EXPECT_TRUE(std::regex_match(info.mTotalMemory, std::regex(R"(\d+ KBs)"))) << info.mTotalMemory;
    EXPECT_TRUE(std::regex_match(info.mAvailableMemory, std::regex(R"(\d+ KBs)"))) << info.mAvailableMemory;
    EXPECT_TRUE(std::regex_match(info.mClockSpeed, std::regex(R"(\d+ MHz|N/A)"))) << info.mClockSpeed;
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    EXPECT_EQ(info.mOperatingSystem, std::string(name.sysname) + " " + name.release);
}

TEST(SystemInfoReader, WindowReportsTheSameOperatingSystem)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    PlatformWindow* window = CreateTestWindow();
    ASSERT_NE(window, nullptr);
    SystemInfo info;
    window->ReportSystemInfo(info);
    EXPECT_EQ(info.mOperatingSystem, window->GetOSName());
    EXPECT_EQ(info.mUserName, SystemInfoReader::UserName());
    PlatformWindow::Destroy();
}

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/serial/XMLSaver.h"
#include "tests/LOOM/support/SerialTestUtil.h"

namespace {
const std::string kConfig = std::string(LOOM_TEST_DATA) + "/config.xml";
}

TEST(EngineConfig, ExampleLoadsEveryField)
{
    EngineConfig config;
    ASSERT_TRUE(LoadEngineConfig(kConfig, config));
    EXPECT_EQ(config.mMotD, "Welcome to the Loom engine");
    EXPECT_EQ(config.mUserName, "Builder");
    EXPECT_EQ(config.mConfigFolder, "Config");
    EXPECT_EQ(config.mStartupScript, "Scripts\\Start.lua");
    EXPECT_EQ(config.mConsoleFlags, 3);
    EXPECT_EQ(config.mWindowX, 1024);
    EXPECT_EQ(config.mWindowY, 768);
    EXPECT_TRUE(config.mShowDebugInfo);
    EXPECT_FALSE(config.mRunEditor);
    EXPECT_FALSE(config.mPreExport);
    EXPECT_TRUE(config.mCacheBinaryArchetypes);
    EXPECT_FALSE(config.mExportDocs);
    EXPECT_EQ(config.mLogFile, "Log.xml");
    EXPECT_TRUE(config.mProcessCompFolder);
}

TEST(EngineConfig, ExampleSavesBackByteForByte)
{
    EngineConfig config;
    ASSERT_TRUE(LoadEngineConfig(kConfig, config));
    const std::string path = TempPath("config_saved.xml");
    {
        XMLSaver saver(path);
        SerializeElement(saver, "EngineConfig", TypeElement, config);
    }
    EXPECT_EQ(ReadTextFile(path), ReadTextFile(kConfig));
}

TEST(EngineConfig, DefaultsAreEmptyZeroAndFalse)
{
    const EngineConfig config;
    EXPECT_TRUE(config.mMotD.empty() && config.mStartupScript.empty() && config.mLogFile.empty());
    EXPECT_EQ(config.mWindowX, 0);
    EXPECT_FALSE(config.mProcessCompFolder);
}

TEST(EngineConfig, MissingFileKeepsTheDefaultsWithoutAnAssertion)
{
    EngineConfig config;
    config.mWindowX = 640;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadEngineConfig(TempPath("config_missing.xml"), config));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("config_missing.xml"), std::string::npos);
    EXPECT_EQ(config.mWindowX, 640);
}

TEST(EngineConfig, MalformedFileKeepsTheDefaultsAndSaysSo)
{
    std::string text = ReadTextFile(kConfig);
    // Broken after the window size: nothing of it may be taken.
    text = text.substr(0, text.find("<bool name=\"ShowDebugInfo\">")) + "<bool name=\"ShowDebugInfo\">tr";
    const std::string path = TempPath("config_broken.xml");
    WriteTextFile(path, text);
    EngineConfig config;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadEngineConfig(path, config));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("config_broken.xml"), std::string::npos);
    EXPECT_EQ(config.mWindowX, 0);
    EXPECT_TRUE(config.mMotD.empty());
}

TEST(EngineConfig, OnlyTheStartupScriptSet)
{
    std::string text = ReadTextFile(kConfig);
    const auto blank = [&text](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    blank(">Welcome to the Loom engine<", "><");
    blank(">Builder<", "><");
    blank(">Config<", "><");
    blank(">Scripts\\Start.lua<", ">Init.lua<");
    blank(">3<", ">0<");
    blank(">1024<", ">0<");
    blank(">768<", ">0<");
    for (int i = 0; i < 3; ++i)
        blank(">true<", ">false<");
    blank(">Log.xml<", "><");
    const std::string path = TempPath("config_script.xml");
    WriteTextFile(path, text);

    EngineConfig config;
    ASSERT_TRUE(LoadEngineConfig(path, config));
    EXPECT_EQ(config.mStartupScript, "Init.lua");
    EXPECT_TRUE(config.mLogFile.empty());
    EXPECT_EQ(config.mWindowX, 0);
    EXPECT_FALSE(config.mProcessCompFolder);
}

// A number the file gives that its setting cannot take keeps the setting and is refused with the
// file, the line, the field and the text; the refusals are handed back to be written to the log
// file, which is not open yet while config.xml is read. The rest of the file is taken.
TEST(EngineConfig, RefusedNumbersKeepTheirSettingAndAreHandedOnForTheLog)
{
    struct Case
    {
        const char* mWindowX;
        const char* mWindowY;
        int32_t mX, mY;
        std::vector<std::string> mRefused;
    };
    const Case cases[] = {
        {"nan",
         "99999999999",
         0,
         0,
         {"line 9: WindowX \"nan\" refused (not a whole decimal number); it keeps 0",
          "line 10: WindowY \"99999999999\" refused (out of range for an int: -2147483648 to 2147483647); it keeps 0"}},
        {"800.5", "600", 0, 600, {"line 9: WindowX \"800.5\" refused (not a whole decimal number); it keeps 0"}},
        {"640", "480", 640, 480, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.mWindowX) + " " + c.mWindowY);
        std::string text = ReadTextFile(kConfig);
        text.replace(text.find(">1024<"), 6, std::string(">") + c.mWindowX + "<");
        text.replace(text.find(">768<"), 5, std::string(">") + c.mWindowY + "<");
        const std::string path = TempPath("config_numbers.xml");
        WriteTextFile(path, text);
        EngineConfig config;
        std::string problem;
        std::vector<LogEntry> refused(1); // what was there stays
        ASSERT_TRUE(LoadEngineConfig(path, config, &problem, &refused));
        EXPECT_EQ(problem, "");
        EXPECT_EQ(config.mWindowX, c.mX);
        EXPECT_EQ(config.mWindowY, c.mY);
        EXPECT_EQ(config.mStartupScript, "Scripts\\Start.lua") << "the rest is taken";
        EXPECT_TRUE(config.mProcessCompFolder);
        std::vector<std::string> texts;
        for (size_t i = 1; i < refused.size(); ++i)
        {
            EXPECT_EQ(refused[i].mCategory, LogError);
            texts.push_back(refused[i].mText);
        }
        std::vector<std::string> expected;
        for (const std::string& line : c.mRefused)
        {
            expected.push_back(path);
            expected.back().append(" ").append(line);
            Console::FixSlashes(expected.back()); // as the log writes every path
        }
        EXPECT_EQ(texts, expected);
    }
}

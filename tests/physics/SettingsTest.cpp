#include <gtest/gtest.h>

#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "physics/PhysicsLoom.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
std::string SettingsFile(const std::string& subStep, const std::string& gravityY, const std::string& friction)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<serializable>\n"
           "\t\t<vector name=\"Gravity\"><real name=\"x\">1</real><real name=\"y\">" +
        gravityY +
        "</real><real name=\"z\">0</real></vector>\n"
        "\t\t<real name=\"MaxSubStep\">" +
        subStep +
        "</real>\n"
        "\t\t<real name=\"MaxFrameTime\">0.05</real>\n"
        "\t\t<real name=\"Restitution\">0.5</real>\n"
        "\t\t<real name=\"BounceThreshold\">3</real>\n"
        "\t\t<real name=\"Friction\">" +
        friction + "</real>\n\t</serializable>\n</Stream>";
}

class PhysicsSettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mSavedPath = GetDataPath();
        SetDataPath(mDir.Path() + "/");
        mLoom.reset(PhysicsLoom::Create());
    }
    void TearDown() override
    {
        mLoom.reset();
        SetDataPath(mSavedPath);
    }

    // The log lines the loom's Init wrote, newest first.
    std::vector<LogEntry> InitLog()
    {
        const uint32_t before = Console::Instance().GetEntryCounter();
        mLoom->Init();
        std::vector<LogEntry> out;
        const EntryRing& ring = Console::Instance().GetEntries();
        for (size_t i = 0; i < Console::Instance().GetEntryCounter() - before && i < ring.Size(); ++i)
            out.push_back(ring.FromNewest(i));
        return out;
    }

    void ExpectDefaults() const
    {
        const PhysicsSettings& s = mLoom->GetSettings();
        EXPECT_EQ(s.mGravity, Vector3(0.0f, -40.0f, 0.0f));
        EXPECT_EQ(s.mMaxSubStep, 1.0f / 120.0f);
        EXPECT_EQ(s.mMaxFrameTime, 0.1f);
        EXPECT_EQ(s.mRestitution, 0.3f);
        EXPECT_EQ(s.mBounceThreshold, 2.0f);
        EXPECT_EQ(s.mFriction, 0.6f);
    }

    TempDir mDir;
    std::string mSavedPath;
    std::unique_ptr<PhysicsLoom> mLoom;
};
} // namespace

TEST_F(PhysicsSettingsFile, ReadsEveryField)
{
    mDir.Write("Config/Physics.xml", SettingsFile("0.01", "-9.5", "0.25"));
    EXPECT_TRUE(InitLog().empty());
    const PhysicsSettings& s = mLoom->GetSettings();
    EXPECT_EQ(s.mGravity, Vector3(1.0f, -9.5f, 0.0f));
    EXPECT_EQ(mLoom->GetGravity().y, -9.5f);
    EXPECT_EQ(s.mMaxSubStep, 0.01f);
    EXPECT_EQ(s.mMaxFrameTime, 0.05f);
    EXPECT_EQ(s.mRestitution, 0.5f);
    EXPECT_EQ(s.mBounceThreshold, 3.0f);
    EXPECT_EQ(s.mFriction, 0.25f);
    EXPECT_EQ(mLoom->SubStepsFor(1.0f), 5u) << "capped at MaxFrameTime";
}

TEST_F(PhysicsSettingsFile, MissingOrBadFileKeepsTheDefaultsWithOneLine)
{
    const struct
    {
        const char* content; // null: no file
        uint32_t category;
        const char* says;
    } cases[] = {
        {nullptr, LogLoading, "not found"},
        {"<Stream version=\"2.0\"><serializable><real name=\"MaxSubStep\">0.0", LogError, "cannot be read"},
        {"", LogError, "cannot be read"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.says);
        if (c.content)
            mDir.Write("Config/Physics.xml", c.content);
        const std::vector<LogEntry> log = InitLog();
        ExpectDefaults();
        size_t matching = 0;
        for (const LogEntry& entry : log)
            matching += entry.mCategory == c.category && entry.mText.find("Physics.xml") != std::string::npos &&
                entry.mText.find(c.says) != std::string::npos;
        EXPECT_EQ(matching, 1u);
    }
}

TEST_F(PhysicsSettingsFile, ValuesThatWouldBreakTheStepAreRefused)
{
    const struct
    {
        const char* subStep;
        const char* gravityY;
        const char* friction;
        const char* says;
    } cases[] = {
        {"0", "-40", "0.6", "MaxSubStep"},
        {"-0.01", "-40", "0.6", "MaxSubStep"},
        {"0.00001", "-40", "0.6", "1000"},
        {"0.01", "-40", "-1", "Friction"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.says);
        mDir.Write("Config/Physics.xml", SettingsFile(c.subStep, c.gravityY, c.friction));
        const std::vector<LogEntry> log = InitLog();
        ExpectDefaults();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0].mCategory, uint32_t(LogError));
        EXPECT_NE(log[0].mText.find(c.says), std::string::npos) << log[0].mText;
    }
}

TEST_F(PhysicsSettingsFile, BundledFileHoldsTheDefaults)
{
    // The game's data folder sits beside tests/.
    std::string root = LOOM_TEST_DATA;
    root = root.substr(0, root.rfind("/tests/data"));
    SetDataPath(root + "/data/");
    EXPECT_TRUE(InitLog().empty());
    const PhysicsSettings& s = mLoom->GetSettings();
    EXPECT_EQ(s.mGravity, Vector3(0.0f, -40.0f, 0.0f));
    EXPECT_NEAR(s.mMaxSubStep, 1.0f / 120.0f, 1e-9f);
    EXPECT_EQ(mLoom->SubStepsFor(1.0f / 30.0f), 4u);
}

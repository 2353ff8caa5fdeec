#include <gtest/gtest.h>

#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLSaver.h"
#include "LOOM/space/QTree.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
std::string SettingsFile(const std::string& size, const std::string& depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<serializable>\n"
           "\t\t<real name=\"WorldCubeSize\">" +
        size +
        "</real>\n"
        "\t\t<int name=\"QuadTreeDepth\">" +
        depth + "</int>\n\t</serializable>\n</Stream>";
}

bool LoggedSince(uint32_t counter, const std::string& text, uint32_t category)
{
    return LogCapture(counter).CountIf([&](const LogEntry& entry) {
        return entry.mCategory == category && entry.mText.find(text) != std::string::npos;
    }) > 0;
}

class QTreeSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mSavedPath = GetDataPath();
        SetDataPath(mDir.Path() + "/");
        mCounter = Console::Instance().GetEntryCounter();
    }
    void TearDown() override { SetDataPath(mSavedPath); }

    TempDir mDir;
    std::string mSavedPath;
    uint32_t mCounter = 0;
};
} // namespace

TEST_F(QTreeSettings, ReadsWorldSizeAndDepthFromTheFile)
{
    mDir.Write("Config/QTree.xml", SettingsFile("300", "3"));
    QTree tree;
    EXPECT_TRUE(tree.Init());
    EXPECT_TRUE(tree.IsBuilt());
    EXPECT_EQ(tree.GetWorldSize(), 300.0f);
    EXPECT_EQ(tree.GetDepth(), 3u);
    EXPECT_EQ(tree.NodeCount(), QTree::NodeCountForDepth(3));
}

TEST_F(QTreeSettings, MissingFileUsesDefaultsAndSaysSo)
{
    QTree tree;
    EXPECT_TRUE(tree.Init());
    EXPECT_EQ(tree.GetWorldSize(), QTree::kDefaultWorldSize);
    EXPECT_EQ(tree.GetDepth(), static_cast<uint32_t>(QTree::kDefaultDepth));
    EXPECT_TRUE(LoggedSince(mCounter, "not found", LogLoading));
}

TEST_F(QTreeSettings, AbsurdDepthIsRefusedWithAnErrorAndTheDefaultUsed)
{
    for (const char* depth : {"15", "11", "-1", "2147483647"})
    {
        SCOPED_TRACE(depth);
        mDir.Write("Config/QTree.xml", SettingsFile("256", depth));
        const uint32_t counter = Console::Instance().GetEntryCounter();
        QTree tree;
        EXPECT_TRUE(tree.Init());
        EXPECT_EQ(tree.GetDepth(), static_cast<uint32_t>(QTree::kDefaultDepth));
        EXPECT_EQ(tree.GetWorldSize(), 256.0f);
        EXPECT_TRUE(LoggedSince(counter, std::string("QuadTreeDepth ") + depth, LogError));
    }
}

TEST_F(QTreeSettings, BadWorldSizeFallsBackToTheDefault)
{
    for (const char* size : {"0", "-20", "nan", "inf"})
    {
        SCOPED_TRACE(size);
        mDir.Write("Config/QTree.xml", SettingsFile(size, "4"));
        QTree tree;
        EXPECT_TRUE(tree.Init());
        EXPECT_EQ(tree.GetWorldSize(), QTree::kDefaultWorldSize);
        EXPECT_EQ(tree.GetDepth(), 4u);
    }
}

TEST_F(QTreeSettings, MalformedOrTruncatedFileUsesDefaults)
{
    const std::string full = SettingsFile("300", "3");
    for (const std::string& text : {full.substr(0, full.size() / 2), std::string("<<<>>> not xml"), std::string(),
                                    SettingsFile("300", "3").replace(full.find("real"), 4, "int ")})
    {
        mDir.Write("Config/QTree.xml", text);
        const uint32_t counter = Console::Instance().GetEntryCounter();
        QTree tree;
        EXPECT_TRUE(tree.Init());
        EXPECT_EQ(tree.GetWorldSize(), QTree::kDefaultWorldSize);
        EXPECT_EQ(tree.GetDepth(), static_cast<uint32_t>(QTree::kDefaultDepth));
        EXPECT_TRUE(LoggedSince(counter, "Config/QTree.xml is not correct", LogError) ||
                    LoggedSince(counter, "Config\\QTree.xml is not correct", LogError));
    }
}

TEST_F(QTreeSettings, SavedSettingsLoadBack)
{
    {
        QTree source;
        source.Init(); // defaults: nothing on disk yet
        XMLSaver saver;
        std::filesystem::create_directories(mDir.Path("Config"));
        ASSERT_TRUE(saver.Open(mDir.Path("Config/QTree.xml")));
        saver.SerializeObject(source);
        saver.Close();
    }
    QTree tree;
    EXPECT_TRUE(tree.Init());
    EXPECT_EQ(tree.GetWorldSize(), QTree::kDefaultWorldSize);
    EXPECT_FALSE(LoggedSince(mCounter + 1, "not correct", LogError));
}

TEST_F(QTreeSettings, ShippedSettingsFileLoads)
{
    // The game's data folder sits beside tests/ (LOOM_TEST_DATA is tests/data, which may not exist).
    std::string root = LOOM_TEST_DATA;
    root.erase(root.rfind("/tests/data"));
    SetDataPath(root + "/data/");
    const uint32_t counter = Console::Instance().GetEntryCounter();
    QTree tree;
    EXPECT_TRUE(tree.Init());
    EXPECT_FALSE(LoggedSince(counter, "QTree.xml", LogError));
    EXPECT_FALSE(LoggedSince(counter, "QTree.xml", LogLoading));
    EXPECT_EQ(tree.GetWorldSize(), 512.0f);
    EXPECT_EQ(tree.GetDepth(), 5u);
}

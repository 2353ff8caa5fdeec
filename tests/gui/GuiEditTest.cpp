#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LOOM/console/Console.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/SaveFaults.h"
#include "tests/gui/GuiFixture.h"

namespace {

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

using GuiEditTest = GuiFixture;

TEST_F(GuiEditTest, DragInEditModeMovesTheWidgetAndGuiSaveWritesOnlyThat)
{
    StartGui(nullptr);
    // GuiSave writes only inside the data folder: the copy is loaded from there.
    const std::string file = Scratch("Render.xml");
    std::filesystem::copy_file(GuiData("Render.xml"), file);
    SetDataPath(Scratch("") + "/");
    Cog* cog = MakePanel("Render.xml");
    Widget* button = Widgets(cog).Find("OkButton");
    ASSERT_NE(button, nullptr);

    Console::Instance().ExecuteLine("GuiEdit true");
    ASSERT_TRUE(WidgetLayer::Current()->IsEditMode());
    // Down on the button, 40 pixels to the right (of 800), up: no click reaches the owner.
    Press(300, 180);
    MoveTo(320, 180);
    MoveTo(340, 180);
    Release(340, 180);
    // A drag of the background does not move the button.
    Press(100, 50);
    MoveTo(140, 50);
    Release(140, 50);
    Console::Instance().ExecuteLine("GuiEdit false");
    EXPECT_TRUE(Heard(cog).mHeard.empty());
    EXPECT_NEAR(button->GetBox().mX, -0.3f, 1e-5f);
    EXPECT_NEAR(button->GetBox().mY, 0.4f, 1e-5f);
    EXPECT_NEAR(Widgets(cog).Find("MainWindow")->GetBox().mX, -0.5f, 1e-6f);

    Console::Instance().ExecuteLine("GuiSave");
    const std::vector<std::string> before = Lines(GuiData("Render.xml"));
    const std::vector<std::string> after = Lines(file);
    ASSERT_EQ(before.size(), after.size());
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            changed.push_back(i);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_NE(after[changed[0]].find(">-0.3<"), std::string::npos) << after[changed[0]];

    // Reloaded, the button stands where it was dropped.
    std::unique_ptr<Widget> reloaded = LoadWidgetFile(file, nullptr);
    ASSERT_NE(reloaded, nullptr);
    EXPECT_NEAR(reloaded->FindWidget("OkButton")->GetBox().mX, -0.3f, 1e-5f);
}

TEST_F(GuiEditTest, GuiSaveKeepsTheOldFileWholeOnAFaultAndWritesOnlyInsideTheDataFolder)
{
    StartGui(nullptr);
    std::filesystem::create_directories(Scratch("data"));
    std::filesystem::copy_file(GuiData("Render.xml"), Scratch("data/Render.xml"));
    SetDataPath(Scratch("data") + "/");
    Cog* cog = MakePanel("Render.xml");
    const auto before = FolderSnapshot(Scratch(""));
    for (const char* fault : {"full disk", "read-only folder"})
    {
        SCOPED_TRACE(fault);
        LogCapture log;
        bool saved = true;
        if (std::string(fault) == "full disk")
        {
            FullDisk disk;
            saved = WidgetLayer::Current()->SaveAll();
        }
        else
        {
            ReadOnlyFolder folder(Scratch("data"));
            ASSERT_TRUE(folder.Holds());
            saved = WidgetLayer::Current()->SaveAll();
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(FolderSnapshot(Scratch("")), before);
        EXPECT_EQ(log.Count("Render.xml"), 1);
    }

    // A widget file naming a way out of the data folder is not written there.
    for (const char* way : {"../Escape.xml", "..\\Escape.xml", "/tmp/Escape.xml"})
    {
        SCOPED_TRACE(way);
        LogCapture log;
        Widgets(cog).GetRoot()->SetSourceFile(way);
        EXPECT_FALSE(WidgetLayer::Current()->SaveAll());
        EXPECT_EQ(log.Count("Path refused"), 1);
        EXPECT_EQ(FolderSnapshot(Scratch("")), before);
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/Escape.xml"));
}

TEST_F(GuiEditTest, DraggingAWindowMovesItsSubtree)
{
    StartGui(nullptr);
    Cog* cog = MakePanel(GuiData("Render.xml"));
    Console::Instance().ExecuteLine("GuiEdit true");
    // The window around its children, dragged 80 pixels down.
    Press(300, 400);
    MoveTo(300, 480);
    Release(300, 480);
    Console::Instance().ExecuteLine("GuiEdit false");
    EXPECT_NEAR(Widgets(cog).Find("MainWindow")->GetBox().mY, 0.3f, 1e-5f);
    EXPECT_NEAR(Widgets(cog).Find("OkButton")->GetBox().mY, 0.2f, 1e-5f);
    EXPECT_NEAR(Widgets(cog).Find("Label")->GetBox().mY, 0.2f, 1e-5f);
    EXPECT_NEAR(Widgets(cog).Find("Label")->GetBox().mX, 0.0f, 1e-6f);
}

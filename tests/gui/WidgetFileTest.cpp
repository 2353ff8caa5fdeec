#include <gtest/gtest.h>

#include "gui/widgets/Widgets.h"
#include "tests/LOOM/support/SerialTestUtil.h"
#include "tests/gui/GuiFixture.h"
#include "tests/input/LogProbe.h"

using WidgetFileTest = GuiFixture;

TEST_F(WidgetFileTest, EveryWidgetTypeRoundTripsByteForByte)
{
    for (const char* name : {"AllTypes.xml", "AllTypes.bin"})
    {
        SCOPED_TRACE(name);
        const bool binary = std::string(name).find(".bin") != std::string::npos;
        LogProbe log;
        std::unique_ptr<Widget> root = LoadWidgetFile(GuiData(name), nullptr);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(log.Written(), 0u);
        const std::string out = Scratch(std::string("out_") + name);
        ASSERT_TRUE(binary ? SaveWidgetFileBinary(out, *root) : SaveWidgetFile(out, *root));
        EXPECT_EQ(ReadTextFile(out), ReadTextFile(GuiData(name)));
    }
}

TEST_F(WidgetFileTest, LoadedTreeHoldsEveryTypeWithItsFields)
{
    std::unique_ptr<Widget> root = LoadWidgetFile(GuiData("AllTypes.xml"), nullptr);
    ASSERT_NE(root, nullptr);
    const std::pair<const char*, const char*> expected[] = {{"Plain", "Widget"},
                                                            {"Text", "TextBox"},
                                                            {"Start", "Button"},
                                                            {"Sound", "CheckBox"},
                                                            {"Loading", "ProgressBar"},
                                                            {"TowerHealth", "HealthBar"},
                                                            {"Volume", "Slider"},
                                                            {"TrapDropComboBox", "ComboBox"},
                                                            {"InvaderIcon", "ImageBox"},
                                                            {"MiniMapImageBox", "MapImageBox"},
                                                            {"TrapDropToolBar", "ToolBar"},
                                                            {"BarItem", "Button"},
                                                            {"InvaderModel", "ModelView"}};
    for (const auto& [name, type] : expected)
    {
        Widget* w = root->FindWidget(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->GetTypeName(), type) << name;
    }
    EXPECT_EQ(root->FindWidget("Text")->QueryText(), "Credits: 100 & <more>");
    EXPECT_EQ(root->FindWidget("Text")->GetAlignment(), 3);
    EXPECT_FLOAT_EQ(static_cast<HealthBar*>(root->FindWidget("TowerHealth"))->GetValue(), 0.75f);
    EXPECT_EQ(root->FindWidget("Start")->Action().mScript, "OnStart");
    EXPECT_EQ(root->GetDescription("Root"), "The root");
    EXPECT_EQ(root->GetDescription("Other"), "");
}

TEST_F(WidgetFileTest, UnknownTypeSkipsItsSubtreeAndSiblingsLoad)
{
    std::string text = ReadTextFile(GuiData("AllTypes.xml"));
    const std::string from = "<widget type=\"CheckBox\">";
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), "<widget type=\"Gizmo\">");
    LogProbe log;
    std::unique_ptr<Widget> root = LoadWidgetBuffer(text, "gizmo.xml", 0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(log.Written(), 1u);
    EXPECT_EQ(log.Count("gizmo.xml"), 1);
    EXPECT_EQ(log.Count("Gizmo"), 1);
    EXPECT_EQ(root->FindWidget("Sound"), nullptr);
    // Siblings before and after the skipped one.
    EXPECT_NE(root->FindWidget("Start"), nullptr);
    EXPECT_NE(root->FindWidget("Loading"), nullptr);
    EXPECT_NE(root->FindWidget("BarItem"), nullptr);
}

TEST_F(WidgetFileTest, TruncatedAndCorruptFilesLogOnceAndNeverCrash)
{
    const std::string xml = ReadTextFile(GuiData("AllTypes.xml"));
    const std::string bin = ReadTextFile(GuiData("AllTypes.bin"));
    std::vector<std::pair<std::string, std::string>> cases;
    for (size_t cut : {size_t(0), size_t(10), size_t(200), xml.size() / 2, xml.size() - 12})
        cases.emplace_back("xml cut " + std::to_string(cut), xml.substr(0, cut));
    for (size_t cut : {size_t(4), size_t(30), bin.size() / 2, bin.size() - 5})
        cases.emplace_back("bin cut " + std::to_string(cut), bin.substr(0, cut));
    std::string swapped = xml;
    swapped.replace(swapped.find("<real name=\"Rotation\">"), 6, "<bool ");
    cases.emplace_back("wrong element", swapped);
    std::string huge = xml;
    huge.replace(huge.find("size=\"12\""), 9, "size=\"4000000000\"");
    cases.emplace_back("huge list", huge);
    std::string flipped = bin;
    for (size_t i = 8; i < flipped.size(); i += 37)
        flipped[i] = char(flipped[i] ^ 0x5A);
    cases.emplace_back("flipped bytes", flipped);
    for (const auto& [label, bytes] : cases)
    {
        SCOPED_TRACE(label);
        LogProbe log;
        std::unique_ptr<Widget> root = LoadWidgetBuffer(bytes, "broken", 0);
        // A list longer than the file is capped with a line of its own, then the file ends.
        const uint32_t lines = label == "huge list" ? 2u : 1u;
        EXPECT_EQ(log.Written(), lines);
        EXPECT_EQ(log.Count("broken"), int(lines));
    }
}

TEST_F(WidgetFileTest, MissingFileIsOneLogLine)
{
    LogProbe log;
    EXPECT_EQ(LoadWidgetFile(Scratch("none.xml"), nullptr), nullptr);
    EXPECT_EQ(log.Written(), 1u);
    EXPECT_EQ(log.Count("none.xml"), 1);
}

TEST_F(WidgetFileTest, ComponentMessagesReachWidgetsAndUnknownNamesLogOnce)
{
    Cog* cog = MakePanel(GuiData("AllTypes.xml"));
    WidgetComp& comp = Widgets(cog);
    ASSERT_NE(comp.GetRoot(), nullptr);
    comp.Message("Text", "SetText", "42");
    EXPECT_EQ(comp.Find("Text")->QueryText(), "42");
    comp.SetGuiFloat("TowerHealth", 0.5f);
    EXPECT_FLOAT_EQ(static_cast<HealthBar*>(comp.Find("TowerHealth"))->GetValue(), 0.5f);
    comp.SetGuiFloat("TowerHealth", 7.0f);
    EXPECT_FLOAT_EQ(static_cast<HealthBar*>(comp.Find("TowerHealth"))->GetValue(), 1.0f);
    comp.Message("TrapDropComboBox", "AddData", "Spikes");
    comp.Message("TrapDropComboBox", "AddData", "Tar");
    EXPECT_EQ(static_cast<ComboBox*>(comp.Find("TrapDropComboBox"))->Entries().size(), 2u);
    comp.Message("TrapDropComboBox", "ClearData", "");
    EXPECT_TRUE(static_cast<ComboBox*>(comp.Find("TrapDropComboBox"))->Entries().empty());
    comp.Message("InvaderIcon", "SetIndex", "3");
    EXPECT_EQ(static_cast<ImageBox*>(comp.Find("InvaderIcon"))->GetIndex(), 3);

    // Named messages through the cog, as scripts and buttons send them.
    ParamBuffer params;
    params.PushStdString("Text");
    params.PushStdString("SetText");
    params.PushStdString("by name");
    cog->CallFunction("Message", params);
    EXPECT_EQ(comp.Find("Text")->QueryText(), "by name");

    LogProbe log;
    for (int i = 0; i < 3; ++i)
    {
        comp.Message("Nobody", "SetText", "x");
        comp.Message("Text", "Explode", "x");
    }
    EXPECT_EQ(log.Written(), 2u);
    EXPECT_EQ(log.Count("Nobody"), 1);
    EXPECT_EQ(log.Count("Explode"), 1);
}

TEST_F(WidgetFileTest, GameWidgetFilesHoldWhatTheHudAndMenuLookFor)
{
    const std::pair<const char*, std::vector<std::string>> files[] = {
        {"MenuData/HUD.xml",
         {"MiniMapImageBox", "TowerHealth", "CreditsNum", "KillsNum", "TimeNum", "TrapDropToolBar", "TrapDropToolBar2",
          "TrapDropComboBox", "LevelVictoryConditionWindow"}},
        {"MenuData/MainMenu.xml",
         {"OptionsWindow",     "CreditsWindow",  "BonusWindow",      "InvaderViewerWindow", "InGameWindow",
          "LevelChoiceWindow", "GameOverWindow", "InGameExitWindow", "StartWindow",         "InvaderConceptArt",
          "InvaderIcon",       "InvaderModel",   "InvaderStatus",    "InvaderName",         "InvaderDesc",
          "AnimationName",     "TraitorImage",   "MenuWindow",       "TimePlayed",          "PointsEarned",
          "PointsUsed",        "TrapKills",      "SuicideKills",     "ExplosionKills",      "PhysicsKills",
          "StatusKills",       "TotalKills"}}};
    for (const auto& [file, names] : files)
    {
        SCOPED_TRACE(file);
        LogProbe log;
        std::unique_ptr<Widget> root = LoadWidgetFile(file, nullptr);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(log.Written(), 0u);
        for (const std::string& name : names)
            EXPECT_NE(root->FindWidget(name), nullptr) << name;
    }
    std::unique_ptr<Widget> menu = LoadWidgetFile("MenuData/MainMenu.xml", nullptr);
    EXPECT_TRUE(menu->Message("Show", "") && menu->FindWidget("TraitorImage")->Message("setanimation", "talk"));
    EXPECT_EQ(LoadWidgetFile("MenuData/HUD.xml", nullptr)->FindWidget("TrapDropComboBox")->Action().mMessage,
              "TrapSelect");
}

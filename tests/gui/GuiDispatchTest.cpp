#include <gtest/gtest.h>

#include <cmath>

#include "gui/WidgetLayer.h"
#include "gui/widgets/Widgets.h"
#include "tests/gui/GuiFixture.h"

// Input reaches widgets without a device: the GUI system runs its update headless.
class GuiDispatchTest : public GuiFixture
{
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        StartGui(nullptr);
        mPanel = MakePanel(GuiData("Overlap.xml"));
        ASSERT_NE(Widgets(mPanel).GetRoot(), nullptr);
    }

    std::vector<std::string>& Heard() { return GuiFixture::Heard(mPanel).mHeard; }
    Widget* Find(const std::string& name) { return Widgets(mPanel).Find(name); }

    Cog* mPanel = nullptr;
};

TEST_F(GuiDispatchTest, ClickReachesTheTopButtonOnceNotTheLowerNorAHiddenOne)
{
    // The hidden window lies over both and wins while it is shown.
    Click(360, 240);
    EXPECT_EQ(Heard(), std::vector<std::string>{"Plain"});
    Heard().clear();
    Widgets(mPanel).CloseWindow("WindowHidden");
    Click(360, 240);
    EXPECT_EQ(Heard(), std::vector<std::string>{"Top"});
    Heard().clear();
    // Where only the lower window lies.
    Click(240, 160);
    EXPECT_EQ(Heard(), std::vector<std::string>{"Low"});
}

TEST_F(GuiDispatchTest, DownOnOneButtonUpOnAnotherClicksNothing)
{
    Widgets(mPanel).CloseWindow("WindowHidden");
    Press(240, 160);
    Release(480, 300);
    Press(480, 300);
    MoveTo(240, 160);
    Release(240, 160);
    EXPECT_TRUE(Heard().empty());
}

// A press that lands on a widget is the GUI's until the button goes up, wherever the mouse goes
// meanwhile (the field under it takes no part of it); one beside every widget is not.
TEST_F(GuiDispatchTest, APressOnAWidgetIsTheGuisUntilTheButtonGoesUp)
{
    WidgetLayer& layer = *WidgetLayer::Current();
    const struct
    {
        int x, y;
        bool taken;
    } presses[] = {{360, 240, true}, {560, 300, true}, {10, 590, false}};
    for (const auto& p : presses)
    {
        Press(p.x, p.y);
        EXPECT_EQ(layer.TookPress(), p.taken) << p.x << ", " << p.y;
        MoveTo(10, 590);
        EXPECT_EQ(layer.TookPress(), p.taken) << p.x << ", " << p.y << ": dragged off";
        Release(10, 590);
        EXPECT_EQ(layer.TookPress(), p.taken) << p.x << ", " << p.y << ": the frame it goes up";
        MoveTo(10, 590);
        EXPECT_FALSE(layer.TookPress()) << p.x << ", " << p.y << ": after";
    }
}

TEST_F(GuiDispatchTest, MouseOverStateNamesTheTopmostShownWidget)
{
    Widgets(mPanel).CloseWindow("WindowHidden");
    MoveTo(360, 240);
    EXPECT_TRUE(mGui->Mouse().IsOver());
    EXPECT_EQ(mGui->Mouse().GetOverName(), "ButtonTop");
    MoveTo(560, 300); // the top window beside its button
    EXPECT_EQ(mGui->Mouse().GetOverName(), "WindowTop");
    MoveTo(10, 590);
    EXPECT_FALSE(mGui->Mouse().IsOver());
    EXPECT_EQ(mGui->Mouse().GetOverName(), "");
    // A hidden GUI takes no input at all.
    mGui->ToggleVisible();
    MoveTo(360, 240);
    EXPECT_FALSE(mGui->Mouse().IsOver());
    Click(360, 240);
    EXPECT_TRUE(Heard().empty());
    mGui->ToggleVisible();
}

TEST_F(GuiDispatchTest, ComboBoxOpensPicksAndClosesOnAPressOutside)
{
    WidgetComp& comp = Widgets(mPanel);
    comp.Message("Combo", "AddData", "Spikes");
    comp.Message("Combo", "AddData", "Tar");
    auto* combo = static_cast<ComboBox*>(Find("Combo"));
    Click(660, 40);
    ASSERT_TRUE(combo->IsOpen());
    // The second entry lies two rows below the box.
    Click(660, 120);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(Heard(), std::vector<std::string>{"Pick:Tar"});
    EXPECT_EQ(combo->QueryText(), "Tar");
    Click(660, 40);
    ASSERT_TRUE(combo->IsOpen());
    Press(100, 500);
    EXPECT_FALSE(combo->IsOpen());
    Release(100, 500);
    EXPECT_EQ(Heard().size(), 1u);
}

TEST_F(GuiDispatchTest, OpenWindowClosingCurrentHidesTheWindowOpenedLast)
{
    WidgetComp& comp = Widgets(mPanel);
    comp.CloseWindow("WindowLow");
    comp.CloseWindow("WindowTop");
    comp.OpenWindow("WindowLow", false);
    EXPECT_TRUE(Find("WindowLow")->IsActive());
    comp.OpenWindow("WindowTop", false);
    EXPECT_TRUE(Find("WindowLow")->IsActive());
    comp.OpenWindow("WindowHidden", true);
    EXPECT_TRUE(Find("WindowLow")->IsActive());
    EXPECT_FALSE(Find("WindowTop")->IsActive());
    EXPECT_TRUE(Find("WindowHidden")->IsActive());
    EXPECT_EQ(comp.GetCurrentWindow(), "WindowHidden");
}

TEST_F(GuiDispatchTest, ClickableWidgetsSendTheirValues)
{
    Click(660, 320);
    Click(660, 320);
    // The slider: pressed at three quarters... of its track left of the map.
    Press(520, 480);
    MoveTo(560, 480);
    Release(560, 480);
    EXPECT_EQ(Heard(), (std::vector<std::string>{"Toggle:1", "Toggle:0", "Value:0.500000"}));

    auto* map = static_cast<MapImageBox*>(Find("MiniMapImageBox"));
    // The box is 160 pixels wide about (680, 460); 60 pixels up from its middle is 0.375 of it.
    struct Case
    {
        float angle;
        int x, y;
        float u, v;
    };
    const Case cases[] = {{0.0f, 680, 460, 0.5f, 0.5f},
                          {0.0f, 680, 400, 0.5f, 0.125f},
                          // Heading -x: the point above the middle lies west of it.
                          {1.5707964f, 680, 400, 0.125f, 0.5f},
                          // Turned half way, the map is shrunk by the root of two to fit.
                          {0.7853982f, 680, 400, 0.125f, 0.125f}};
    for (const Case& c : cases)
    {
        map->SetAngle(c.angle);
        Click(c.x, c.y);
    }
    const auto& maps = GuiFixture::Heard(mPanel).mMaps;
    ASSERT_EQ(maps.size(), std::size(cases));
    for (size_t i = 0; i < maps.size(); ++i)
    {
        EXPECT_NEAR(maps[i].x, cases[i].u, 1e-4f) << i;
        EXPECT_NEAR(maps[i].y, cases[i].v, 1e-4f) << i;
        EXPECT_EQ(maps[i].z, 0.0f);
    }
}

TEST_F(GuiDispatchTest, ClearItemsInAClickHandlerWaitsForTheEndOfTheUpdate)
{
    Cog* bar = MakePanel(GuiData("Bar.xml"), 1, "HUD");
    auto* toolbar = static_cast<ToolBar*>(Widgets(bar).Find("TrapDropToolBar"));
    ASSERT_NE(toolbar, nullptr);
    for (int i = 0; i < 3; ++i)
        toolbar->AddItem(LoadWidgetFile(GuiData("Item.xml"), bar));
    ASSERT_EQ(toolbar->Children().size(), 3u);
    // Laid out in a row from the bar's corner.
    EXPECT_FLOAT_EQ(toolbar->Children()[1]->GetBox().mX, -0.9f + 0.1f + 0.01f);
    EXPECT_FLOAT_EQ(toolbar->Children()[2]->GetBox().mY, -0.5f);
    StandInButton::sClicks = 0;
    MoveTo(60, 520);
    EXPECT_EQ(mGui->Mouse().GetOverName(), "TrapButton");
    Click(60, 520);
    EXPECT_EQ(StandInButton::sClicks, 1);
    EXPECT_TRUE(toolbar->Children().empty());
    MoveTo(62, 522);
    Click(60, 520);
    EXPECT_EQ(StandInButton::sClicks, 1);
    EXPECT_EQ(mGui->Mouse().GetOverName(), "TrapDropToolBar");
}

TEST_F(GuiDispatchTest, HigherLayerIsHitFirstAndAnInactiveComponentNotAtAll)
{
    Widgets(mPanel).CloseWindow("WindowHidden");
    Cog* menu = MakePanel(GuiData("Overlap.xml"), 5, "Menu");
    Widgets(menu).CloseWindow("WindowTop");
    Widgets(menu).CloseWindow("WindowHidden");
    // The menu's lower window covers the spot on the higher layer.
    Click(360, 240);
    EXPECT_EQ(GuiFixture::Heard(menu).mHeard, std::vector<std::string>{"Low"});
    EXPECT_TRUE(Heard().empty());
    Widgets(menu).SetActive(false);
    Click(360, 240);
    EXPECT_EQ(Heard(), std::vector<std::string>{"Top"});
    EXPECT_EQ(GuiFixture::Heard(menu).mHeard.size(), 1u);
}

TEST_F(GuiDispatchTest, TooltipComesFromTheWidgetUnderTheMouse)
{
    Widgets(mPanel).CloseWindow("WindowHidden");
    Find("ButtonTop")->SetToolTip("Press me");
    MoveTo(360, 240);
    EXPECT_EQ(mGui->GetLayer()->GetDescription(), "Press me");
    MoveTo(240, 160);
    EXPECT_EQ(mGui->GetLayer()->GetDescription(), "");
}

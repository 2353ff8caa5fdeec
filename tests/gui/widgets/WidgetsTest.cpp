#include <gtest/gtest.h>

#include <cmath>

#include "gui/widgets/Widgets.h"
#include "tests/gui/GuiFixture.h"
#include "tests/input/LogProbe.h"

// At any heading the whole map lies in the box, the turned map as large as fits (a corner or
// an edge touches the box), and a click on a map point's place maps back to that point.
TEST(MapImageBoxTest, TheWholeMapFitsTheBoxAtAnyHeadingAndClicksMapBack)
{
    MapImageBox map;
    map.SetGuiPosition(0.5f, -0.2f);
    map.SetGuiSize(0.4f, 0.4f);
    const GuiBox& box = map.GetBox();
    const float points[][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0.5f, 0.5f}, {0.1f, 0.9f}, {0.97f, 0.3f}};
    for (const float angle : {0.0f, 0.4f, 0.7853982f, 1.5707964f, 2.0f, 3.1415927f, 4.0f, 5.5f, 6.28f})
    {
        SCOPED_TRACE(::testing::Message() << "angle " << angle);
        map.SetAngle(angle);
        float reach = 0.0f;
        for (const auto& p : points)
        {
            float x = 0.0f, y = 0.0f;
            map.MapToGui(p[0], p[1], x, y);
            EXPECT_GE(x, box.mX - 1e-5f) << p[0] << "," << p[1];
            EXPECT_LE(x, box.mX + box.mWidth + 1e-5f) << p[0] << "," << p[1];
            EXPECT_LE(y, box.mY + 1e-5f) << p[0] << "," << p[1];
            EXPECT_GE(y, box.mY - box.mHeight - 1e-5f) << p[0] << "," << p[1];
            reach = std::fmax(reach,
                              std::fmax(std::fabs(x - (box.mX + box.mWidth * 0.5f)) / box.mWidth,
                                        std::fabs(y - (box.mY - box.mHeight * 0.5f)) / box.mHeight));
            float mx = 0.0f, mz = 0.0f;
            map.GuiToMap(x, y, mx, mz);
            EXPECT_NEAR(mx, p[0], 1e-5f);
            EXPECT_NEAR(mz, p[1], 1e-5f);
        }
        EXPECT_NEAR(reach, 0.5f, 1e-4f) << "the map fills the box as far as it fits";
    }
}

TEST(ToolBarTest, ShowHideAndRowLayoutFollowThePosition)
{
    ToolBar bar;
    bar.SetGuiPosition(-0.5f, 0.0f);
    for (float width : {0.1f, 0.2f, 0.05f})
    {
        auto item = std::make_unique<Widget>();
        item->SetGuiSize(width, 0.1f);
        bar.AddItem(std::move(item));
    }
    bar.SetGuiPosition(0.25f, -0.25f);
    const float expected[] = {0.25f, 0.25f + 0.1f + 0.01f, 0.25f + 0.1f + 0.01f + 0.2f + 0.01f};
    ASSERT_EQ(bar.Children().size(), 3u);
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_NEAR(bar.Children()[i]->GetBox().mX, expected[i], 1e-6f) << i;
        EXPECT_FLOAT_EQ(bar.Children()[i]->GetBox().mY, -0.25f);
    }
    bar.Hide();
    EXPECT_FALSE(bar.IsActive());
    EXPECT_EQ(bar.HitTestName(0.3f, -0.3f), nullptr);
    bar.Show();
    EXPECT_EQ(bar.HitTestName(0.3f, -0.3f), bar.Children()[0].get());
    bar.ClearItems();
    EXPECT_TRUE(bar.Children().empty());
}

class WidgetLooksTest : public GuiFixture
{
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(mPanel = StartGraphicsWithPanel("AllTypes.xml"));
        ASSERT_NE(Widgets(mPanel).GetRoot(), nullptr);
        MoveTo(799, 599);
    }

    Cog* mPanel = nullptr;
};

TEST_F(WidgetLooksTest, ImageBoxIndexAndNamedTextures)
{
    WidgetComp& comp = Widgets(mPanel);
    auto* image = static_cast<ImageBox*>(comp.Find("InvaderIcon"));
    ASSERT_EQ(image->Image().GetWidth(), 64u);
    const std::pair<const char*, Rect> cases[] = {
        {"0", {0, 0, 32, 32}}, {"1", {32, 0, 64, 32}}, {"3", {32, 32, 64, 64}}};
    for (const auto& [index, rect] : cases)
    {
        comp.Message("InvaderIcon", "SetIndex", index);
        EXPECT_EQ(image->TextureRect().mLeft, rect.mLeft) << index;
        EXPECT_EQ(image->TextureRect().mTop, rect.mTop) << index;
        EXPECT_EQ(image->TextureRect().mRight, rect.mRight) << index;
        EXPECT_EQ(image->TextureRect().mBottom, rect.mBottom) << index;
    }
    comp.Message("InvaderIcon", "setanimation", "talk");
    EXPECT_EQ(image->Image().GetFile(), "Textures/CheckerAlpha.dds");
    comp.Message("InvaderIcon", "SetImage", "Textures/White.bmp");
    EXPECT_EQ(image->Image().GetWidth(), 8u);
    LogProbe log;
    comp.Message("InvaderIcon", "setanimation", "dance");
    comp.Message("InvaderIcon", "setanimation", "dance");
    EXPECT_EQ(log.Written(), 1u);
    EXPECT_EQ(image->Image().GetFile(), "Textures/White.bmp");
}

TEST_F(WidgetLooksTest, BarsFillToTheirValue)
{
    WidgetComp& comp = Widgets(mPanel);
    comp.CloseWindow("Root");
    auto bar = std::make_unique<HealthBar>();
    bar->SetGuiPosition(-1.0f, 0.75f);
    bar->SetGuiSize(1.0f, 0.25f);
    bar->SetColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    HealthBar* health = bar.get();
    comp.GetRoot()->SetActive(true);
    comp.SetRoot(std::move(bar));
    // Pixels: the bar spans x 0..400, y 0..100.
    struct Case
    {
        float value;
        int x;
        int r, g;
    };
    const Case cases[] = {{1.0f, 390, 0, 255}, {0.5f, 190, 128, 128}, {0.5f, 210, 0, 0}, {0.0f, 5, 0, 0}};
    for (const Case& c : cases)
    {
        comp.SetGuiFloat("", 0.0f); // unnamed: found as the root
        health->SetGuiFloat(c.value);
        const Image image = RenderFrame();
        const uint32_t pixel = image.GetARGB(uint32_t(c.x), 50);
        EXPECT_NEAR(int((pixel >> 16) & 0xFF), c.r, 2) << c.value << " at " << c.x;
        EXPECT_NEAR(int((pixel >> 8) & 0xFF), c.g, 2) << c.value << " at " << c.x;
    }
}

TEST_F(WidgetLooksTest, MapDrawsItsIconsInOneBatch)
{
    WidgetComp& comp = Widgets(mPanel);
    auto* map = static_cast<MapImageBox*>(comp.Find("MiniMapImageBox"));
    for (int i = 0; i < 200; ++i)
        map->AddIcon(i % 4, float(i % 20) / 20.0f, float(i / 20) / 10.0f);
    RenderFrame();
    EXPECT_LE(mGui->Painter().GetDrawCount(), 20u);
    map->ClearIcons();
    EXPECT_TRUE(map->Icons().empty());
}

using WidgetAnimationTest = GuiFixture;

TEST_F(WidgetAnimationTest, KeyFrameTrackMovesTheSubtreeByCoreTimeAndStopsAtItsEnd)
{
    auto window = std::make_unique<Window>();
    window->SetName("MenuWindow");
    window->Motion().SetFile("Models/WidgetAnimations.lmf", 0);
    window->SetGuiPosition(0.2f, 0.3f);
    auto child = std::make_unique<Widget>();
    child->SetName("Inside");
    child->SetGuiPosition(0.3f, 0.2f);
    window->AddChild(std::move(child));
    Cog* cog = MakePanel("");
    WidgetComp& comp = Widgets(cog);
    comp.SetRoot(std::move(window));
    Widget* w = comp.Find("MenuWindow");

    comp.PlayWidgetAnimation("MenuWindow", "A");
    struct Step
    {
        float dt, x, childX;
        bool turned;
    };
    const Step steps[] = {
        {0.0f, -0.8f, -0.7f, true}, {0.5f, -0.3f, -0.2f, true}, {0.6f, 0.2f, 0.3f, false}, {1.0f, 0.2f, 0.3f, false}};
    for (const Step& step : steps)
    {
        w->Update(step.dt);
        EXPECT_NEAR(w->GetBox().mX, step.x, 1e-4f) << step.dt;
        EXPECT_NEAR(comp.Find("Inside")->GetBox().mX, step.childX, 1e-4f) << step.dt;
        EXPECT_FLOAT_EQ(w->GetBox().mY, 0.3f);
        if (step.turned)
            EXPECT_GT(std::fabs(w->GetBox().mRotation), 0.01f);
        else
            EXPECT_NEAR(w->GetBox().mRotation, 0.0f, 1e-5f);
    }
    // Played again: from where it started the first time.
    comp.PlayWidgetAnimation("MenuWindow", "A");
    w->Update(0.25f);
    comp.PlayWidgetAnimation("MenuWindow", "A");
    w->Update(0.0f);
    EXPECT_NEAR(w->GetBox().mX, -0.8f, 1e-4f);

    LogProbe log;
    comp.PlayWidgetAnimation("MenuWindow", "Z");
    comp.PlayWidgetAnimation("MenuWindow", "Z");
    comp.PlayWidgetAnimation("Nobody", "A");
    EXPECT_EQ(log.Written(), 2u);
    EXPECT_EQ(log.Count("Z"), 1);
    EXPECT_EQ(log.Count("Nobody"), 1);
}

TEST_F(WidgetAnimationTest, MissingAnimationFileIsOneLogLine)
{
    Widget widget;
    widget.SetName("W");
    widget.Motion().SetFile("Models/NoSuchClips.lmf", 0);
    LogProbe log;
    widget.PlayAnimation("A");
    widget.PlayAnimation("A");
    widget.Update(1.0f);
    EXPECT_EQ(log.Written(), 1u);
    EXPECT_EQ(log.Count("NoSuchClips"), 1);
    EXPECT_FLOAT_EQ(widget.GetBox().mX, 0.0f);
}

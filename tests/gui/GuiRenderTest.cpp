#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "graphics/font/FontList.h"
#include "gui/widgets/Widgets.h"
#include "tests/gui/GuiFixture.h"

#include "tests/gui/ImagePixels.h"

namespace {

void ExpectColor(const Image& image, int x, int y, Rgb want)
{
    const Rgb got = At(image, x, y);
    EXPECT_NEAR(got.r, want.r, 2) << x << "," << y;
    EXPECT_NEAR(got.g, want.g, 2) << x << "," << y;
    EXPECT_NEAR(got.b, want.b, 2) << x << "," << y;
}

// Bright pixels (the white glyphs) inside a pixel rectangle.
int BrightPixels(const Image& image, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
        {
            const Rgb c = At(image, x, y);
            if (c.g > 128 && c.b > 128)
                ++count;
        }
    return count;
}

} // namespace

class GuiRenderTest : public GuiFixture
{
protected:
    void SetUp() override
    {
        GuiFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(mPanel = StartGraphicsWithPanel("Render.xml"));
        ASSERT_GE(mGui->Fonts().GetList()->Size(), 1u);
        ASSERT_NE(Widgets(mPanel).GetRoot(), nullptr);
        // The pointer sits in the far corner, away from what the tests look at.
        MoveTo(790, 590);
    }

    void ExpectWindow(const Image& image)
    {
        ExpectColor(image, 300, 400, {0, 0, 255}); // window
        ExpectColor(image, 250, 150, {0, 255, 0}); // button
        ExpectColor(image, 555, 215, {255, 0, 0}); // text box, right of its text
        ExpectColor(image, 100, 50, {0, 0, 0});    // clear colour outside
        ExpectColor(image, 650, 300, {0, 0, 0});
        EXPECT_GT(BrightPixels(image, 400, 140, 560, 220), 20);
        EXPECT_EQ(BrightPixels(image, 240, 140, 360, 220), 0);
    }

    Cog* mPanel = nullptr;
};

TEST_F(GuiRenderTest, WindowWithButtonAndTextBoxShowsTheirColoursAndGlyphs)
{
    const Image image = RenderFrame();
    ASSERT_FALSE(image.IsEmpty());
    ExpectWindow(image);
    // One batch of quads under the text, the text, nothing after it but the pointer.
    EXPECT_LE(mGui->Painter().GetDrawCount(), 4u);
}

TEST_F(GuiRenderTest, HiddenWindowAndHiddenGuiDrawNothing)
{
    Widgets(mPanel).CloseWindow("MainWindow");
    Image image = RenderFrame();
    for (auto [x, y] : {std::pair{300, 400}, {250, 150}, {555, 215}, {450, 160}})
        ExpectColor(image, x, y, {0, 0, 0});
    Widgets(mPanel).OpenWindow("MainWindow", false);
    mGui->ToggleVisible();
    image = RenderFrame();
    ExpectColor(image, 300, 400, {0, 0, 0});
    ExpectColor(image, 793, 593, {0, 0, 0}); // no pointer either
    mGui->ToggleVisible();
    ExpectWindow(RenderFrame());
}

TEST_F(GuiRenderTest, SameAfterADeviceLoss)
{
    mGui->OnDeviceLost();
    ASSERT_TRUE(mDevice->Reset(mDesc));
    mGui->OnDeviceReset(kWidth, kHeight);
    ExpectWindow(RenderFrame());
}

TEST_F(GuiRenderTest, BackgroundsAndPointerFollowTheScriptFunctions)
{
    ASSERT_EQ(mGui->Looks().GetBackgroundCount(), 1u);
    Image image = RenderFrame();
    // The pointer's tip under the mouse.
    ExpectColor(image, 792, 596, {255, 255, 255});
    Console::Instance().ExecuteLine("ActivateBackground 0");
    EXPECT_EQ(mGui->Looks().GetBackground(), 0);
    image = RenderFrame();
    const Rgb back = At(image, 100, 50);
    EXPECT_GT(back.b, 40);
    ExpectColor(image, 300, 400, {0, 0, 255}); // widgets over it
    for (const char* line : {"ActivateBackground 3", "ActivateBackground -1"})
    {
        Console::Instance().ExecuteLine(line);
        EXPECT_EQ(mGui->Looks().GetBackground(), -1) << line;
        ExpectColor(RenderFrame(), 100, 50, {0, 0, 0});
    }
    // Only over the GUI: the pointer goes while the mouse is off every widget.
    Console::Instance().ExecuteLine("OnlyShowMouseOnGui true");
    EXPECT_TRUE(mGui->Mouse().GetOnlyShowOnGui());
    ExpectColor(RenderFrame(), 792, 596, {0, 0, 0});
    MoveTo(300, 400);
    ExpectColor(RenderFrame(), 302, 406, {255, 255, 255});
    mGui->Mouse().OnlyShowOnGui(false);
}

TEST_F(GuiRenderTest, TextWaitingInTheBatchStaysUnderALaterWidget)
{
    // A second tree on a higher layer, its window over the first one's text box.
    Cog* over = MakePanel(GuiData("Render.xml"), 1, "Over");
    Widgets(over).Find("MainWindow")->SetGuiPosition(-0.1f, 0.45f);
    const Image image = RenderFrame();
    EXPECT_EQ(BrightPixels(image, 400, 140, 560, 160), 0);
    ExpectColor(image, 540, 150, {0, 0, 255});
    // Its own text box still shows its glyphs.
    EXPECT_GT(BrightPixels(image, 560, 160, 720, 240), 20);
}

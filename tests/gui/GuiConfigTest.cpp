#include <gtest/gtest.h>

#include "tests/gui/GuiFixture.h"
#include "tests/input/LogProbe.h"

using GuiConfigTest = GuiFixture;

TEST_F(GuiConfigTest, MissingSectionsAndFilesGiveDefaults)
{
    struct Case
    {
        const char* file;
        size_t backgrounds;
        int lines;
        float pointerSize;
    };
    const Case cases[] = {
        {"Config/NoGuiConfig.xml", 0, 0, 24.0f}, {"Config/GuiConfig.xml", 1, 0, 24.0f}, {nullptr, 2, 1, 24.0f}};
    for (const Case& c : cases)
    {
        const std::string file = c.file ? c.file : GuiData("GuiConfigMissing.xml");
        SCOPED_TRACE(file);
        LogProbe log;
        GuiSystem gui;
        gui.SetConfigFile(file);
        gui.Init(nullptr, kWidth, kHeight);
        EXPECT_EQ(gui.Looks().GetBackgroundCount(), c.backgrounds);
        EXPECT_EQ(log.Count("background"), c.lines);
        EXPECT_EQ(log.Written(), uint32_t(c.lines));
        EXPECT_FLOAT_EQ(gui.Looks().GetPointerSize(), c.pointerSize);
        for (int32_t index : {-1, int32_t(c.backgrounds), 99})
        {
            gui.Looks().ActivateBackground(index);
            EXPECT_EQ(gui.Looks().GetBackground(), -1);
        }
        if (c.backgrounds > 0)
        {
            gui.Looks().ActivateBackground(0);
            EXPECT_EQ(gui.Looks().GetBackground(), 0);
        }
    }
}

TEST_F(GuiConfigTest, ScreenToClipAndGuiUnits)
{
    StartGui(nullptr);
    float x = 0.0f, y = 0.0f;
    mGui->ScreenToClip(200.0f, 450.0f, x, y);
    EXPECT_FLOAT_EQ(x, -0.5f);
    EXPECT_FLOAT_EQ(y, -0.5f);
    EXPECT_FLOAT_EQ(mGui->Units().GuiToPixelX(0.1f) - mGui->Units().GuiToPixelX(0.0f), 40.0f);
    EXPECT_FLOAT_EQ(mGui->Units().PixelToGuiY(0.0f), 0.75f);
    EXPECT_FLOAT_EQ(mGui->Units().PixelToGuiY(600.0f), -0.75f);
    const Rect r = mGui->Units().BoxToPixels(GuiBox{-0.5f, 0.5f, 1.0f, 1.0f, 0.0f});
    EXPECT_EQ(r.mLeft, 200);
    EXPECT_EQ(r.mTop, 100);
    EXPECT_EQ(r.mRight, 600);
    EXPECT_EQ(r.mBottom, 500);
}

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

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
    // The missing file's PointerSize of -5 is refused with a line of its own.
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
        EXPECT_EQ(log.Count("PointerSize \"-5\" refused"), c.file ? 0 : 1);
        EXPECT_EQ(log.Written(), uint32_t(c.lines + (c.file ? 0 : 1)));
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

// The pointer's size is read as every number in a data file is: a finite decimal number, here
// from 1 to 1023 pixels, or it is refused with the file, the line, the field and the text as
// written, and the pointer keeps its default size.
TEST_F(GuiConfigTest, PointerSizeOnlyAFiniteDecimalFrom1To1023)
{
    struct Case
    {
        const char* mText;
        float mSize;
        const char* mWhy;
    };
    const Case cases[] = {
        {"32", 32.0f, nullptr},
        {" 12.5\n", 12.5f, nullptr},
        {"1", 1.0f, nullptr},
        {"1023", 1023.0f, nullptr},
        {"12junk", 24.0f, "not a finite decimal number"},
        {"1e-40", 24.0f, "out of range: 1 to 1023"},
        {"0", 24.0f, "out of range: 1 to 1023"},
        {"1024", 24.0f, "out of range: 1 to 1023"},
        {"-5", 24.0f, "out of range: 1 to 1023"},
        {"nan", 24.0f, "not a finite decimal number"},
        {"inf", 24.0f, "not a finite decimal number"},
        {"0x20", 24.0f, "not a finite decimal number"},
        {"1e39", 24.0f, "out of range for a real"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mText);
        const std::string file = (mScratch->Path() / "Looks.xml").string();
        std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
                            << "\t<GuiConfig>\n\t\t<list name=\"Backgrounds\" size=\"0\" type=\"file\">\n\t\t</list>\n"
                            << "\t\t<real name=\"PointerSize\">" << c.mText << "</real>\n\t</GuiConfig>\n</Stream>\n";
        LogProbe log;
        GuiSystem gui;
        gui.SetConfigFile(file);
        gui.Init(nullptr, kWidth, kHeight);
        EXPECT_FLOAT_EQ(gui.Looks().GetPointerSize(), c.mSize);
        const std::vector<std::string> errors = log.Errors();
        if (!c.mWhy)
        {
            EXPECT_EQ(errors, std::vector<std::string>());
            continue;
        }
        std::string expected = file + " line 6: PointerSize \"" + c.mText + "\" refused (" + c.mWhy + "); it keeps 24";
        Console::FixSlashes(expected); // as the log writes every path
        EXPECT_EQ(errors, std::vector<std::string>{expected});
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

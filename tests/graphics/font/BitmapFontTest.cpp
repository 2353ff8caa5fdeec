#include <gtest/gtest.h>

#include <string>

#include "LOOM/math/Vector3.h"
#include "tests/graphics/font/FontFixture.h"
#include "tests/input/LogProbe.h"

namespace {
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
} // namespace

TEST_F(FontFixture, GlyphWidthsAndCells)
{
    EXPECT_EQ(mFont->GetCellWidth(), 16);
    EXPECT_EQ(mFont->GetCellHeight(), 16);
    for (char c : std::string("iW .|@~"))
        EXPECT_EQ(mFont->GetGlyphWidth(c), 8) << c;
    BitmapFont proportional(mDevice.get());
    ASSERT_TRUE(proportional.Load(GameData("Fonts/Default.dds"), GameData("Fonts/Default.dat")));
    EXPECT_GT(proportional.GetGlyphWidth('W'), proportional.GetGlyphWidth('i'));
    // Signed bytes: control codes and the high half all use cell 0.
    EXPECT_EQ(BitmapFont::GlyphIndex('\x01'), 0u);
    EXPECT_EQ(BitmapFont::GlyphIndex(static_cast<char>(200)), 0u);
    EXPECT_EQ(BitmapFont::GlyphIndex('~'), 94u);
    EXPECT_FLOAT_EQ(mFont->GetTextScale(), 240.0f / 600.0f);
}

TEST_F(FontFixture, MeasurementsFollowTheWidths)
{
    EXPECT_FLOAT_EQ(mFont->GetLineWidth("ab\tc\nlonger", 2.0f, 0), 48.0f);
    EXPECT_FLOAT_EQ(mFont->GetLineWidth("ab\nlonger", 1.0f, 3), 48.0f);
    EXPECT_FLOAT_EQ(mFont->GetWordWidth("word rest", 1.0f), 32.0f);
    EXPECT_FLOAT_EQ(mFont->GetTextHeight("a\nb\nc", 1.0f), 16.0f * 0.8f * 3.0f);
    const Rect r = mFont->MeasureRect("Hello", 10, 20, 1.5f);
    EXPECT_EQ(r.mLeft, 10);
    EXPECT_EQ(r.mRight, 10 + 5 * 12);
    EXPECT_EQ(r.mBottom, 20 + 24);
}

TEST_F(FontFixture, HelloLandsInsideItsMeasuredRect)
{
    mDevice->Clear(ClearTarget, kBlack, 1.0f, 0);
    mFont->DrawTextScreen("Hello", 40.0f, 30.0f, kWhite, 1.0f, true, true, 0.0f);
    const Rect lit = LitBounds(Frame());
    const Rect measured = mFont->MeasureRect("Hello", 40, 30, 1.0f);
    ASSERT_GT(lit.mRight, lit.mLeft);
    EXPECT_GE(lit.mLeft, measured.mLeft - 1);
    EXPECT_GE(lit.mTop, measured.mTop - 1);
    EXPECT_LE(lit.mRight, measured.mRight + 1);
    EXPECT_LE(lit.mBottom, measured.mBottom + 1);
    // The ink spans most of the advance: 'H' starts near the pen and 'o' ends near the last advance.
    EXPECT_LE(lit.mLeft, measured.mLeft + 2);
    EXPECT_GE(lit.mRight, measured.mRight - 2);
}

TEST_F(FontFixture, CentredTextSitsAroundThePoint)
{
    mDevice->Clear(ClearTarget, kBlack, 1.0f, 0);
    mFont->DrawTextScreen("MMMM", 160.0f, 120.0f, kWhite, 1.0f, false, true, 0.0f);
    const Rect lit = LitBounds(Frame());
    EXPECT_NEAR((lit.mLeft + lit.mRight) * 0.5f, 160.0f, 2.0f);
    EXPECT_GT(lit.mBottom, 120);
    EXPECT_LT(lit.mTop, 120);
}

TEST_F(FontFixture, WrapBreaksBeforeTheWordThatWouldOverflow)
{
    mDevice->Clear(ClearTarget, kBlack, 1.0f, 0);
    // 8 px per glyph: "aaa bbb" with a 40 px wrap puts "bbb" on a second line at x = 10.
    mFont->DrawTextScreen("aaa bbb", 10.0f, 10.0f, kWhite, 1.0f, true, true, 40.0f);
    const Image frame = Frame();
    const Rect all = LitBounds(frame);
    EXPECT_GT(all.mBottom, 10 + 16);
    EXPECT_LE(all.mRight, 10 + 32);
    // A word longer than the width breaks before each of its characters: one column.
    mDevice->Clear(ClearTarget, kBlack, 1.0f, 0);
    mFont->DrawTextScreen("XXXXXX", 100.0f, 10.0f, kWhite, 1.0f, true, true, 20.0f);
    const Rect column = LitBounds(Frame());
    EXPECT_LE(column.mRight - column.mLeft, 17);
    EXPECT_GE(column.mBottom - column.mTop, int32_t(4 * 16 * 0.8f));
}

TEST_F(FontFixture, TypewriterAtTimeZeroHidesEverything)
{
    mDevice->Clear(ClearTarget, kBlack, 1.0f, 0);
    mFont->SetTextEffect(5, 0.0f, Vector3());
    mFont->DrawTextScreen("Hidden", 40.0f, 30.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(LitBounds(Frame()).mRight, -1);
    mFont->SetTextEffect(5, 1.0f, Vector3());
    mFont->DrawTextScreen("Shown", 40.0f, 30.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_GT(LitBounds(Frame()).mRight, 40);
    mFont->ClearTextEffect();
}

TEST_F(FontFixture, GlyphEffects)
{
    struct Case
    {
        int32_t mode;
        float time;
        float glyph;
        float dy;
        float size;
    };
    const Case cases[] = {{1, 0.0f, 0.0f, 4.0f, 1.0f}, {2, 0.0f, 0.0f, 4.0f, 1.0f}, {4, 1.0f, 2.0f, 0.0f, 1.0f},
                          {5, 0.0f, 0.0f, 0.0f, 0.0f}, {5, 0.1f, 1.0f, 0.0f, 1.0f}, {5, 0.01f, 9.0f, 0.0f, 0.0f},
                          {0, 3.0f, 1.0f, 0.0f, 1.0f}};
    for (const Case& c : cases)
    {
        float x = 5.0f, y = 10.0f, size = -1.0f;
        BitmapFont::GlyphEffect(x, y, c.glyph, c.time, c.mode, 10.0f, size);
        EXPECT_FLOAT_EQ(x, 5.0f) << c.mode;
        EXPECT_NEAR(y - 10.0f, c.dy, 1e-5f) << c.mode;
        EXPECT_EQ(size, c.size) << c.mode << " " << c.time;
    }
    float x = 0.0f, y = 0.0f, size = 0.0f;
    BitmapFont::GlyphEffect(x, y, 0.0f, 0.0f, 3, 1.0f, size);
    EXPECT_LE(std::abs(y), 2.0f);
}

TEST_F(FontFixture, LimitsAndBatches)
{
    DeviceCounters& counters = mDevice->Counters();
    const std::string tooLong(683, 'x');
    const std::string longest(682, 'x');
    uint64_t draws = counters.mDraws;
    mFont->DrawTextScreen(tooLong.c_str(), 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(counters.mDraws, draws);
    mFont->DrawTextScreen(longest.c_str(), 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(counters.mDraws, draws + 1);

    // A caller's batch stays open across calls and is flushed first when the next text would overflow it.
    draws = counters.mDraws;
    mFont->Begin();
    mFont->DrawTextScreen(std::string(600, 'x').c_str(), 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    mFont->DrawTextScreen("short", 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_TRUE(mFont->IsBatchOpen());
    EXPECT_EQ(mFont->GetBatchGlyphs(), 605u);
    EXPECT_EQ(counters.mDraws, draws);
    mFont->DrawTextScreen(longest.c_str(), 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(counters.mDraws, draws + 1);
    EXPECT_EQ(mFont->GetBatchGlyphs(), 682u);
    mFont->Flush();
    EXPECT_EQ(counters.mDraws, draws + 2);

    // World text past the buffer's 85 glyphs is drawn in batches.
    draws = counters.mDraws;
    const std::string sign(100, 'y');
    mFont->DrawText3D(sign.c_str(), 0.0f, 0.0f, kWhite, 1.0f, false);
    EXPECT_EQ(counters.mDraws, draws + 2);
}

TEST_F(FontFixture, WorldTextFacesTheCamera)
{
    mDevice->Clear(ClearTarget | ClearZBuffer, kBlack, 1.0f, 0);
    mDevice->SetTransform(TransformKind::World, Matrix4());
    mDevice->SetTransform(TransformKind::View, Matrix4::Translation({0.0f, 0.0f, 10.0f}));
    mDevice->SetTransform(TransformKind::Projection, Matrix4::PerspectiveFovLH(0.8f, 320.0f / 240.0f, 1.0f, 100.0f));
    mFont->DrawText3D("HUD", 0.0f, 0.0f, kWhite, 2.0f, false);
    const Rect lit = LitBounds(Frame());
    ASSERT_GT(lit.mRight, lit.mLeft);
    EXPECT_NEAR((lit.mLeft + lit.mRight) * 0.5f, 160.0f, 6.0f);
    EXPECT_NEAR((lit.mTop + lit.mBottom) * 0.5f, 120.0f, 8.0f);
}

TEST(BitmapFontFiles, MissingFilesLogAndKeepWorking)
{
    std::unique_ptr<GraphicsDevice> device = GraphicsDevice::CreateNull(DeviceDesc());
    BitmapFont font(device.get());
    LogProbe log;
    EXPECT_FALSE(font.Load("NoSuchFont.dds", "NoSuchFont.dat"));
    EXPECT_EQ(log.Count("Loading Bitmap Font: NoSuchFont.dds"), 1);
    EXPECT_EQ(log.Count("BitmapFont: NoSuchFont.dds"), 1);
    EXPECT_EQ(log.Count("NoSuchFont.dat is missing or short"), 1);
    const uint64_t draws = device->Counters().mDraws;
    font.DrawTextScreen("nothing", 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(device->Counters().mDraws, draws);

    // A texture with a short width file: glyphs advance by the cell.
    LogProbe shortLog;
    ASSERT_TRUE(font.Load(GameData("Fonts/Console.dds"), GameData("Fonts/NoSuch.dat")));
    const uint8_t half[100] = {};
    font.LoadWidths(half, sizeof(half), "half.dat");
    EXPECT_EQ(shortLog.Count("half.dat is missing or short"), 1);
    EXPECT_EQ(font.GetGlyphWidth('A'), 16);
}

TEST_F(FontFixture, DrawingLeavesTheDeviceStatesAsItFoundThem)
{
    RenderStates scene;
    scene.mDepthEnable = true;
    scene.mBlendEnable = false;
    scene.mCull = CullMode::CW;
    mDevice->States() = scene;
    mFont->DrawTextScreen("states", 0.0f, 0.0f, kWhite, 1.0f, true, true, 0.0f);
    EXPECT_EQ(mDevice->States(), scene);
    mFont->DrawText3D("states", 0.0f, 0.0f, kWhite, 1.0f, true);
    EXPECT_EQ(mDevice->States(), scene);
}

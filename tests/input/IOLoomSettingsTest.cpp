#include <cmath>

#include "InputCogFixture.h"
#include "LogProbe.h"
#include "input/IOConfig.h"

using namespace InputEvents;

namespace {

SDL_Event RelativeMotion(int dx, int dy, int x = 5, int y = 5)
{
    SDL_Event event = Motion(x, y);
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    return event;
}

} // namespace

TEST(IOConfigFile, BadFilesGiveDefaultsAndOneLine)
{
    struct Case
    {
        const char* mFolder;
        float mSensitivity;
        bool mRelative;
        int mLines;
    };
    const Case cases[] = {
        {"Sensitive", 2.5f, true, 0},        {"Missing", 1.0f, false, 1},
        {"ZeroSensitivity", 1.0f, false, 1}, {"NegativeSensitivity", 1.0f, false, 1},
        {"Broken", 1.0f, false, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mFolder);
        LogProbe probe;
        const IOConfig config = LoadIOConfig(InputData(c.mFolder) + "/IOConfig.xml");
        EXPECT_EQ(config.mMouseSensitivity, c.mSensitivity);
        EXPECT_EQ(config.mRelativeMouse, c.mRelative);
        EXPECT_EQ(probe.Written(), uint32_t(c.mLines));
        if (c.mLines)
        {
            EXPECT_EQ(probe.Count("IOConfig.xml"), 1);
        }
    }
}

class IOLoomSettings : public InputCogFixture
{
};

TEST_F(IOLoomSettings, InitReadsTheConfigFolder)
{
    EXPECT_EQ(mLoom->GetMouseSensitivity(), 1.0f);
    Console::Instance().SetConfigFolder(InputData("Sensitive/"));
    mLoom->Shutdown();
    mLoom->Init();
    EXPECT_EQ(mLoom->GetMouseSensitivity(), 2.5f);
    EXPECT_TRUE(mLoom->IsRelativeMouse());
    mLoom->SetRelativeMouse(false);
}

TEST_F(IOLoomSettings, RelativeModeMovesOurCursorBySensitivityAndClamps)
{
    Feed(Motion(100, 100));
    mLoom->Update();
    mLoom->SetMouseSensitivity(2.0f);
    mLoom->SetRelativeMouse(true);

    struct Step
    {
        int mDx;
        int mDy;
        int mX;
        int mY;
    };
    // The absolute position SDL reports (5, 5) is never used.
    const Step steps[] = {
        {10, -5, 120, 90},
        {-100, 0, 0, 90},
        {1000, 1000, 800, 600},
        {-3, -3, 794, 594},
    };
    for (const Step& step : steps)
    {
        Feed(RelativeMotion(step.mDx, step.mDy));
        Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5));
        Feed(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5));
        mLoom->Update();
        EXPECT_EQ(mLoom->GetMouseX(), step.mX) << step.mDx;
        EXPECT_EQ(mLoom->GetMouseY(), step.mY) << step.mDy;
    }

    // Invalid sensitivities are refused.
    for (float bad : {0.0f, -1.0f, NAN, INFINITY})
        mLoom->SetMouseSensitivity(bad);
    EXPECT_EQ(mLoom->GetMouseSensitivity(), 2.0f);

    mLoom->SetRelativeMouse(false);
    Feed(Motion(33, 44));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 33);
    EXPECT_EQ(mLoom->GetMouseY(), 44);
}

TEST_F(IOLoomSettings, KeyReleasedOnTheFrameItWentUp)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_E));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyReleased(SDL_SCANCODE_E));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_E));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyReleased(SDL_SCANCODE_E));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyReleased(SDL_SCANCODE_E));
    EXPECT_FALSE(mLoom->IsKeyReleased(-1));
    EXPECT_FALSE(mLoom->IsKeyReleased(IOLoom::kKeyCount));
    EXPECT_EQ(mLoom->GetMouseButtonState(-1), 0);
    EXPECT_EQ(mLoom->GetMouseButtonState(IOLoom::kMouseButtons), 0);
}

TEST_F(IOLoomSettings, TextQueueKeepsOrderDropsControlBytesAndIsBounded)
{
    Feed(Text("a\tb"));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, 1));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetTextQueue(), "ab\b\b\r\x1b");
    mLoom->Update();
    EXPECT_EQ(mLoom->GetTextQueue(), "");

    const SDL_Event piece = Text("0123456789012345678901234567890");
    for (int i = 0; i < 1000; ++i)
        Feed(piece);
    mLoom->Update();
    const std::string& queue = mLoom->GetTextQueue();
    EXPECT_LE(queue.size(), 4096u);
    EXPECT_EQ(queue.size() % 31, 0u) << "only whole pieces are kept";
}

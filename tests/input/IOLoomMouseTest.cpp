#include "IOLoomFixture.h"

using namespace InputEvents;

class IOLoomMouse : public IOLoomFixture
{
protected:
    void ExpectButton(int button, bool triggered, bool pressed, bool released)
    {
        EXPECT_EQ(mLoom->MouseTriggered(button), triggered) << button;
        EXPECT_EQ(mLoom->MousePressed(button), pressed) << button;
        EXPECT_EQ(mLoom->MouseReleased(button), released) << button;
    }
};

TEST_F(IOLoomMouse, ButtonTriggeredOnlyOnFrameOfPress)
{
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    EXPECT_FALSE(mLoom->MousePressed(0)) << "the state changes only at the update";
    mLoom->Update();
    ExpectButton(0, true, true, false);

    mLoom->Update();
    ExpectButton(0, false, true, false); // held

    Feed(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT));
    mLoom->Update();
    ExpectButton(0, false, false, true);

    mLoom->Update();
    EXPECT_FALSE(mLoom->MouseReleased(0)) << "released only on the frame of release";
}

TEST_F(IOLoomMouse, ClickInsideOneFrameIsNotLost)
{
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT));
    Feed(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT));
    mLoom->Update();
    ExpectButton(1, true, true, true);

    mLoom->Update();
    ExpectButton(1, false, false, false);
}

TEST_F(IOLoomMouse, ButtonsMapLeftRightMiddleToZeroOneTwo)
{
    const struct
    {
        Uint8 sdlButton;
        int index;
    } cases[] = {{SDL_BUTTON_LEFT, 0}, {SDL_BUTTON_RIGHT, 1}, {SDL_BUTTON_MIDDLE, 2}};
    for (const auto& c : cases)
    {
        Feed(Button(SDL_MOUSEBUTTONDOWN, c.sdlButton));
        mLoom->Update();
        for (int i = 0; i < IOLoom::kMouseButtons; ++i)
            EXPECT_EQ(mLoom->MouseTriggered(i), i == c.index) << "SDL button " << int(c.sdlButton);
        Feed(Button(SDL_MOUSEBUTTONUP, c.sdlButton));
        mLoom->Update();
    }
}

TEST_F(IOLoomMouse, OtherButtonsAndIndicesReadAsUp)
{
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1));
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    mLoom->Update();
    for (int index : {-1, 3, 4, 1000})
    {
        EXPECT_FALSE(mLoom->MousePressed(index)) << index;
        EXPECT_FALSE(mLoom->MouseTriggered(index)) << index;
        EXPECT_FALSE(mLoom->MouseReleased(index)) << index;
    }
    EXPECT_FALSE(mLoom->MousePressed(1));
    EXPECT_FALSE(mLoom->MousePressed(2));
}

TEST_F(IOLoomMouse, SecondDownWithoutUpDoesNotTriggerAgain)
{
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    mLoom->Update();
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    mLoom->Update();
    EXPECT_FALSE(mLoom->MouseTriggered(0));
    EXPECT_TRUE(mLoom->MousePressed(0));
}

TEST_F(IOLoomMouse, UpWithoutDownIsNoRelease)
{
    Feed(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT));
    mLoom->Update();
    EXPECT_FALSE(mLoom->MouseReleased(0));
    EXPECT_FALSE(mLoom->MousePressed(0));
}

TEST_F(IOLoomMouse, WheelSummedOverFrameAndResetNext)
{
    Feed(Wheel(1));
    Feed(Wheel(1));
    Feed(Wheel(-1));
    EXPECT_EQ(mLoom->GetMouseWheel(), 0);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseWheel(), IOLoom::kWheelNotch);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseWheel(), 0);

    Feed(Wheel(-2));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseWheel(), -2 * IOLoom::kWheelNotch);
}

TEST_F(IOLoomMouse, FlippedWheelTurnsTheOtherWay)
{
    Feed(Wheel(1, SDL_MOUSEWHEEL_FLIPPED));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseWheel(), -IOLoom::kWheelNotch);
}

TEST_F(IOLoomMouse, FractionalTurnsAddUp)
{
    Feed(Wheel(0.5f));
    Feed(Wheel(0.25f));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseWheel(), 90);
}

TEST_F(IOLoomMouse, LastMotionOfTheFrameCounts)
{
    Feed(Motion(10, 20));
    Feed(Motion(30, 40));
    Feed(Motion(55, 66));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 55);
    EXPECT_EQ(mLoom->GetMouseY(), 66);
}

TEST_F(IOLoomMouse, PreviousPositionIsLastFramesPosition)
{
    Feed(Motion(100, 200));
    mLoom->Update();
    Feed(Motion(150, 250));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetPrevMouseX(), 100);
    EXPECT_EQ(mLoom->GetPrevMouseY(), 200);
    EXPECT_EQ(mLoom->GetMouseX(), 150);
    EXPECT_EQ(mLoom->GetMouseY(), 250);

    // No motion: the position stays and the previous catches up.
    mLoom->Update();
    EXPECT_EQ(mLoom->GetPrevMouseX(), 150);
    EXPECT_EQ(mLoom->GetMouseX(), 150);
}

TEST_F(IOLoomMouse, ButtonEventsMoveThePointerToo)
{
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 321, 123));
    mLoom->Update();
    int x = -1;
    int y = -1;
    mLoom->GetMousePosition(x, y);
    EXPECT_EQ(x, 321);
    EXPECT_EQ(y, 123);
}

TEST_F(IOLoomMouse, PositionClampedToScreen)
{
    const struct
    {
        int x, y, expectX, expectY;
    } cases[] = {
        {-5, 700, 0, 600}, {900, -1, 800, 0}, {800, 600, 800, 600},
        {0, 0, 0, 0},      {799, 1, 799, 1},  {-2147483647, 2147483647, 0, 600},
    };
    for (const auto& c : cases)
    {
        Feed(Motion(c.x, c.y));
        mLoom->Update();
        EXPECT_EQ(mLoom->GetMouseX(), c.expectX) << c.x << "," << c.y;
        EXPECT_EQ(mLoom->GetMouseY(), c.expectY) << c.x << "," << c.y;
    }
}

TEST_F(IOLoomMouse, NewScreenSizeClampsAtTheNextUpdate)
{
    Feed(Motion(700, 500));
    mLoom->Update();
    mLoom->SetScreenSize(640, 480);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 640);
    EXPECT_EQ(mLoom->GetMouseY(), 480);
    // Growing the screen again gives back where the pointer really is.
    mLoom->SetScreenSize(1024, 768);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 700);
    EXPECT_EQ(mLoom->GetMouseY(), 500);
}

TEST_F(IOLoomMouse, NoScreenSizeKeepsPointerAtOrigin)
{
    mLoom->SetScreenSize(-10, 0);
    EXPECT_EQ(mLoom->GetScreenWidth(), 0);
    Feed(Motion(50, 60));
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 0);
    EXPECT_EQ(mLoom->GetMouseY(), 0);
}

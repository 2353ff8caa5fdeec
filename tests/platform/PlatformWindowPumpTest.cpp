#include "WindowFixture.h"

using PlatformWindowPump = WindowFixture;

TEST_F(PlatformWindowPump, HandlesOneWaitingEventPerCall)
{
    ASSERT_EQ(PushText("a"), 1);
    ASSERT_EQ(PushKey(SDLK_F11), 1);

    EXPECT_TRUE(mWindow->PumpMessages());
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{97}));
    EXPECT_EQ(QueuedEvents(), 1);

    EXPECT_TRUE(mWindow->PumpMessages());
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{97, 211}));

    EXPECT_TRUE(mWindow->PumpMessages());
    EXPECT_EQ(mListener.mCodes.size(), 2u);
}

TEST_F(PlatformWindowPump, QuitEventEndsAlive)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_FALSE(mWindow->PumpMessages());
    EXPECT_FALSE(mWindow->IsAlive());
}

TEST_F(PlatformWindowPump, WindowCloseEndsAliveButKeepsWindow)
{
    ASSERT_EQ(PushWindowEvent(SDL_WINDOWEVENT_CLOSE, mWindow->GetMainWindow()), 1);
    EXPECT_FALSE(mWindow->PumpMessages());
    EXPECT_FALSE(mWindow->PumpMessages());
    EXPECT_NE(PlatformWindow::GetHandle(), nullptr);
    EXPECT_EQ(SDL_GetWindowFromID(SDL_GetWindowID(mWindow->GetMainWindow())), mWindow->GetMainWindow());
}

TEST_F(PlatformWindowPump, EmptyQueueKeepsAlive)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(mWindow->PumpMessages());
    EXPECT_TRUE(mListener.mCodes.empty());
}

TEST_F(PlatformWindowPump, MouseMotionIsNeverQueued)
{
    for (int i = 0; i < 500; ++i)
    {
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.x = i;
        motion.motion.xrel = 1;
        EXPECT_EQ(SDL_PushEvent(&motion), 0);
    }
    EXPECT_EQ(QueuedEvents(), 0);

    // A key pressed after a burst of motion is handled by the very next pump.
    ASSERT_EQ(PushKey(SDLK_F12), 1);
    EXPECT_TRUE(mWindow->PumpMessages());
    EXPECT_EQ(mListener.mCodes, (std::vector<int>{212}));
}

TEST_F(PlatformWindowPump, UnhandledEventsAreNotQueued)
{
    EXPECT_EQ(PushKey(SDLK_F11, SDL_KEYUP), 0);
    EXPECT_EQ(PushKey(SDLK_HOME), 0);
    EXPECT_EQ(PushKey(SDLK_a), 0);
    EXPECT_EQ(PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE), 0);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 1;
    EXPECT_EQ(SDL_PushEvent(&wheel), 0);
    EXPECT_EQ(PushWindowEvent(SDL_WINDOWEVENT_MOVED, mWindow->GetMainWindow()), 0);
    EXPECT_EQ(QueuedEvents(), 0);
}

TEST_F(PlatformWindowPump, MouseButtonsFollowPressAndRelease)
{
    EXPECT_FALSE(mWindow->IsMouseButtonDown(0));
    EXPECT_FALSE(mWindow->IsMouseButtonDown(1));

    const struct
    {
        Uint32 type;
        Uint8 button;
        bool left, right; // down after the event
    } steps[] = {
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, true, false},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, true, true},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, false, true},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, false, false},
    };
    for (const auto& step : steps)
    {
        ASSERT_EQ(PushButton(step.type, step.button), 1);
        mWindow->PumpMessages();
        EXPECT_EQ(mWindow->IsMouseButtonDown(0), step.left);
        EXPECT_EQ(mWindow->IsMouseButtonDown(1), step.right);
    }
}

TEST_F(PlatformWindowPump, MouseButtonIndexOutsideRangeReadsUp)
{
    ASSERT_EQ(PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), 1);
    ASSERT_EQ(PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), 1);
    mWindow->PumpMessages();
    mWindow->PumpMessages();
    EXPECT_FALSE(mWindow->IsMouseButtonDown(-1));
    EXPECT_FALSE(mWindow->IsMouseButtonDown(2));
    EXPECT_FALSE(mWindow->IsMouseButtonDown(1000));
}

#include <gtest/gtest.h>

#include <memory>

#include "InputEvents.h"
#include "LOOM/console/Console.h"
#include "input/IOLoom.h"
#include "tests/LOOM/support/LoomTestSupport.h"
#include "tests/platform/WindowFixture.h"

using namespace InputEvents;

// Events reach the loom through the real window, which queues none of the motion, wheel and key
// releases and takes at most one event per frame off its queue.
class IOLoomWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTestWindow(mWindow));
        mLoom.reset(IOLoom::Create());
        mLoom->Init();
        mLoom->SetScreenSize(800, 600);
    }

    void TearDown() override
    {
        mLoom.reset();
        PlatformWindow::Destroy();
    }

    static void Push(SDL_Event event) { SDL_PushEvent(&event); }

    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<IOLoom> mLoom;
};

TEST_F(IOLoomWindow, EverythingInsideOneFrameArrives)
{
    Push(Motion(10, 10));
    Push(Motion(400, 300));
    Push(Wheel(1));
    Push(Wheel(2));
    Push(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 400, 300));
    Push(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 400, 300));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_PAGEUP));
    Push(Key(SDL_KEYUP, SDL_SCANCODE_PAGEUP));
    mWindow->PumpMessages();
    mLoom->Update();

    EXPECT_EQ(mLoom->GetMouseX(), 400);
    EXPECT_EQ(mLoom->GetMouseY(), 300);
    EXPECT_EQ(mLoom->GetMouseWheel(), 3 * IOLoom::kWheelNotch);
    EXPECT_TRUE(mLoom->MouseTriggered(0));
    EXPECT_TRUE(mLoom->MouseReleased(0));
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("PageUp"));
}

// The frame is stretched over the window: a pointer in a window the window manager resized (or
// a full screen) lands on the pixel of the frame drawn under it, and clicks land where it points.
// The window's outermost pixels are the frame's, stretched larger or smaller.
TEST_F(IOLoomWindow, ThePointerIsScaledFromTheWindowsSizeToTheScreens)
{
    SDL_Window* window = mWindow->GetMainWindow();
    ASSERT_NE(window, nullptr);
    const Uint32 id = SDL_GetWindowID(window);
    const struct
    {
        int windowWidth, windowHeight, x, y, expectX, expectY;
    } cases[] = {
        {800, 600, 400, 158, 400, 158}, {1024, 768, 512, 202, 400, 158}, {1024, 768, 1023, 767, 799, 599},
        {400, 300, 200, 79, 401, 158},  {400, 300, 399, 299, 799, 599},  {400, 300, 0, 0, 0, 0},
        {801, 601, 800, 600, 799, 599}, {1280, 600, 640, 300, 400, 300}, {1024, 768, 2000, -5, 800, 0},
    };
    for (const auto& c : cases)
    {
        SDL_SetWindowSize(window, c.windowWidth, c.windowHeight);
        int width = 0, height = 0;
        SDL_GetWindowSize(window, &width, &height);
        ASSERT_EQ(width, c.windowWidth);
        ASSERT_EQ(height, c.windowHeight);
        SDL_Event motion = Motion(c.x, c.y);
        motion.motion.windowID = id;
        mLoom->HandleEvent(motion);
        mLoom->Update();
        EXPECT_EQ(mLoom->GetMouseX(), c.expectX) << c.windowWidth << "x" << c.windowHeight << " motion";
        EXPECT_EQ(mLoom->GetMouseY(), c.expectY) << c.windowWidth << "x" << c.windowHeight << " motion";
        SDL_Event press = Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, c.x, c.y);
        press.button.windowID = id;
        mLoom->HandleEvent(Motion(0, 0));
        mLoom->HandleEvent(press);
        mLoom->Update();
        EXPECT_TRUE(mLoom->MouseTriggered(0));
        EXPECT_EQ(mLoom->GetMouseX(), c.expectX) << c.windowWidth << "x" << c.windowHeight << " press";
        EXPECT_EQ(mLoom->GetMouseY(), c.expectY) << c.windowWidth << "x" << c.windowHeight << " press";
        press.type = SDL_MOUSEBUTTONUP;
        press.button.state = SDL_RELEASED;
        mLoom->HandleEvent(press);
    }
    // Resized again with the pointer still: the same window pixel is now elsewhere on the frame.
    SDL_SetWindowSize(window, 800, 600);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 800);
    EXPECT_EQ(mLoom->GetMouseY(), 0);
    SDL_SetWindowSize(window, 1600, 1200);
    SDL_Event motion = Motion(800, 600);
    motion.motion.windowID = id;
    mLoom->HandleEvent(motion);
    mLoom->Update();
    SDL_SetWindowSize(window, 800, 600);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 800) << "the pointer stays on the window's pixel";
    EXPECT_EQ(mLoom->GetMouseY(), 600);

    // Relative, as in a full screen: the cursor starts where the pointer was on the frame, and a
    // sweep across the window is one across the screen.
    SDL_SetWindowSize(window, 1600, 1200);
    mLoom->HandleEvent(motion);
    mLoom->SetRelativeMouse(true);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 400);
    EXPECT_EQ(mLoom->GetMouseY(), 300);
    SDL_Event sweep = Motion(5, 5);
    sweep.motion.windowID = id;
    sweep.motion.xrel = 100;
    sweep.motion.yrel = -40;
    mLoom->HandleEvent(sweep);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 450);
    EXPECT_EQ(mLoom->GetMouseY(), 280);
    mLoom->SetRelativeMouse(false);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseX(), 450) << "back from relative, the cursor stays until the pointer moves";
    EXPECT_EQ(mLoom->GetMouseY(), 280);
}

TEST_F(IOLoomWindow, ShutDownLoomSeesNothing)
{
    mLoom->Shutdown();
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    Push(Motion(50, 50));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyPressedChar('W'));
    EXPECT_EQ(mLoom->GetMouseX(), 0);

    mLoom->Init();
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("W")) << "Init after Shutdown listens again";
}

TEST_F(IOLoomWindow, DeletedLoomStopsListening)
{
    mLoom.reset();
    EXPECT_EQ(IOLoom::Instance(), nullptr);
    // Would reach freed memory if the window still called the deleted loom.
    Push(Motion(20, 20));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_A));
    mWindow->PumpMessages();
}

TEST(IOLoomLifetime, CreateStoresTheInstanceAndDeleteClearsIt)
{
    ExpectInstanceFromCreateToDelete<IOLoom>("IO Loom", "IOLoom", [](IOLoom& loom) {
        loom.RegisterTypes();
        loom.Init();
        loom.Init();
        loom.Update();
        loom.Unload();
    });
}

TEST_F(IOLoomWindow, RelativeMouseModeSwitchesOrSaysWhyNot)
{
    const uint32_t before = Console::Instance().GetEntryCounter();
    mLoom->SetRelativeMouse(true);
    const bool logged = Console::Instance().GetEntryCounter() != before;
    EXPECT_TRUE(SDL_GetRelativeMouseMode() == SDL_TRUE || logged);
    mLoom->SetRelativeMouse(false);
    EXPECT_EQ(SDL_GetRelativeMouseMode(), SDL_FALSE);
}

TEST_F(IOLoomWindow, TypedTextAndEditingKeysArriveInOrder)
{
    Push(Text("ab"));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE));
    Push(Text("\xC3\xA9"));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN));
    Push(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 10));
    mWindow->PumpMessages();
    mLoom->Update();
    EXPECT_EQ(mLoom->GetTextQueue(), "ab\b\xC3\xA9\r");
    EXPECT_EQ(mLoom->GetMouseButtonState(1), 1);
    mLoom->Update();
    EXPECT_EQ(mLoom->GetMouseButtonState(1), 2);
}

// Typed as a player types, through the window: while the console is open, keys go into its line
// and nowhere else, right after opening it and after each command; closing and opening the
// console types nothing into the line.
TEST_F(IOLoomWindow, KeysTypedIntoTheConsoleReachNothingElse)
{
    Console& console = Console::Instance();
    mWindow->AddListener(&console);
    auto frame = [this](std::initializer_list<SDL_Event> events) {
        for (const SDL_Event& event : events)
            Push(event);
        for (size_t i = 0; i < events.size(); ++i)
            mWindow->PumpMessages();
        mLoom->Update();
    };
    frame({Text("`")});
    ASSERT_TRUE(console.GetShowConsole());
    ASSERT_TRUE(console.GetInputActive()) << "the line is open as soon as the console is";
    frame({Key(SDL_KEYDOWN, SDL_SCANCODE_W), Text("w")});
    EXPECT_FALSE(mLoom->IsKeyPressedByName("W")) << "the camera would move";
    EXPECT_EQ(mLoom->GetTextQueue(), "");
    frame({});
    EXPECT_FALSE(mLoom->IsKeyPressedByName("W")) << "held while typing";
    frame({Key(SDL_KEYUP, SDL_SCANCODE_W), Text("`"), Text("`"), Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE)});
    EXPECT_TRUE(console.GetShowConsole());
    EXPECT_EQ(console.InputLine().Text(), "");
    frame({Key(SDL_KEYUP, SDL_SCANCODE_BACKSPACE), Text("Mes typed"), Key(SDL_KEYDOWN, SDL_SCANCODE_RETURN)});
    EXPECT_TRUE(console.GetInputActive()) << "the open console keeps its line";
    EXPECT_EQ(console.GetEntries().FromNewest(0).mText, "typed");
    EXPECT_EQ(mLoom->GetTextQueue(), "");

    // After a command the keys are still the console's while it is open.
    frame({Key(SDL_KEYUP, SDL_SCANCODE_RETURN), Key(SDL_KEYDOWN, SDL_SCANCODE_1), Text("1")});
    EXPECT_FALSE(mLoom->IsKeyTriggered(SDL_SCANCODE_1)) << "a trap would be chosen";
    EXPECT_EQ(mLoom->GetTextQueue(), "");
    frame({Key(SDL_KEYUP, SDL_SCANCODE_1), Key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE), Text("`")});
    EXPECT_FALSE(console.GetShowConsole());
    EXPECT_EQ(console.InputLine().Text(), "");

    // Closed: keys reach the game again.
    frame({Key(SDL_KEYUP, SDL_SCANCODE_BACKSPACE), Key(SDL_KEYDOWN, SDL_SCANCODE_W), Text("w")});
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("W"));
    EXPECT_EQ(mLoom->GetTextQueue(), "w");
    frame({Key(SDL_KEYUP, SDL_SCANCODE_W)});
    mWindow->RemoveListener(&console);
    EXPECT_FALSE(console.TakesKeys());
}

#include "IOLoomFixture.h"
#include "LogProbe.h"

using namespace InputEvents;

class IOLoomKeys : public IOLoomFixture
{
};

TEST_F(IOLoomKeys, KeyTriggeredOnlyOnFrameOfPress)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("Esc"));
    EXPECT_TRUE(mLoom->IsKeyPressedByName("Esc"));

    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyTriggeredByName("Esc"));
    EXPECT_TRUE(mLoom->IsKeyPressedByName("Esc"));

    Feed(Key(SDL_KEYUP, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyTriggeredByName("Esc"));
    EXPECT_FALSE(mLoom->IsKeyPressedByName("Esc"));
}

TEST_F(IOLoomKeys, AutoRepeatDoesNotTriggerAgain)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    mLoom->Update();
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W, 1));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W, 1));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyTriggeredByName("W"));
    EXPECT_TRUE(mLoom->IsKeyPressedByName("W"));
}

TEST_F(IOLoomKeys, TapInsideOneFrameCountsAsPressedAndTriggered)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_R));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_R));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyPressedByName("R"));
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("R"));
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyPressedByName("R"));
    EXPECT_FALSE(mLoom->IsKeyTriggeredByName("R"));
}

TEST_F(IOLoomKeys, CharacterLooksUpItsKeyInEitherCase)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_7));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyPressedChar('W'));
    EXPECT_TRUE(mLoom->IsKeyPressedChar('w'));
    EXPECT_TRUE(mLoom->IsKeyPressedChar('7'));
    EXPECT_FALSE(mLoom->IsKeyPressedChar('S'));
    EXPECT_FALSE(mLoom->IsKeyPressedChar('\0'));
    EXPECT_FALSE(mLoom->IsKeyPressedChar('\x7f'));
    EXPECT_FALSE(mLoom->IsKeyPressedChar(static_cast<char>(0xE9)));
}

TEST_F(IOLoomKeys, NamesTheGameAsksForFollowTheirKeys)
{
    const struct
    {
        const char* name;
        SDL_Scancode key;
    } cases[] = {
        {"W", SDL_SCANCODE_W},
        {"Up", SDL_SCANCODE_UP},
        {"Down", SDL_SCANCODE_DOWN},
        {"Left", SDL_SCANCODE_LEFT},
        {"Right", SDL_SCANCODE_RIGHT},
        {"Delete", SDL_SCANCODE_DELETE},
        {"End", SDL_SCANCODE_END},
        {"R", SDL_SCANCODE_R},
        {"F", SDL_SCANCODE_F},
        {"PageUp", SDL_SCANCODE_PAGEUP},
        {"PageDown", SDL_SCANCODE_PAGEDOWN},
        {"Esc", SDL_SCANCODE_ESCAPE},
    };
    for (const auto& c : cases)
    {
        Feed(Key(SDL_KEYDOWN, c.key));
        mLoom->Update();
        EXPECT_TRUE(mLoom->IsKeyPressedByName(c.name)) << c.name;
        EXPECT_TRUE(mLoom->IsKeyTriggeredByName(c.name)) << c.name;
        Feed(Key(SDL_KEYUP, c.key));
        mLoom->Update();
        EXPECT_FALSE(mLoom->IsKeyPressedByName(c.name)) << c.name;
    }
}

TEST_F(IOLoomKeys, ShiftNameStandsForEitherShiftKey)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT));
    mLoom->Update();
    EXPECT_TRUE(mLoom->IsKeyPressedByName("Shift"));
    EXPECT_TRUE(mLoom->IsKeyTriggeredByName("Shift"));
    EXPECT_TRUE(mLoom->IsKeyPressedByName("RShift"));
    EXPECT_FALSE(mLoom->IsKeyPressedByName("LShift"));
}

TEST_F(IOLoomKeys, UnknownNameIsFalseAndReportedOnce)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    LogProbe log;
    EXPECT_FALSE(mLoom->IsKeyPressedByName("Escape"));
    EXPECT_FALSE(mLoom->IsKeyTriggeredByName("Escape"));
    EXPECT_FALSE(mLoom->IsKeyPressedByName(""));
    EXPECT_FALSE(mLoom->IsKeyPressedByName("esc")) << "names are compared exactly";
    EXPECT_EQ(log.Count("unknown key name \"Escape\""), 1);
    EXPECT_EQ(log.Count("unknown key name \"\""), 1);
}

TEST_F(IOLoomKeys, KeyNumbersOutOfRangeAreUp)
{
    for (int key : {-1, IOLoom::kKeyCount, 100000})
    {
        EXPECT_FALSE(mLoom->IsKeyPressed(key));
        EXPECT_FALSE(mLoom->IsKeyTriggered(key));
    }
}

TEST_F(IOLoomKeys, ShutdownForgetsHeldKeysAndInitStartsClean)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_A));
    Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    mLoom->Update();
    mLoom->Shutdown();
    EXPECT_FALSE(mLoom->IsKeyPressedChar('A'));
    EXPECT_FALSE(mLoom->MousePressed(0));
    mLoom->Init();
    mLoom->Update();
    EXPECT_FALSE(mLoom->IsKeyPressedChar('A'));
    EXPECT_FALSE(mLoom->MousePressed(0));
    EXPECT_FALSE(mLoom->MouseReleased(0));
}

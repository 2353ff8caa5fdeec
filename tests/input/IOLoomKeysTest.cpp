#include "IOLoomFixture.h"
#include "LogProbe.h"

using namespace InputEvents;

class IOLoomKeys : public IOLoomFixture
{
protected:
    void ExpectKey(const char* name, bool pressed, bool triggered)
    {
        EXPECT_EQ(mLoom->IsKeyPressedByName(name), pressed) << name;
        EXPECT_EQ(mLoom->IsKeyTriggeredByName(name), triggered) << name;
    }
};

TEST_F(IOLoomKeys, KeyTriggeredOnlyOnFrameOfPress)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    ExpectKey("Esc", true, true);

    mLoom->Update();
    ExpectKey("Esc", true, false);

    Feed(Key(SDL_KEYUP, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    ExpectKey("Esc", false, false);
}

TEST_F(IOLoomKeys, AutoRepeatDoesNotTriggerAgain)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W));
    mLoom->Update();
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W, 1));
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_W, 1));
    mLoom->Update();
    ExpectKey("W", true, false);
}

TEST_F(IOLoomKeys, TapInsideOneFrameCountsAsPressedAndTriggered)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_R));
    Feed(Key(SDL_KEYUP, SDL_SCANCODE_R));
    mLoom->Update();
    ExpectKey("R", true, true);
    mLoom->Update();
    ExpectKey("R", false, false);
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
        ExpectKey(c.name, true, true);
        Feed(Key(SDL_KEYUP, c.key));
        mLoom->Update();
        EXPECT_FALSE(mLoom->IsKeyPressedByName(c.name)) << c.name;
    }
}

TEST_F(IOLoomKeys, ShiftNameStandsForEitherShiftKey)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT));
    mLoom->Update();
    ExpectKey("Shift", true, true);
    EXPECT_TRUE(mLoom->IsKeyPressedByName("RShift"));
    EXPECT_FALSE(mLoom->IsKeyPressedByName("LShift"));
}

TEST_F(IOLoomKeys, UnknownNameIsFalseAndReportedOnce)
{
    Feed(Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    mLoom->Update();
    LogProbe log;
    ExpectKey("Escape", false, false);
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

#include <gtest/gtest.h>

#include <string>

#include "tests/LOOM/support/ConsoleTestSupport.h"

namespace {
void Type(Console& console, const std::string& text)
{
    for (char c : text)
        console.OnKey(static_cast<unsigned char>(c));
}
} // namespace

TEST(ConsoleKeys, EnterTogglesInputAndRunsTheLine)
{
    TestConsole console;
    EXPECT_FALSE(console.GetInputActive());
    Type(console, "ab");
    EXPECT_EQ(console.InputLine().Text(), ""); // keys are ignored while input is off
    console.OnKey(Console::KeyEnter);
    EXPECT_TRUE(console.GetInputActive());
    console.OnKey(Console::KeyEnter);
    EXPECT_FALSE(console.GetInputActive());
    console.OnKey(Console::KeyEnter);
    Type(console, "Mes hi");
    EXPECT_EQ(console.InputLine().Text(), "Mes hi");
    EXPECT_EQ(console.InputLine().Cursor(), 6);
    console.OnKey(Console::KeyEnter);
    EXPECT_EQ(console.Last().mText, "hi");
    EXPECT_EQ(console.InputLine().Text(), "");
    EXPECT_FALSE(console.GetInputActive());
}

TEST(ConsoleKeys, EditingMovesTheCursor)
{
    TestConsole console;
    console.OnKey(Console::KeyEnter);
    Type(console, "abc");
    console.OnKey(Console::KeyLeft);
    console.OnKey(Console::KeyLeft);
    console.OnKey('X');
    EXPECT_EQ(console.InputLine().Text(), "aXbc");
    console.OnKey(Console::KeyDelete);
    EXPECT_EQ(console.InputLine().Text(), "aXc");
    console.OnKey(Console::KeyBackspace);
    EXPECT_EQ(console.InputLine().Text(), "ac");
    EXPECT_EQ(console.InputLine().Cursor(), 1);
    for (int i = 0; i < 5; ++i)
        console.OnKey(Console::KeyRight);
    EXPECT_EQ(console.InputLine().Cursor(), 2);
    console.OnKey(Console::KeyDelete); // at the end: nothing to erase
    EXPECT_EQ(console.InputLine().Text(), "ac");
    for (int i = 0; i < 5; ++i)
        console.OnKey(Console::KeyLeft);
    console.OnKey(Console::KeyBackspace); // at the start: nothing to erase
    EXPECT_EQ(console.InputLine().Text(), "ac");
    EXPECT_EQ(console.InputLine().Cursor(), 0);
}

TEST(ConsoleKeys, NonPrintableCodesAreNotInserted)
{
    TestConsole console;
    console.OnKey(Console::KeyEnter);
    for (uint32_t code : {0u, 6u, 7u, 9u, 27u, 127u, 200u, 211u, 212u, 300u})
        console.OnKey(code);
    EXPECT_EQ(console.InputLine().Text(), "");
    // Closing and opening the console types nothing: the next command runs as typed.
    console.OnKey(Console::KeyBackquote);
    EXPECT_TRUE(console.GetShowConsole());
    console.OnKey(Console::KeyBackquote);
    console.OnKey(Console::KeyBackquote);
    EXPECT_EQ(console.InputLine().Text(), "");
    Type(console, "Mes hi");
    console.OnKey(Console::KeyEnter);
    EXPECT_EQ(console.Last().mText, "hi");
    console.ShowConsole(false);
}

TEST(ConsoleKeys, BackquoteTogglesTheConsoleWhateverTheInputState)
{
    TestConsole console;
    console.OnKey(Console::KeyBackquote);
    EXPECT_TRUE(console.GetShowConsole());
    console.OnKey(Console::KeyBackquote);
    EXPECT_FALSE(console.GetShowConsole());
    EXPECT_EQ(console.InputLine().Text(), "");
}

// Text left on the line when the console closes, by its key or by the "console" command, is
// dropped: the next command runs as typed, not joined to it.
TEST(ConsoleKeys, ClosingTheConsoleClearsItsLine)
{
    const struct
    {
        const char* how;
        void (*close)(TestConsole&);
    } closes[] = {
        {"key", [](TestConsole& c) { c.OnKey(Console::KeyBackquote); }},
        {"command", [](TestConsole& c) { c.ExecuteLine("console false"); }},
    };
    for (const auto& close : closes)
    {
        TestConsole console;
        console.OnKey(Console::KeyBackquote);
        console.ExecuteLine("Mes before");
        console.OnKey(Console::KeyUp);
        console.OnKey(Console::KeyLeft);
        Type(console, "left");
        close.close(console);
        EXPECT_FALSE(console.GetShowConsole()) << close.how;
        EXPECT_FALSE(console.GetInputActive()) << close.how << ": the keys are the game's again";
        EXPECT_EQ(console.InputLine().Text(), "") << close.how;
        console.OnKey(Console::KeyBackquote);
        Type(console, "Mes hi");
        EXPECT_EQ(console.InputLine().Cursor(), 6) << close.how;
        console.OnKey(Console::KeyEnter);
        EXPECT_EQ(console.Last().mText, "hi") << close.how;
        // Recall starts again from the newest line.
        console.OnKey(Console::KeyUp);
        EXPECT_EQ(console.InputLine().Text(), "Mes hi") << close.how;
        console.ShowConsole(false);
    }
}

// Enter opens a line over the game with the console shut; shutting the console again (the
// loading screen does it after every load, the "console" command too) ends that line as well,
// so a closed console never keeps the keys.
TEST(ConsoleKeys, ClosingTheShutConsoleEndsALineOpenedByEnter)
{
    for (const char* how : {"ShowConsole", "command"})
    {
        TestConsole console;
        console.OnKey(Console::KeyEnter);
        Type(console, "1");
        ASSERT_TRUE(console.TakesKeys()) << how;
        if (std::string(how) == "command")
            console.ExecuteLine("console false");
        else
            console.ShowConsole(false);
        EXPECT_FALSE(console.GetInputActive()) << how;
        EXPECT_FALSE(console.TakesKeys()) << how;
        EXPECT_EQ(console.InputLine().Text(), "") << how;
    }
}

TEST(ConsoleKeys, ScrollStopsAtTheOldestEntry)
{
    TestConsole console;
    // Fewer entries than the display shows: no scrolling at all.
    for (int i = 0; i < 5; ++i)
        console.Log("line");
    console.OnKey(Console::KeyPageUp);
    EXPECT_EQ(console.GetScroll(), 0);
    console.OnKey(Console::KeyPageDown);
    EXPECT_EQ(console.GetScroll(), 0);

    for (int i = 0; i < 25; ++i)
        console.Log("line");
    for (int i = 0; i < 40; ++i)
        console.OnKey(Console::KeyPageUp);
    EXPECT_EQ(console.GetScroll(), 30 - 18);
    console.OnKey(Console::KeyPageDown);
    EXPECT_EQ(console.GetScroll(), 11);
    console.Log("new");
    EXPECT_EQ(console.GetScroll(), 0);
}

TEST(ConsoleKeys, FunctionKeysReachTheEngine)
{
    TestConsole console;
    int stops = 0;
    int restarts = 0;
    console.OnKey(Console::KeyF12); // nothing installed yet
    console.SetEngineKeys([&] { ++stops; }, [&] { ++restarts; });
    console.OnKey(Console::KeyF12);
    console.OnKey(Console::KeyF11);
    console.OnKey(Console::KeyF11);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(restarts, 2);
}

TEST(ConsoleKeys, ArrowsRecallLinesEvenUnknownOnes)
{
    TestConsole console;
    console.ExecuteLine("Mes one");
    console.ExecuteLine("NoSuchCommand two");
    console.OnKey(Console::KeyEnter);
    console.OnKey(Console::KeyUp);
    EXPECT_EQ(console.InputLine().Text(), "NoSuchCommand two");
    EXPECT_EQ(console.InputLine().Cursor(), 17);
    console.OnKey(Console::KeyUp);
    EXPECT_EQ(console.InputLine().Text(), "Mes one");
    console.OnKey(Console::KeyUp); // wraps to the newest
    EXPECT_EQ(console.InputLine().Text(), "NoSuchCommand two");
    console.OnKey(Console::KeyDown);
    EXPECT_EQ(console.InputLine().Text(), "Mes one");
}

TEST(ConsoleKeys, ArrowsWithNoHistoryLeaveTheLine)
{
    TestConsole console;
    console.OnKey(Console::KeyEnter);
    Type(console, "x");
    console.OnKey(Console::KeyUp);
    console.OnKey(Console::KeyDown);
    EXPECT_EQ(console.InputLine().Text(), "x");
}

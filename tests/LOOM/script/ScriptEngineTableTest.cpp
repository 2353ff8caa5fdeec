#include <string>

#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "tests/LOOM/support/ScriptTestSupport.h"

namespace {

// Console commands of every argument and result kind a script may use.
struct Calculator
{
    int32_t Add(int32_t a, int32_t b) { return a + b; }
    std::string Greet(std::string name) { return "Hello " + name; }
    std::string Echo(std::string text) { return text; }
    Vector3 Scale(Vector3 v, float s) { return v * s; }
    bool Not(bool value) { return !value; }
    uint32_t UMax() { return 0xFFFFFFFFu; }
    double Half(double value) { return value / 2.0; }
    DisplaySettings Widen(DisplaySettings settings)
    {
        settings.mScreenWidth *= 2;
        settings.mVsync = false;
        return settings;
    }
    Quat Same(Quat q) { return q; }
    Color Invert(Color c)
    {
        c.Invert();
        return c;
    }
    void Count() { ++mCount; }
    void Take4(int32_t, float, std::string, bool last) { mLast = last; }
    // Takes 0 or 1 and refuses any other number the way a command refuses what it cannot use.
    int32_t Pick(int32_t choice)
    {
        if (choice == 0 || choice == 1)
            return choice + 10;
        ArgumentRefusal::Refuse(1, "no choice " + std::to_string(choice) + " (0 or 1)");
        return -1;
    }
    int mCount = 0;
    bool mLast = false;
};

class ScriptEngineTableTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        Register("TestAdd", &Calculator::Add);
        Register("TestGreet", &Calculator::Greet);
        Register("TestEcho", &Calculator::Echo);
        Register("TestScale", &Calculator::Scale);
        Register("TestNot", &Calculator::Not);
        Register("TestUMax", &Calculator::UMax);
        Register("TestHalf", &Calculator::Half);
        Register("TestWiden", &Calculator::Widen);
        Register("TestSame", &Calculator::Same);
        Register("TestInvert", &Calculator::Invert);
        Register("TestCount", &Calculator::Count);
        Register("TestTake4", &Calculator::Take4);
        Register("TestPick", &Calculator::Pick);
    }

    template <typename Method>
    void Register(const char* name, Method method)
    {
        Console::Instance().AddCommand(name, MakeConsoleCommand(&mCalculator, method));
    }

    Calculator mCalculator;
};

} // namespace

TEST_F(ScriptEngineTableTest, StartScript_CallsCommandsWithTypedArgumentsAndReadsResults)
{
    const uint32_t mark = LogMark();
    Scripts().RunScript("Scripts/Start.lua");
    EXPECT_EQ(CountStartingWith(LoggedSince(mark), "Lua Error"), 0u);
    EXPECT_TRUE(True("StartDone"));
    ExpectNumbers({{"Sum", 42.0}, {"Negative", -42.0}});
    EXPECT_EQ(String("Greeting"), "Hello Loom");
    EXPECT_EQ(Number("ScaledY"), 4.0);
    EXPECT_TRUE(True("Flipped == true"));
    ExpectNumbers({{"Big", 4294967295.0}, {"Half", 2.5}, {"WiderWidth", 1280.0}});
    EXPECT_TRUE(True("WiderVsync == false"));
    EXPECT_EQ(mCalculator.mCount, 2);
}

TEST_F(ScriptEngineTableTest, Field_FoundWhateverTheCase)
{
    ExpectNumbers(
        {{"G.testadd(1, 2)", 3.0}, {"G.TESTADD(1, 2)", 3.0}, {"G.tEsTaDd(1, 2)", 3.0}, {"G['TestAdd'](1, 2)", 3.0}});
}

TEST_F(ScriptEngineTableTest, Field_UnknownCommandReturnsNothingAndLogsNothing)
{
    const uint32_t mark = LogMark();
    EXPECT_EQ(Number("select('#', G.NoSuchCommand(1, 'a'))"), 0.0);
    EXPECT_TRUE(LoggedSince(mark).empty());
}

TEST_F(ScriptEngineTableTest, Field_NilAndBooleanKeysGiveNil)
{
    ExpectNil({"G[true]", "G[nil]", "G[G]"});
    EXPECT_EQ(TypeOf("G[12]"), "function");
}

TEST_F(ScriptEngineTableTest, Table_ConvertsToLoomEngineAndDropsAssignments)
{
    EXPECT_EQ(String("tostring(G)"), "Loom Engine");
    EXPECT_TRUE(Run("G.TestAdd = 5 G.Custom = 'x'"));
    EXPECT_EQ(TypeOf("G.TestAdd"), "function");
    EXPECT_EQ(TypeOf("G.Custom"), "function");
    EXPECT_EQ(Number("G.TestAdd(2, 3)"), 5.0);
    EXPECT_EQ(TypeOf("next(G)"), "nil");
}

TEST_F(ScriptEngineTableTest, Arguments_MissingAndExtraReadAsDefaults)
{
    ExpectNumbers({{"G.TestAdd()", 0.0}, {"G.TestAdd(1)", 1.0}, {"G.TestAdd(1, 2, 3, 4, 5)", 3.0}});
    EXPECT_EQ(String("G.TestEcho()"), "");
    EXPECT_EQ(String("G.TestEcho({})"), "");
    EXPECT_EQ(String("G.TestEcho(12)"), "12");
    EXPECT_TRUE(True("G.TestNot() == true"));
    EXPECT_TRUE(True("G.TestNot(0) == false")); // 0 is true in scripts
    EXPECT_TRUE(Run("G.TestTake4(1, 2, 'three', true)"));
    EXPECT_TRUE(mCalculator.mLast);
}

// A number reaches its parameter as it is, or the call is refused with an error naming the
// command, the argument and what it takes: nothing is wrapped, rounded off or made infinite, and a
// vector, quaternion or colour carries no NaN or infinity. A string holding a NUL byte or longer
// than its 127 bytes is refused the same way: nothing is cut short. A command that refuses a
// value it cannot use is named the same way, and nothing it would return arrives.
TEST_F(ScriptEngineTableTest, Arguments_NumbersTheParameterCannotHoldAreRefusedByName)
{
    ExpectNumbers({
        {"G.TestAdd(2147483647, 0)", 2147483647.0},
        {"G.TestAdd(-2147483648, 0)", -2147483648.0},
        {"G.TestAdd(-0, 5)", 5.0},
        {"G.TestAdd('7', 1)", 8.0}, // numeric text is a number
        {"G.TestHalf(1e300)", 5e299},
        {"G.TestScale(Vector3(1, 1, 1), 2.5).x", 2.5},
    });
    const char* const kInt = "int parameter takes a whole number from -2147483648 to 2147483647, not ";
    const char* const kFloat = "float parameter takes a finite number of at most 3.4028235e38 either side of 0, not ";
    struct Case
    {
        const char* mCall;
        std::string mError;
    };
    const Case cases[] = {
        {"G.TestAdd(2147483648, 0)", std::string("bad argument #1 to 'TestAdd' (its ") + kInt + "2147483648)"},
        {"G.TestAdd(0, -2147483649)", std::string("bad argument #2 to 'TestAdd' (its ") + kInt + "-2147483649)"},
        {"G.testadd(4294967295, 0)", std::string("bad argument #1 to 'testadd' (its ") + kInt + "4294967295)"},
        {"G.TestAdd(2.9, 0)", std::string("bad argument #1 to 'TestAdd' (its ") + kInt + "2.9)"},
        {"G.TestAdd(1/0, 0)", std::string("bad argument #1 to 'TestAdd' (its ") + kInt + "inf)"},
        {"G.TestAdd(-1e300, 0)", std::string("bad argument #1 to 'TestAdd' (its ") + kInt + "-1e+300)"},
        {"G.TestAdd('3e9', 0)", std::string("bad argument #1 to 'TestAdd' (its ") + kInt + "3e9)"},
        {"local add = G.TestAdd add(0, 0/0)", std::string("bad argument #2 to 'TestAdd' (its ") + kInt},
        {"G.TestHalf(-1/0)", "bad argument #1 to 'TestHalf' (its double parameter takes a finite number, not -inf)"},
        {"G.TestScale(Vector3(), 1e39)", std::string("bad argument #2 to 'TestScale' (its ") + kFloat + "1e+39)"},
        // The engine would take the text only up to the NUL: "..\0/x" would arrive as "..".
        {"G.TestEcho('..\\0/x')", "bad argument #1 to 'TestEcho' (a string holding a NUL byte)"},
        {"G.TestTake4(1, 2, 'a\\0', true)", "bad argument #3 to 'TestTake4' (a string holding a NUL byte)"},
        {"G.TestEcho(string.rep('a', 128))",
         "bad argument #1 to 'TestEcho' (a string of 128 bytes, longer than the 127 a command takes)"},
        {"G.TestTake4(1, 2, string.rep('b', 5000), true)",
         "bad argument #3 to 'TestTake4' (a string of 5000 bytes, longer than the 127 a command takes)"},
        {"G.TestEcho(string.rep('a', 200) .. '\\0')", "bad argument #1 to 'TestEcho' (a string holding a NUL byte)"},
        {"G.TestScale(Vector3(1, 1/0, 2), 1)",
         "bad argument #1 to 'TestScale' (its rVector3 takes finite components, not (1, inf, 2))"},
        {"local v = Vector3() v.z = -1e39 G.TestScale(v, 1)",
         "bad argument #1 to 'TestScale' (its rVector3 takes finite components, not (0, 0, -inf))"},
        {"G.TestSame(Quat(1, 0, -1/0, 0))",
         "bad argument #1 to 'TestSame' (its rQuat takes finite components, not (1, 0, -inf, 0))"},
        {"G.TestInvert(Color(0, 0.5, 1/0, 1))",
         "bad argument #1 to 'TestInvert' (its rColor takes finite components, not (0, 0.5, inf, 1))"},
        {"local c = Color() c.a = 0/0 G.TestInvert(c)", "bad argument #1 to 'TestInvert' (its rColor takes finite "},
        {"G.TestPick(2147483647)", "bad argument #1 to 'TestPick' (no choice 2147483647 (0 or 1))"},
        {"Got = G.testpick(-1)", "bad argument #1 to 'testpick' (no choice -1 (0 or 1))"},
    };
    for (const Case& c : cases)
    {
        const uint32_t mark = LogMark();
        EXPECT_FALSE(Run(std::string("Reached = false ") + c.mCall + " Reached = true")) << c.mCall;
        const std::vector<std::string> logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), 1u) << c.mCall;
        // After the script's place ("[string ...]:1:"); a NaN prints as nan or -nan.
        EXPECT_EQ(logged[0].rfind("Lua Error: [string \"", 0), 0u) << logged[0];
        EXPECT_NE(logged[0].find("]:1: " + c.mError), std::string::npos) << logged[0];
        EXPECT_FALSE(True("Reached")) << c.mCall;
    }
}

TEST_F(ScriptEngineTableTest, Arguments_StringsUpTo127BytesAndFittingChoicesArriveWhole)
{
    ExpectNumbers({{"#G.TestEcho(string.rep('a', 127))", 127.0},
                   {"#G.TestEcho(string.rep('a', 126))", 126.0},
                   {"G.TestPick(0)", 10.0},
                   {"G.TestPick(1)", 11.0}});
    std::string pairs;
    for (int i = 0; i < 63; ++i)
        pairs += "xy";
    EXPECT_EQ(String("G.TestEcho(string.rep('xy', 63) .. 'z')"), pairs + "z");
}

// Outside a script call a refused argument is logged, naming the argument and why.
TEST_F(ScriptEngineTableTest, Arguments_RefusedOutsideAScriptIsLogged)
{
    const uint32_t mark = LogMark();
    Console::Instance().ExecuteLine("TestPick 7");
    const std::vector<std::string> logged = LoggedSince(mark);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), "Argument #1 refused: no choice 7 (0 or 1)");
}

TEST_F(ScriptEngineTableTest, Arguments_ValueTypesRoundTrip)
{
    ExpectNumbers({{"G.TestSame(Quat(1, 2, 3, 4)).z", 4.0},
                   {"G.TestSame(Quat(1, 2, 3, 4)).w", 1.0},
                   {"G.TestInvert(Color(0, 0.25, 0.5, 1)).g", 0.75},
                   {"G.TestInvert(Color(0, 0.25, 0.5, 1)).a", 0.0}});
}

TEST_F(ScriptEngineTableTest, Arguments_WrongValueTypeRaisesNamingTheTypeAndLeaksNoBlock)
{
    struct Case
    {
        const char* mCall;
        const char* mExpected;
    };
    const Case cases[] = {
        {"G.TestScale(5, 2)", "rVector3 expected"}, {"G.TestScale(Color(), 2)", "rVector3 expected"},
        {"G.TestScale()", "rVector3 expected"},     {"G.TestSame(Vector3())", "rQuat expected"},
        {"G.TestInvert('red')", "rColor expected"}, {"G.TestWiden({})", "rConfig expected"},
    };
    const size_t freeBlocks = ParamBuffer::FreeCount();
    for (const Case& c : cases)
    {
        const uint32_t mark = LogMark();
        EXPECT_FALSE(Run(c.mCall)) << c.mCall;
        const std::vector<std::string> logged = LoggedSince(mark);
        ASSERT_EQ(logged.size(), 1u) << c.mCall;
        EXPECT_NE(logged[0].find(c.mExpected), std::string::npos) << logged[0];
        EXPECT_EQ(ParamBuffer::FreeCount(), freeBlocks) << c.mCall;
    }
}

TEST_F(ScriptEngineTableTest, Calls_ReturnEveryPooledBlock)
{
    const size_t freeBlocks = ParamBuffer::FreeCount();
    ASSERT_TRUE(Run("for i = 1, 100 do G.TestAdd(i, i) G.TestEcho('x') G.NoSuch() end"));
    EXPECT_EQ(ParamBuffer::FreeCount(), freeBlocks);
}

TEST_F(ScriptEngineTableTest, Calls_WorkFromInsideACoroutine)
{
    ASSERT_TRUE(Run("local co = coroutine.create(function(a) local s = G.TestAdd(a, 1) coroutine.yield(s) "
                    "return G.TestAdd(s, 1) end) "
                    "local _, first = coroutine.resume(co, 10) local _, second = coroutine.resume(co) "
                    "First, Second = first, second"));
    ExpectNumbers({{"First", 11.0}, {"Second", 12.0}});
}

TEST_F(ScriptEngineTableTest, Calls_ReachCommandsRegisteredAfterTheFirstLookup)
{
    EXPECT_EQ(Number("select('#', G.LateCommand())"), 0.0);
    Console::Instance().AddCommand("LateCommand", MakeConsoleCommand(&mCalculator, &Calculator::UMax));
    EXPECT_EQ(Number("G.LateCommand()"), 4294967295.0);
}

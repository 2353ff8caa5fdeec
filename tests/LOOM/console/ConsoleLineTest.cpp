#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/LOOM/support/ConsoleTestSupport.h"
#include "tests/LOOM/support/FakeCogDirectory.h"

namespace {
struct LineFixture : ::testing::Test
{
    void SetUp() override
    {
        auto command = std::make_unique<RecordingCommand>();
        mRecorder = command.get();
        mConsole.RegisterCommand("Rec", std::move(command), "records its arguments");
    }

    // Runs the line and returns the buffer the command saw, rewound.
    ParamBuffer& Run(const std::string& line)
    {
        const int calls = mRecorder->mCalls;
        mConsole.ExecuteLine(line);
        EXPECT_EQ(mRecorder->mCalls, calls + 1) << line;
        mRecorder->mLast.Rewind();
        return mRecorder->mLast;
    }

    TestConsole mConsole;
    RecordingCommand* mRecorder = nullptr;
};

template <typename T>
T Pop(ParamBuffer& params)
{
    return ParamTraits<T>::Pop(params);
}
} // namespace

TEST(ConsoleTokenize, QuotesKeepDelimitersAndTheOpeningQuote)
{
    const char* delimiters = " ,\"()";
    using Tokens = std::vector<std::string>;
    EXPECT_EQ(Console::Tokenize("Mes \"hello, world\"", delimiters), (Tokens{"Mes", "\"hello, world"}));
    EXPECT_EQ(Console::Tokenize("  a,b (c) ", delimiters), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(Console::Tokenize("f \"open (to) the end", delimiters), (Tokens{"f", "\"open (to) the end"}));
    EXPECT_EQ(Console::Tokenize("f \"a\" \"b c\"", delimiters), (Tokens{"f", "\"a", "\"b c"}));
    // The first token never opens a quoted text.
    EXPECT_EQ(Console::Tokenize("\"x y\"", delimiters), (Tokens{"x", "y"}));
    EXPECT_TRUE(Console::Tokenize(" ,,() ", delimiters).empty());
    EXPECT_TRUE(Console::Tokenize("", delimiters).empty());
}

TEST_F(LineFixture, QuotedCommaStaysInTheString)
{
    ParamBuffer& params = Run("Rec \"hello, world\"");
    EXPECT_EQ(params.GetSignature(), 0x6Au);
    EXPECT_EQ(Pop<std::string>(params), "hello, world");
}

TEST_F(LineFixture, MesLogsTheQuotedText)
{
    mConsole.ExecuteLine("Mes \"hello, world\"");
    EXPECT_EQ(mConsole.Last().mText, "hello, world");
    EXPECT_EQ(mConsole.Last().mCategory, LogGeneral);
    EXPECT_EQ(mConsole.GetEntries().FromNewest(1).mText, "]Mes \"hello, world\"");
    EXPECT_EQ(mConsole.GetEntries().FromNewest(1).mCategory, LogCommands);
}

TEST_F(LineFixture, ScalarArgumentsAreTypedByTheirText)
{
    struct Case
    {
        const char* mToken;
        uint32_t mCode;
    };
    const Case cases[] = {
        {"true", 'i'}, {"on", 'i'}, {"false", 'i'}, {"off", 'i'},  {"True", 'j'},   {"5u", 'd'},
        {"5", 'e'},    {"-3", 'e'}, {"2.5", 'f'},   {"2.5d", 'g'}, {"Load", 'j'},   {"u", 'd'},
        {"d", 'g'},    {"-", 'e'},  {".", 'f'},     {"5x", 'j'},   {"Barrel", 'j'},
    };
    for (const Case& c : cases)
    {
        ParamBuffer& params = Run(std::string("Rec ") + c.mToken);
        EXPECT_EQ(params.GetSignature(), c.mCode) << c.mToken;
        EXPECT_EQ(params.GetCount(), 1u) << c.mToken;
    }
}

TEST_F(LineFixture, ScalarValues)
{
    EXPECT_EQ(Pop<uint32_t>(Run("Rec 5u")), 5u);
    EXPECT_EQ(Pop<int32_t>(Run("Rec 5")), 5);
    EXPECT_EQ(Pop<int32_t>(Run("Rec -3")), -3);
    EXPECT_FLOAT_EQ(Pop<float>(Run("Rec 2.5")), 2.5f);
    EXPECT_DOUBLE_EQ(Pop<double>(Run("Rec 2.5d")), 2.5);
    EXPECT_EQ(Pop<std::string>(Run("Rec Load")), "Load");
    EXPECT_TRUE(Pop<bool>(Run("Rec on")));
    EXPECT_FALSE(Pop<bool>(Run("Rec off")));
}

TEST_F(LineFixture, StringAndVectorWithMissingComponent)
{
    ParamBuffer& params = Run("Rec Barrel vector 1 2");
    EXPECT_EQ(params.GetSignature(), 0x6C6Au);
    EXPECT_EQ(Pop<std::string>(params), "Barrel");
    EXPECT_EQ(Pop<Vector3>(params), Vector3(1.0f, 2.0f, 0.0f));
}

TEST_F(LineFixture, VectorUsesThreeTokensThenArgumentsGoOn)
{
    ParamBuffer& params = Run("Rec v 1 2 3 4");
    EXPECT_EQ(params.GetSignature(), 0x656Cu);
    EXPECT_EQ(Pop<Vector3>(params), Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(Pop<int32_t>(params), 4);
}

TEST_F(LineFixture, ColourWithMissingComponentsIsOne)
{
    ParamBuffer& params = Run("Rec color 0.5");
    EXPECT_EQ(params.GetSignature(), 0x6Eu);
    const Color colour = Pop<Color>(params);
    EXPECT_FLOAT_EQ(colour.r, 0.5f);
    EXPECT_FLOAT_EQ(colour.g, 1.0f);
    EXPECT_FLOAT_EQ(colour.b, 1.0f);
    EXPECT_FLOAT_EQ(colour.a, 1.0f);
    const Color full = Pop<Color>(Run("Rec color 0.1 0.2 0.3 0.4"));
    EXPECT_FLOAT_EQ(full.a, 0.4f);
}

TEST_F(LineFixture, FourArgumentsPass)
{
    ParamBuffer& params = Run("Rec 1 2.5 x on");
    EXPECT_EQ(params.GetSignature(), 0x696A6665u);
}

TEST_F(LineFixture, FiveArgumentsAreRefused)
{
    mConsole.ExecuteLine("Rec 1 2 3 4 5");
    EXPECT_EQ(mRecorder->mCalls, 0);
    EXPECT_EQ(mConsole.Last().mText, "Invalid Command: Bad Parameters");
    EXPECT_EQ(mConsole.Last().mCategory, LogGeneral);
}

// Cut to its slot it would be another text: the command does not run on it.
TEST_F(LineFixture, LongQuotedStringIsRefusedNotCut)
{
    EXPECT_EQ(Pop<std::string>(Run("Rec \"" + std::string(127, 'q') + "\"")), std::string(127, 'q'));
    mConsole.ExecuteLine("Rec \"" + std::string(150, 'q') + "\"");
    EXPECT_EQ(mRecorder->mCalls, 1);
    EXPECT_EQ(LastLog().mText, "ParamBuffer: a string of 150 bytes was refused: at most 127 fit");
    EXPECT_EQ(mConsole.Last().mText, "Invalid Command: Bad Parameters");
}

TEST_F(LineFixture, CommandNamesMatchInAnyCase)
{
    Run("REC");
    Run("rec");
    EXPECT_EQ(mConsole.FindCommand("rEc"), mRecorder);
}

TEST_F(LineFixture, UnknownCommandIsLoggedInLowerCase)
{
    mConsole.ExecuteLine("Frobnicate 3");
    EXPECT_EQ(mConsole.Last().mText, "Invalid Command: frobnicate");
    EXPECT_EQ(mConsole.Last().mCategory, LogError);
}

TEST_F(LineFixture, EmptyAndDelimiterOnlyLines)
{
    const uint32_t before = mConsole.GetEntryCounter();
    mConsole.ExecuteLine("");
    EXPECT_EQ(mConsole.GetEntryCounter(), before);
    EXPECT_EQ(mConsole.InputLine().History().Size(), 0);
    mConsole.ExecuteLine(" , ");
    EXPECT_EQ(mConsole.Last().mText, "Invalid Command: ");
}

TEST_F(LineFixture, BuiltInCommandsChangeState)
{
    mConsole.ExecuteLine("console on");
    EXPECT_TRUE(mConsole.GetShowConsole());
    mConsole.ExecuteLine("console false");
    EXPECT_FALSE(mConsole.GetShowConsole());
    mConsole.ExecuteLine("DebugValue fps 60");
    // 60 is typed as a number, which DebugValue does not take.
    EXPECT_TRUE(mConsole.GetDebugValues().All().empty());
    mConsole.ExecuteLine("DebugValue fps \"60");
    EXPECT_EQ(mConsole.GetDebugValues().All().at("fps"), "60");
    mConsole.GetDebugValues().Set("fps", "59");
    EXPECT_EQ(mConsole.GetDebugValues().All().at("fps"), "59");
    mConsole.ExecuteLine("RemoveDebugValue fps");
    mConsole.ExecuteLine("RemoveDebugValue absent");
    EXPECT_TRUE(mConsole.GetDebugValues().All().empty());
    const uint32_t before = mConsole.GetEntryCounter();
    mConsole.ExecuteLine("Script start.lua");
    EXPECT_EQ(mConsole.GetEntryCounter(), before + 1); // only the echo of the line
}

TEST_F(LineFixture, CogLineCallsTheCogsFunction)
{
    FakeCogDirectory cogs;
    FakeCog& cog = cogs.Add(12, "Tower");
    mConsole.ExecuteLine("c 12 Damage");
    ASSERT_EQ(cog.mCalls.size(), 1u);
    EXPECT_EQ(cog.mCalls[0].mFunction, "Damage");
    EXPECT_EQ(cog.mCalls[0].mSignature, 0u);
    EXPECT_EQ(mConsole.Last().mText, "]c 12 Damage");
    EXPECT_EQ(mConsole.Last().mCategory, LogCommands);

    mConsole.ExecuteLine("COG Tower SetHP 5 \"full\"");
    ASSERT_EQ(cog.mCalls.size(), 2u);
    EXPECT_EQ(cog.mCalls[1].mFunction, "SetHP");
    EXPECT_EQ(cog.mCalls[1].mSignature, 0x6A65u);
}

TEST_F(LineFixture, CogLineErrors)
{
    FakeCogDirectory cogs;
    FakeCog& cog = cogs.Add(12, "Tower");
    struct Case
    {
        const char* mLine;
        const char* mMessage;
    };
    const Case cases[] = {
        {"c", "Invalid Command: No Cog ID "},
        {"cog Tower", "Invalid Command: No Command Given"},
        {"cog Nobody Damage", "Invalid Command: No Cog with given ID"},
        {"cog tower Damage", "Invalid Command: No Cog with given ID"},
        {"c 13 Damage", "Invalid Command: No Cog with given ID"},
        {"c 12 Damage 1 2 3 4 5", "Invalid Command: Bad Parameters"},
    };
    for (const Case& c : cases)
    {
        mConsole.ExecuteLine(c.mLine);
        EXPECT_EQ(mConsole.Last().mText, c.mMessage) << c.mLine;
        EXPECT_EQ(mConsole.Last().mCategory, LogError) << c.mLine;
    }
    EXPECT_TRUE(cog.mCalls.empty());
}

TEST_F(LineFixture, CogLineWithoutCogManagerFindsNoCog)
{
    // Another test may have built the engine's manager; take it away for this one.
    CogDirectory* previous = CogDirectory::Get();
    CogDirectory::Install(nullptr);
    mConsole.ExecuteLine("c 12 Damage");
    CogDirectory::Install(previous);
    EXPECT_EQ(mConsole.Last().mText, "Invalid Command: No Cog with given ID");
}

TEST_F(LineFixture, ARegisteredCommandNamedCogWins)
{
    auto command = std::make_unique<RecordingCommand>();
    RecordingCommand* cogCommand = command.get();
    mConsole.RegisterCommand("cog", std::move(command), "");
    mConsole.ExecuteLine("cog 12 Damage");
    EXPECT_EQ(cogCommand->mCalls, 1);
}

// A whole number typed where the called function takes a decimal goes in as that decimal, for
// a command and for a cog's function alike; a decimal where a whole number is taken stays refused.
TEST_F(LineFixture, WholeNumbersGoInAsTheDecimalsTheFunctionTakes)
{
    static std::vector<double> seen;
    mConsole.RegisterCommand("Place", MakeFunctionCommand(+[](float x, float y, float z) { seen = {x, y, z}; }), "");
    mConsole.RegisterCommand("Precise", MakeFunctionCommand(+[](double d, std::string s) {
                                 seen = {d, static_cast<double>(s.size())};
                             }),
                             "");
    mConsole.RegisterCommand("Count", MakeFunctionCommand(+[](int32_t n) { seen = {static_cast<double>(n)}; }), "");
    FakeCogDirectory cogs;
    FakeCog& pad = cogs.Add(3, "Pad");
    pad.mFunctions["Place"] = std::make_unique<MemberFunctor<decltype(&FakeCog::TakePlace)>>(&FakeCog::TakePlace);
    struct Case
    {
        const char* mLine;
        std::vector<double> mSeen; // empty: refused
    };
    const Case cases[] = {
        {"Place 120 90 290", {120.0, 90.0, 290.0}},
        {"Place 1.5 -2 3", {1.5, -2.0, 3.0}},
        {"Place 3000000000 0 0", {3e9, 0.0, 0.0}},
        {"Precise 7 abc", {7.0, 3.0}},
        {"Count 7", {7.0}},
        {"Count 2.5", {}},
        {"Place 1 2", {}},
        {"Precise abc 7", {}},
    };
    for (const Case& c : cases)
    {
        seen.clear();
        const uint32_t before = Console::Instance().GetEntryCounter();
        mConsole.ExecuteLine(c.mLine);
        EXPECT_EQ(seen, c.mSeen) << c.mLine;
        if (c.mSeen.empty())
        {
            EXPECT_GT(Console::Instance().GetEntryCounter(), before) << c.mLine;
            EXPECT_EQ(LastLog().mText.rfind("Command Parameter Mismatch", 0), 0u) << c.mLine;
        }
    }
    mConsole.ExecuteLine("c Pad Place 120 90 290");
    EXPECT_EQ(pad.mPlace, (std::vector<float>{120.0f, 90.0f, 290.0f}));
}

// A refused line says how each kind of value it got wrong is typed, and the line so typed runs.
TEST_F(LineFixture, AMismatchSaysHowTheValueIsTyped)
{
    static int ran = 0;
    mConsole.RegisterCommand("At", MakeFunctionCommand(+[](std::string, Vector3) { ++ran; }), "");
    mConsole.RegisterCommand("Tint", MakeFunctionCommand(+[](Color, Color) { ++ran; }), "");
    mConsole.RegisterCommand("Size", MakeFunctionCommand(+[](uint32_t, bool) { ++ran; }), "");
    struct Case
    {
        const char* mLine;
        const char* mSaid; // empty: no hint
        const char* mTyped;
    };
    const Case cases[] = {
        {"At squad 200 2 60",
         "Command Parameter Mismatch: expected (string, vector), given (string, int, int, int); a vector is typed v "
         "and its three numbers (v 200 2 60)",
         "At squad v 200 2 60"},
        {"Tint 1 2", "; a color is typed color and its red, green, blue and alpha (color 1 0.5 0 1)",
         "Tint color 1 0 0 1 color 0 1 0 1"},
        {"Size 5 yes",
         "(uint, bool), given (int, string); a uint is typed with a u after it (5u); a bool is typed true",
         "Size 5u on"},
        {"At squad", "expected (string, vector), given (string); a vector is typed v", "At squad v"},
    };
    for (const Case& c : cases)
    {
        ran = 0;
        mConsole.ExecuteLine(c.mLine);
        EXPECT_EQ(ran, 0) << c.mLine;
        const std::string said = LastLog().mText;
        EXPECT_NE(said.find(c.mSaid), std::string::npos) << said;
        // Said once however often the kind is wrong.
        EXPECT_EQ(said.find("; a color"), said.rfind("; a color")) << said;
        mConsole.ExecuteLine(c.mTyped);
        EXPECT_EQ(ran, 1) << c.mTyped;
    }
}

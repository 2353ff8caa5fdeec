#include <gtest/gtest.h>

#include <clocale>

#include "LOOM/base/StringUtils.h"

TEST(StringUtils, NumberTestsLookOnlyAtCharacters)
{
    struct Case
    {
        const char* text;
        bool real;
        bool integer;
    };
    const Case cases[] = {
        {"1.2.3", true, false}, {"-", true, true},    {"--5", true, true},  {"", true, true},
        {"1e5", false, false},  {" 5", false, false}, {"2.0", true, false}, {"-42", true, true},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsRealNumber(c.text), c.real) << c.text;
        EXPECT_EQ(IsInteger(c.text), c.integer) << c.text;
    }
}

TEST(StringUtils, ToLowerChangesOnlyLetters)
{
    std::string text = "SetPause_42!Z";
    ToLower(text);
    EXPECT_EQ(text, "setpause_42!z");
}

TEST(StringUtils, ConversionsStopAtTheFirstForeignCharacter)
{
    EXPECT_EQ(StringToUInt("42abc"), 42u);
    EXPECT_EQ(StringToInt("-7"), -7);
    EXPECT_EQ(StringToInt("  12"), 12);
    EXPECT_EQ(StringToInt("99999999999"), 0) << "out of range fails";
    EXPECT_EQ(StringToUInt("-1"), 0xFFFFFFFFu) << "a minus sign wraps";
    EXPECT_EQ(StringToInt("-"), 0);
    EXPECT_EQ(StringToFloat("."), 0.0f);
    EXPECT_FLOAT_EQ(StringToFloat("2.5"), 2.5f);
    EXPECT_DOUBLE_EQ(StringToDouble("0.125x"), 0.125);
    EXPECT_EQ(IntToString(-15), "-15");
    EXPECT_EQ(IntToString(uint16_t(65535)), "65535");
}

TEST(StringUtils, ConversionsIgnoreTheProcessLocale)
{
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_FLOAT_EQ(StringToFloat("1.5"), 1.5f);
    EXPECT_EQ(IntToString(1234567), "1234567");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(StringUtils, EraseUnorderedMovesTheLastIntoTheGap)
{
    int a = 0, b = 0, c = 0, d = 0;
    std::vector<int*> items{&a, &b, &c};
    EraseUnordered(items, &a);
    EXPECT_EQ(items, (std::vector<int*>{&c, &b}));
    EraseUnordered(items, &d);
    EXPECT_EQ(items.size(), 2u);
}

TEST(RunningAverage, KeepsTheLastFortySamples)
{
    RunningAverage average;
    average.Add(3.0f);
    EXPECT_FLOAT_EQ(average.mMean, 3.0f);
    RunningAverage window;
    for (int i = 1; i <= 41; ++i)
        window.Add(static_cast<float>(i));
    EXPECT_FLOAT_EQ(window.mMean, 21.5f);
}

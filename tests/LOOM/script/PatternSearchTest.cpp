#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "LOOM/script/CompiledPattern.h"
#include "LOOM/script/PatternSearcher.h"
#include "LOOM/script/ReplacementTemplate.h"

// The matcher on its own, without a script state: what a search finds, the captures it records,
// the problems it reports, and the parts a replacement reads into.

namespace {

// Bytes below the space shown as \xNN, so a NUL is visible in a failure message.
std::string ShowBytes(std::string_view bytes)
{
    std::string shown;
    for (const char c : bytes)
    {
        if (static_cast<unsigned char>(c) < 0x20)
        {
            static const char kHex[] = "0123456789abcdef";
            shown += "\\x";
            shown += kHex[(static_cast<unsigned char>(c) >> 4) & 15];
            shown += kHex[static_cast<unsigned char>(c) & 15];
        }
        else
        {
            shown += c;
        }
    }
    return shown;
}

// "-" for no match, "!" and the text for a problem, else "begin-end" and each capture: "t:" its
// text, "p:" its place, "u" unfinished.
std::string SearchFor(std::string_view pattern, std::string_view subject, size_t from = 0, bool leadingAnchor = true)
{
    CharacterClasses classes;
    classes.ReadLocale();
    WorkMeter meter;
    CompiledPattern compiled;
    const PatternProblem problem = compiled.Compile(pattern, classes, leadingAnchor, meter);
    if (problem != PatternProblem::None)
        return std::string("!") + PatternProblemText(problem);
    PatternSearcher searcher;
    PatternMatch match;
    const SearchOutcome outcome = searcher.Search(compiled, subject, from, meter, match);
    if (outcome.problem != PatternProblem::None)
        return std::string("!") + PatternProblemText(outcome.problem);
    if (!outcome.found)
        return "-";
    std::string shown = std::to_string(match.begin) + "-" + std::to_string(match.end);
    for (size_t i = 0; i < match.captureCount; ++i)
    {
        const PatternCapture& capture = match.captures[i];
        switch (capture.kind)
        {
        case CaptureKind::Text:
            shown += " t:" + ShowBytes(subject.substr(capture.begin, capture.end - capture.begin));
            break;
        case CaptureKind::Position:
            shown += " p:" + std::to_string(capture.begin);
            break;
        case CaptureKind::Unfinished:
            shown += " u";
            break;
        }
    }
    return shown;
}

std::string Repeated(std::string_view piece, size_t times)
{
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

} // namespace

TEST(PatternSearchTest, SearchFindsWhatThePatternDescribes)
{
    struct SearchCase
    {
        std::string pattern;
        std::string subject;
        size_t from;
        const char* expected;
        bool leadingAnchor = true; // false as gmatch compiles: '^' is then a byte like any
    };
    const SearchCase cases[] = {
        // Classes, sets, repetitions.
        {"%d+", "ab123c", 0, "2-5"},
        {"%D", "12x", 0, "2-3"},
        {"(%w+)=(%w+)", "x key=val;", 0, "2-9 t:key t:val"},
        {"a-b", "aaab", 0, "0-4"},
        {"a-$", "aaa", 0, "0-3"},
        {"a-", "aaa", 0, "0-0"},
        {"a*", "baa", 0, "0-0"},
        {"a+", "baa", 0, "1-3"},
        {"a?b", "b", 0, "0-1"},
        {".-b", "aab", 0, "0-3"},
        {"(x*)(y+)(z?)(z-)$", "xxyyzz", 0, "0-6 t:xx t:yy t:z t:z"},
        {"[%]x]+", "[x]", 0, "1-3"},
        {"[a%-]+", "a-z", 0, "0-2"},
        {"[^b]", "bbc", 0, "2-3"},
        {"[]]", "a]", 0, "1-2"},
        {"[^]]", "]]a", 0, "2-3"},
        // The range takes the '%' that hid the first ']', which is then a member of its own.
        {"[+-%]]", "+%]", 0, "2-3"},
        {"[a-c%d]+", "xb2c-", 0, "1-4"},
        {"%%", "a%", 0, "1-2"},
        {"%.", "ab.", 0, "2-3"},
        {"%y", "xy", 0, "1-2"},
        // Anchors and ends.
        {"^a", "ba", 0, "-"},
        {"^a", "ba", 1, "1-2"},
        {"^a", "^a", 0, "-"},
        {"^a", "^a", 0, "0-2", false},
        {"a^", "a^", 0, "0-2"},
        {"$", "abc", 0, "3-3"},
        {"a$b", "a$b", 0, "0-3"},
        {"b$", "abc", 0, "-"},
        {"^$", "", 0, "0-0"},
        {"", "abc", 5, "-"},
        {"", "abc", 3, "3-3"},
        // Captures, places, references back.
        {"()b()", "abc", 0, "1-2 p:1 p:2"},
        {"(a)%1", "xaa", 0, "1-3 t:a"},
        {"()%1", "aa", 0, "-"},
        {"%[(=*)%[(.-)%]%1%]", "x = [==[a]]b]==]", 0, "4-16 t:== t:a]]b"},
        // Going back past a close opens the capture again, and past an open drops it.
        {"((a*)a)b", "aaab", 0, "0-4 t:aaa t:aa"},
        {"a*(.)b", "aab", 0, "0-3 t:a"},
        {"(a", "abc", 0, "0-1 u"},
        // Balanced runs and frontiers; outside the subject stands a NUL.
        {"%b()", "f(a(b)c)d", 0, "1-8"},
        {"%b()", "((", 0, "-"},
        {"%bxx", "axbxc", 0, "1-4"},
        {"%f[%a]%a+", "THE quick", 4, "4-9"},
        {"%f[%a]%a+", "THE quick", 1, "4-9"},
        {"%f[%z]", "ab", 0, "2-2"},
        {"%f[%w]", "", 0, "-"},
        // Malformed patterns are reported when a search reaches the fault, and only then.
        {"%", "abc", 0, "!malformed pattern (ends with '%')"},
        {"a%", "abc", 0, "!malformed pattern (ends with '%')"},
        {"x%", "abc", 0, "-"},
        {"[a", "abc", 0, "!malformed pattern (missing ']')"},
        {"x[", "abc", 0, "-"},
        {"[]", "abc", 0, "!malformed pattern (missing ']')"},
        {"[^]", "abc", 0, "!malformed pattern (missing ']')"},
        {"[%]", "abc", 0, "!malformed pattern (missing ']')"},
        {"%f", "abc", 0, "!missing '[' after '%f' in pattern"},
        {"%fa", "abc", 0, "!missing '[' after '%f' in pattern"},
        {"%f[a", "abc", 0, "!malformed pattern (missing ']')"},
        {"%b", "abc", 0, "!unbalanced pattern"},
        {"%bx", "abc", 0, "!unbalanced pattern"},
        {"a)", "abc", 0, "!invalid pattern capture"},
        {"%1", "abc", 0, "!invalid capture index"},
        {"%0", "abc", 0, "!invalid capture index"},
        {"(a%1)", "abc", 0, "!invalid capture index"},
        {Repeated("()", 33), "abc", 0, "!too many captures"},
        // Choices beyond the most one attempt may hold.
        {Repeated("a?", 4000) + "$", std::string(4000, 'a'), 0, "0-4000"},
        {Repeated("a?", 6000), std::string(6000, 'a'), 0, "!pattern too complex"},
        {Repeated("a-", 6000) + "$", std::string(10, 'a'), 0, "!pattern too complex"},
        {"x" + Repeated("%d", CompiledPattern::kMaxSteps), "a", 0, "!pattern too complex"},
        // Bytes the engine is given are all pattern, NULs included.
        {std::string("a\0b", 3), std::string("xa\0b", 4), 0, "1-4"},
        {"%z+", std::string("a\0\0", 3), 0, "1-3"},
    };
    for (const SearchCase& c : cases)
        EXPECT_EQ(SearchFor(c.pattern, c.subject, c.from, c.leadingAnchor), c.expected)
            << "pattern " << ShowBytes(c.pattern.substr(0, 40)) << " in " << ShowBytes(c.subject.substr(0, 40))
            << " from " << c.from;
}

// One searcher reused for many searches (as gmatch and gsub use it) starts each one afresh.
TEST(PatternSearchTest, SearcherReusedAcrossSearchesStartsAfresh)
{
    CharacterClasses classes;
    classes.ReadLocale();
    WorkMeter meter;
    CompiledPattern words;
    ASSERT_EQ(words.Compile("(%a+)(%d?)", classes, true, meter), PatternProblem::None);
    PatternSearcher searcher;
    PatternMatch match;
    const std::string subject = "ab1 cd ef2";
    std::vector<std::string> found;
    for (size_t at = 0;;)
    {
        const SearchOutcome outcome = searcher.Search(words, subject, at, meter, match);
        ASSERT_EQ(outcome.problem, PatternProblem::None);
        if (!outcome.found)
            break;
        ASSERT_EQ(match.captureCount, 2u);
        found.push_back(subject.substr(match.captures[0].begin, match.captures[0].end - match.captures[0].begin) + "/" +
                        subject.substr(match.captures[1].begin, match.captures[1].end - match.captures[1].begin));
        at = match.end;
    }
    EXPECT_EQ(found, (std::vector<std::string>{"ab/1", "cd/", "ef/2"}));
    // A match with no captures gives itself as its one value.
    CompiledPattern plain;
    ASSERT_EQ(plain.Compile("c.", classes, true, meter), PatternProblem::None);
    ASSERT_TRUE(searcher.Search(plain, subject, 0, meter, match).found);
    EXPECT_EQ(match.captureCount, 0u);
    EXPECT_EQ(match.ValueCount(), 1u);
    EXPECT_EQ(match.Value(0).kind, CaptureKind::Text);
    EXPECT_EQ(subject.substr(match.Value(0).begin, match.Value(0).end - match.Value(0).begin), "cd");
}

// The classes follow the C library's character types; the upper-case letter is the rest.
TEST(PatternSearchTest, ClassesHoldTheirBytesAndUpperCaseTheRest)
{
    CharacterClasses classes;
    classes.ReadLocale();
    ASSERT_NE(classes.Named('d'), nullptr);
    ASSERT_NE(classes.Named('D'), nullptr);
    ASSERT_NE(classes.Named('z'), nullptr);
    EXPECT_EQ(classes.Named('b'), nullptr);
    EXPECT_EQ(classes.Named('1'), nullptr);
    for (unsigned c = 0; c < 256; ++c)
    {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_EQ(classes.Named('d')->Has(byte), c >= '0' && c <= '9') << c;
        EXPECT_NE(classes.Named('d')->Has(byte), classes.Named('D')->Has(byte)) << c;
        EXPECT_EQ(classes.Named('z')->Has(byte), c == 0) << c;
    }
}

// Work is counted as it is done, so whoever bounds it sees a long comparison while it runs.
TEST(PatternSearchTest, MeterCountsTheWorkAndPassesItOn)
{
    size_t passed = 0;
    WorkMeter meter([](void* total, size_t units) { *static_cast<size_t*>(total) += units; }, &passed);
    CharacterClasses classes;
    classes.ReadLocale();
    CompiledPattern pattern;
    const std::string literal = std::string(1000, 'a') + "b";
    ASSERT_EQ(pattern.Compile(literal, classes, true, meter), PatternProblem::None);
    const size_t compiled = meter.Total();
    EXPECT_GE(compiled, literal.size());
    PatternSearcher searcher;
    PatternMatch match;
    // Every start is an 'a' and would fail only at the literal's 'b': the literal is looked for as
    // text instead, in work linear in both lengths, all of it counted.
    const std::string subject = std::string(3000, 'a') + "b";
    ASSERT_TRUE(searcher.Search(pattern, subject, 0, meter, match).found);
    EXPECT_EQ(match.begin, 2000u);
    EXPECT_GE(meter.Total() - compiled, subject.size());
    EXPECT_LE(meter.Total() - compiled, 4 * (subject.size() + literal.size()));
    EXPECT_GT(passed, 0u);
    meter.Flush();
    EXPECT_EQ(passed, meter.Total());
}

TEST(PatternSearchTest, ReplacementReadsIntoTextAndReferences)
{
    struct TemplateCase
    {
        std::string text;
        const char* expected;
    };
    const TemplateCase cases[] = {
        {"abc", "T:abc"},      {"", ""},
        {"%1x%0", "V0 T:x W"}, {"<%1|%9>", "T:< V0 T:| V8 T:>"},
        {"%%", "T:%"},         {"%%%%", "T:%%"},
        {"%x%y", "T:xy"},      {"%12", "V0 T:2"},
        {"a%", "T:a\\x00"},    {std::string("a\0b", 3), "T:a\\x00b"},
    };
    for (const TemplateCase& c : cases)
    {
        ReplacementTemplate replacement;
        WorkMeter meter;
        replacement.Read(c.text, meter);
        std::string shown;
        for (const ReplacementTemplate::Part& part : replacement.Parts())
        {
            if (!shown.empty())
                shown += ' ';
            switch (part.kind)
            {
            case ReplacementTemplate::Kind::Text:
                shown += "T:" + ShowBytes(replacement.TextOf(part));
                break;
            case ReplacementTemplate::Kind::Whole:
                shown += "W";
                break;
            case ReplacementTemplate::Kind::Value:
                shown += "V" + std::to_string(part.index);
                break;
            }
        }
        EXPECT_EQ(shown, c.expected) << ShowBytes(c.text);
    }
}

// Text is looked for in windows: a match across a window's edge, a needle longer than a window
// and none at all are found as a plain search finds them, in work linear in both lengths.
TEST(PatternSearchTest, FindTextAcrossWindowsInLinearWork)
{
    constexpr size_t kWindow = size_t(1) << 16;
    const struct
    {
        size_t subject;
        size_t needle;
        size_t at; // where the needle is put; npos for nowhere
    } cases[] = {
        {3 * kWindow, 100, kWindow - 50},        {3 * kWindow, 100, 2 * kWindow - 1},
        {3 * kWindow, kWindow + 7, kWindow - 3}, {2 * kWindow + 5, 2 * kWindow, 3},
        {3 * kWindow, 100, std::string::npos},   {4 * kWindow, kWindow, 3 * kWindow},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.subject) + " " + std::to_string(c.needle) + " " + std::to_string(c.at));
        std::string subject(c.subject, 'a');
        const std::string needle = std::string(c.needle - 1, 'a') + "b";
        if (c.at != std::string::npos)
            subject.replace(c.at, needle.size(), needle);
        WorkMeter meter;
        EXPECT_EQ(FindText(subject, 0, needle, meter), subject.find(needle));
        EXPECT_LE(meter.Total(), 3 * (subject.size() + needle.size()));
        WorkMeter later;
        EXPECT_EQ(FindText(subject, 1, needle, later), subject.find(needle, 1));
    }
}

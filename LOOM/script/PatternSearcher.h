#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "LOOM/script/CompiledPattern.h"

enum class CaptureKind : uint8_t
{
    Text,       // the subject from begin to end
    Position,   // the place begin
    Unfinished, // opened and never closed
};

struct PatternCapture
{
    CaptureKind kind = CaptureKind::Text;
    size_t begin = 0;
    size_t end = 0;
};

// Where a search found its pattern, and what the captures took.
struct PatternMatch
{
    size_t begin = 0;
    size_t end = 0;
    size_t captureCount = 0;
    std::array<PatternCapture, CompiledPattern::kMaxCaptures> captures{};

    // A match gives its captures as values, or the whole match when it has none.
    size_t ValueCount() const { return captureCount > 0 ? captureCount : 1; }
    PatternCapture Value(size_t i) const
    {
        return captureCount > 0 ? captures[i] : PatternCapture{CaptureKind::Text, begin, end};
    }
};

struct SearchOutcome
{
    bool found = false;
    PatternProblem problem = PatternProblem::None;
};

// Walks a compiled pattern over a subject. Backtracking keeps its choices on a stack of its own
// (never the C stack), so a deep pattern ends in TooComplex instead of a crash. The stacks are
// kept between searches: a searcher owned by something long-lived allocates once.
class PatternSearcher
{
public:
    // Choices one attempt may keep open at once.
    static constexpr size_t kMaxChoices = 5000;

    explicit PatternSearcher(PatternMemory memory = {})
        : mChoices(PatternAllocator<Choice>(memory)), mReopen(PatternAllocator<uint8_t>(memory))
    {
    }

    // The first match starting at from or, unless the pattern is anchored, after it. A problem is
    // reported only when an attempt reaches it, as later start places are then never tried.
    SearchOutcome Search(const CompiledPattern& pattern, std::string_view subject, size_t from, WorkMeter& meter,
                         PatternMatch& match);

private:
    enum class Attempt : uint8_t
    {
        Matched,
        Failed,
        Stopped, // on mProblem
    };
    // A place to go back to: the repeated step, where its bytes start and how many it holds now.
    struct Choice
    {
        uint32_t step;
        uint32_t level;
        size_t reopenMark;
        size_t at;
        size_t count;
    };

    Attempt TryAt(size_t start);
    bool Choose(uint32_t step, size_t level, size_t at, size_t count);
    bool Backtrack(uint32_t& step, size_t& level, size_t& at);
    bool Holds(size_t at, const char* bytes, size_t length);
    // Past the byte that closes the run opening at at (a byte open), or kNowhere.
    size_t BalancedEnd(size_t at, unsigned char open, unsigned char close);
    static constexpr size_t kNowhere = SIZE_MAX;
    Attempt Stop(PatternProblem problem)
    {
        mProblem = problem;
        return Attempt::Stopped;
    }

    // The next place at or after from where the pattern's leading literal stands, or kNowhere.
    size_t NextLiteral(size_t from);

    PatternVector<Choice> mChoices;
    // Captures closed while a choice was open: going back past the choice opens them again.
    PatternVector<uint8_t> mReopen;
    // Where the leading literal was last found, and from where that search looked.
    size_t mLiteralAt = kNowhere;
    size_t mLiteralFrom = kNowhere;

    // The search under way.
    const CompiledPattern* mPattern = nullptr;
    const unsigned char* mSubject = nullptr;
    size_t mLength = 0;
    WorkMeter* mMeter = nullptr;
    PatternMatch* mMatch = nullptr;
    PatternProblem mProblem = PatternProblem::None;
};

#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

// Patterns as scripts write them, compiled once into steps a searcher walks (PatternSearcher.h).
// Nothing here knows the scripting library, so it is tested on its own.

// Where a pattern's memory comes from: the C++ heap by default. A script's patterns take theirs
// through the script's own allocator, so that they count toward its cap. Grow has that
// allocator's shape (context, block, old size, new size; a new size of 0 frees) and gives null
// when it refuses, which reaches the caller as std::bad_alloc.
struct PatternMemory
{
    using Grow = void* (*)(void* context, void* block, size_t oldSize, size_t newSize);
    Grow grow = nullptr;
    void* context = nullptr;
};

template <typename T>
class PatternAllocator
{
public:
    using value_type = T;
    PatternAllocator() = default;
    explicit PatternAllocator(PatternMemory memory) : mMemory(memory) {}
    template <typename U>
    PatternAllocator(const PatternAllocator<U>& other) : mMemory(other.Memory())
    {
    }
    T* allocate(size_t count)
    {
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        if (!mMemory.grow)
            return static_cast<T*>(::operator new(count * sizeof(T)));
        void* block = mMemory.grow(mMemory.context, nullptr, 0, count * sizeof(T));
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t count)
    {
        if (mMemory.grow)
            mMemory.grow(mMemory.context, block, count * sizeof(T), 0);
        else
            ::operator delete(block);
    }
    PatternMemory Memory() const { return mMemory; }
    template <typename U>
    bool operator==(const PatternAllocator<U>& other) const
    {
        return mMemory.grow == other.Memory().grow && mMemory.context == other.Memory().context;
    }

private:
    PatternMemory mMemory;
};

template <typename T>
using PatternVector = std::vector<T, PatternAllocator<T>>;
using PatternString = std::basic_string<char, std::char_traits<char>, PatternAllocator<char>>;

// A set of bytes, one bit each: testing a byte is one shift and mask.
class ByteSet
{
public:
    bool Has(unsigned char c) const { return ((mWords[c >> 6] >> (c & 63)) & 1) != 0; }
    void Add(unsigned char c) { mWords[c >> 6] |= uint64_t(1) << (c & 63); }
    void AddRange(unsigned char low, unsigned char high);
    void AddAll(const ByteSet& other);
    void Invert();
    static ByteSet Everything();

private:
    std::array<uint64_t, 4> mWords{};
};

// The sets a letter after '%' names (a c d l p s u w x z, the upper-case letter for the rest of
// the bytes), taken from the C library's character types in the locale current when read.
class CharacterClasses
{
public:
    void ReadLocale();
    // Null for a letter that names no class (it then stands for itself).
    const ByteSet* Named(unsigned char letter) const;

private:
    std::array<ByteSet, 20> mSets;
    static constexpr uint8_t kNoClass = 0xff;
    std::array<uint8_t, 256> mSlot{};
};

// Why a pattern cannot be used. The texts (PatternProblemText) are what scripts see.
enum class PatternProblem : uint8_t
{
    None,
    EndsWithEscape,
    MissingBracket,
    MissingFrontierSet,
    Unbalanced,
    TooComplex,
    TooManyCaptures,
    InvalidPatternCapture,
    InvalidCaptureIndex,
    UnfinishedCapture,
};
const char* PatternProblemText(PatternProblem problem);

// Counts work done for a caller that bounds it (compared and written bytes, steps tried), passing
// the count on in batches. The sink may not return (a watchdog stopping the work): callers of a
// meter keep no resources in their own frames.
class WorkMeter
{
public:
    using Sink = void (*)(void* context, size_t units);
    WorkMeter() = default;
    WorkMeter(Sink sink, void* context) : mSink(sink), mContext(context) {}
    void Add(size_t units)
    {
        mPending += units;
        if (mPending >= kBatch)
            Flush();
    }
    void Flush();
    // Everything counted so far, whether passed on or not.
    size_t Total() const { return mPassed + mPending; }

private:
    static constexpr size_t kBatch = 256;
    Sink mSink = nullptr;
    void* mContext = nullptr;
    size_t mPending = 0;
    size_t mPassed = 0;
};

// Where needle first stands in subject at or after from (npos when nowhere), in time linear in
// both lengths, counted into meter as it goes.
size_t FindText(std::string_view subject, size_t from, std::string_view needle, WorkMeter& meter);

// What one step of a compiled pattern does.
enum class PatternOp : uint8_t
{
    Literal,  // the bytes mLiterals[arg, arg + length)
    One,      // one byte of set arg
    Maybe,    // one byte of set arg, or none
    Most,     // as many bytes of set arg as there are, giving them back one by one
    MostOne,  // the same, at least one
    Fewest,   // as few bytes of set arg as will do
    Open,     // a capture of text starts
    Position, // a capture of the place
    Close,    // the innermost open capture ends
    Balanced, // a run from byte first to its matching byte second
    Frontier, // the byte before is out of set arg and the byte here in it
    Again,    // the text capture number first (1-9; 0 is no capture) took, once more
    AtEnd,    // the subject ends here
    Broken,   // the pattern is malformed from here: problem first, raised when a search gets here
    Accept,   // the whole pattern matched
};

struct PatternStep
{
    PatternOp op = PatternOp::Accept;
    uint8_t first = 0;
    uint8_t second = 0;
    uint32_t arg = 0;
    uint32_t length = 0;
};

class CompiledPattern
{
public:
    static constexpr size_t kMaxSteps = size_t(1) << 16;
    // A leading literal at least this long is looked for as text before any attempt.
    static constexpr size_t kSearchedLiteral = 8;
    // Captures one match may hold; opening one more is TooManyCaptures.
    static constexpr size_t kMaxCaptures = 32;

    explicit CompiledPattern(PatternMemory memory = {})
        : mSteps(PatternAllocator<PatternStep>(memory)), mSets(PatternAllocator<ByteSet>(memory)),
          mLiterals(PatternAllocator<char>(memory))
    {
    }

    // Compiles text, reading classes now: a later change of locale does not reach this pattern.
    // With leadingAnchor a '^' first ties every match to where a search starts. Malformed parts
    // become Broken steps (a search that never reaches them is not troubled); the only failure
    // here is TooComplex, for more steps than kMaxSteps.
    PatternProblem Compile(std::string_view text, const CharacterClasses& classes, bool leadingAnchor,
                           WorkMeter& meter);

    bool Anchored() const { return mAnchored; }
    const PatternVector<PatternStep>& Steps() const { return mSteps; }
    const ByteSet& Set(uint32_t index) const { return mSets[index]; }
    std::string_view Literal(const PatternStep& step) const { return {mLiterals.data() + step.arg, step.length}; }
    // A set every match's first byte is in, or null when a match may start with any byte or none.
    const ByteSet* Lead() const { return mLead < 0 ? nullptr : &mSets[size_t(mLead)]; }
    // The literal every match starts with, when the pattern opens with one (captures before it
    // aside) long enough to be searched for as text; empty otherwise.
    std::string_view LeadLiteral() const
    {
        return mLeadLiteral < 0 ? std::string_view() : Literal(mSteps[size_t(mLeadLiteral)]);
    }

private:
    uint32_t AddSet(const ByteSet& set);
    // A set every occurrence of one key shares (a class letter, '.', or a byte repeated): one
    // set however often the pattern names it. keys holds the index + 1 of each key's set.
    uint32_t SharedSet(std::array<uint32_t, 256>& keys, unsigned char key, const ByteSet& set);
    void AddLiteral(char c);
    // The set whose '[' is at open, as a new set; returns the index past its ']', 0 when the
    // pattern ends before one.
    size_t BracketSet(std::string_view text, size_t open, const CharacterClasses& classes, uint32_t& set);
    void FindLead();

    PatternVector<PatternStep> mSteps;
    PatternVector<ByteSet> mSets;
    PatternString mLiterals;
    int32_t mLead = -1;
    int32_t mLeadLiteral = -1;
    bool mAnchored = false;
};

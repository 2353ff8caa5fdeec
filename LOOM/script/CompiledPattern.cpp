#include "LOOM/script/CompiledPattern.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace {

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The step a repetition mark after one byte's set makes of it; One when there is none.
PatternOp RepeatAfter(std::string_view text, size_t at)
{
    constexpr std::string_view kMarks = "*+-?";
    constexpr PatternOp kMarked[] = {PatternOp::Most, PatternOp::MostOne, PatternOp::Fewest, PatternOp::Maybe};
    const size_t mark = at < text.size() ? kMarks.find(text[at]) : std::string_view::npos;
    return mark == std::string_view::npos ? PatternOp::One : kMarked[mark];
}

} // namespace

void ByteSet::AddRange(unsigned char low, unsigned char high)
{
    for (unsigned c = low; c <= high; ++c)
        Add(static_cast<unsigned char>(c));
}

void ByteSet::AddAll(const ByteSet& other)
{
    for (size_t i = 0; i < mWords.size(); ++i)
        mWords[i] |= other.mWords[i];
}

void ByteSet::Invert()
{
    for (uint64_t& word : mWords)
        word = ~word;
}

ByteSet ByteSet::Everything()
{
    ByteSet all;
    all.Invert();
    return all;
}

void CharacterClasses::ReadLocale()
{
    struct Kind
    {
        char letter;
        bool (*holds)(unsigned char);
    };
    static const Kind kKinds[] = {
        {'a', [](unsigned char c) { return std::isalpha(c) != 0; }},
        {'c', [](unsigned char c) { return std::iscntrl(c) != 0; }},
        {'d', [](unsigned char c) { return std::isdigit(c) != 0; }},
        {'l', [](unsigned char c) { return std::islower(c) != 0; }},
        {'p', [](unsigned char c) { return std::ispunct(c) != 0; }},
        {'s', [](unsigned char c) { return std::isspace(c) != 0; }},
        {'u', [](unsigned char c) { return std::isupper(c) != 0; }},
        {'w', [](unsigned char c) { return std::isalnum(c) != 0; }},
        {'x', [](unsigned char c) { return std::isxdigit(c) != 0; }},
        {'z', [](unsigned char c) { return c == 0; }},
    };
    static_assert(std::size(kKinds) * 2 == std::tuple_size_v<decltype(mSets)>);
    mSlot.fill(kNoClass);
    size_t slot = 0;
    for (const Kind& kind : kKinds)
    {
        ByteSet& lower = mSets[slot];
        lower = ByteSet();
        for (unsigned c = 0; c <= UCHAR_MAX; ++c)
            if (kind.holds(static_cast<unsigned char>(c)))
                lower.Add(static_cast<unsigned char>(c));
        ByteSet& upper = mSets[slot + 1];
        upper = lower;
        upper.Invert();
        mSlot[Byte(kind.letter)] = uint8_t(slot);
        mSlot[Byte(kind.letter) - 'a' + 'A'] = uint8_t(slot + 1);
        slot += 2;
    }
}

const ByteSet* CharacterClasses::Named(unsigned char letter) const
{
    const uint8_t slot = mSlot[letter];
    return slot == kNoClass ? nullptr : &mSets[slot];
}

const char* PatternProblemText(PatternProblem problem)
{
    switch (problem)
    {
    case PatternProblem::None:
        return "no problem";
    case PatternProblem::EndsWithEscape:
        return "malformed pattern (ends with '%')";
    case PatternProblem::MissingBracket:
        return "malformed pattern (missing ']')";
    case PatternProblem::MissingFrontierSet:
        return "missing '[' after '%f' in pattern";
    case PatternProblem::Unbalanced:
        return "unbalanced pattern";
    case PatternProblem::TooComplex:
        return "pattern too complex";
    case PatternProblem::TooManyCaptures:
        return "too many captures";
    case PatternProblem::InvalidPatternCapture:
        return "invalid pattern capture";
    case PatternProblem::InvalidCaptureIndex:
        return "invalid capture index";
    case PatternProblem::UnfinishedCapture:
        return "unfinished capture";
    }
    return "unknown pattern problem";
}

void WorkMeter::Flush()
{
    const size_t units = mPending;
    mPending = 0;
    mPassed += units;
    if (mSink && units > 0)
        mSink(mContext, units);
}

size_t FindText(std::string_view subject, size_t from, std::string_view needle, WorkMeter& meter)
{
    meter.Add(1);
    if (from > subject.size() || needle.size() > subject.size() - from)
        return std::string_view::npos;
    if (needle.empty())
        return from;
    // memmem is linear (a two-way search for long needles). It runs on windows so that the work is
    // counted, and can be stopped, as it goes; a window at least as long as the needle keeps the
    // whole linear. Each window holds every byte of a match starting in it.
    constexpr size_t kWindow = size_t(1) << 16;
    const size_t window = std::max(kWindow, needle.size());
    for (size_t start = from;; start += window)
    {
        const size_t end =
            subject.size() - start - needle.size() < window ? subject.size() : start + window - 1 + needle.size();
        meter.Add(end - start + needle.size());
        const void* found = ::memmem(subject.data() + start, end - start, needle.data(), needle.size());
        if (found)
            return size_t(static_cast<const char*>(found) - subject.data());
        if (end == subject.size())
            return std::string_view::npos;
    }
}

uint32_t CompiledPattern::AddSet(const ByteSet& set)
{
    mSets.push_back(set);
    return uint32_t(mSets.size() - 1);
}

uint32_t CompiledPattern::SharedSet(std::array<uint32_t, 256>& keys, unsigned char key, const ByteSet& set)
{
    if (keys[key] == 0)
        keys[key] = AddSet(set) + 1;
    return keys[key] - 1;
}

void CompiledPattern::AddLiteral(char c)
{
    const bool extends = !mSteps.empty() && mSteps.back().op == PatternOp::Literal &&
        mSteps.back().arg + mSteps.back().length == mLiterals.size();
    if (extends)
        ++mSteps.back().length;
    else
        mSteps.push_back(PatternStep{PatternOp::Literal, 0, 0, uint32_t(mLiterals.size()), 1});
    mLiterals.push_back(c);
}

size_t CompiledPattern::BracketSet(std::string_view text, size_t open, const CharacterClasses& classes, uint32_t& set)
{
    const size_t n = text.size();
    size_t first = open + 1;
    const bool inverted = first < n && text[first] == '^';
    if (inverted)
        ++first;
    // The set ends at the first ']' after its first member, where "%x" is one member: so "[]]"
    // holds ']' and "[%]]" does too.
    size_t close = first;
    for (;;)
    {
        if (close >= n)
            return 0;
        close += text[close] == '%' && close + 1 < n ? 2 : 1;
        if (close < n && text[close] == ']')
            break;
    }

    // Members: "%x" a class (or x itself), "a-z" a range ending before the ']', any other byte
    // itself. A range can reach over a '%' that hid a ']' above: that ']' is then a member.
    ByteSet members;
    size_t at = first;
    while (at < close)
    {
        const unsigned char c = Byte(text[at]);
        const unsigned char after = Byte(text[at + 1]);
        if (c == '%')
        {
            const ByteSet* named = classes.Named(after);
            if (named)
                members.AddAll(*named);
            else
                members.Add(after);
            at += 2;
        }
        else if (after == '-' && at + 2 < close)
        {
            members.AddRange(c, Byte(text[at + 2]));
            at += 3;
        }
        else
        {
            members.Add(c);
            at += 1;
        }
    }
    if (inverted)
        members.Invert();
    set = AddSet(members);
    return close + 1;
}

PatternProblem CompiledPattern::Compile(std::string_view text, const CharacterClasses& classes, bool leadingAnchor,
                                        WorkMeter& meter)
{
    mSteps.clear();
    mSets.clear();
    mLiterals.clear();
    // Room for a usual pattern at once, instead of growing step by step.
    mSteps.reserve(std::min<size_t>(text.size() + 2, 32));
    mSets.reserve(std::min<size_t>(text.size() + 1, 8));
    mLead = -1;
    mLeadLiteral = -1;
    std::array<uint32_t, 256> classSets{};
    std::array<uint32_t, 256> byteSets{};
    mAnchored = leadingAnchor && !text.empty() && text[0] == '^';
    // Offsets into the pattern are 32 bits; no match could hold a pattern that long anyway.
    if (text.size() >= UINT32_MAX)
        return PatternProblem::TooComplex;
    const size_t n = text.size();
    const auto has = [&](size_t at, char c) { return at < n && text[at] == c; };
    size_t at = mAnchored ? 1 : 0;
    PatternProblem broken = PatternProblem::None;
    while (at < n && broken == PatternProblem::None)
    {
        if (mSteps.size() >= kMaxSteps)
            return PatternProblem::TooComplex;
        const size_t from = at;
        PatternStep step;
        const char c = text[at];
        if (c == '(')
        {
            step.op = has(at + 1, ')') ? PatternOp::Position : PatternOp::Open;
            at += step.op == PatternOp::Position ? 2 : 1;
        }
        else if (c == ')')
        {
            step.op = PatternOp::Close;
            ++at;
        }
        else if (c == '$' && at + 1 == n)
        {
            step.op = PatternOp::AtEnd;
            ++at;
        }
        else if (c == '%' && has(at + 1, 'b'))
        {
            if (at + 3 >= n)
            {
                broken = PatternProblem::Unbalanced;
                continue;
            }
            step.op = PatternOp::Balanced;
            step.first = Byte(text[at + 2]);
            step.second = Byte(text[at + 3]);
            at += 4;
        }
        else if (c == '%' && has(at + 1, 'f'))
        {
            if (!has(at + 2, '['))
            {
                broken = PatternProblem::MissingFrontierSet;
                continue;
            }
            const size_t after = BracketSet(text, at + 2, classes, step.arg);
            if (after == 0)
            {
                broken = PatternProblem::MissingBracket;
                continue;
            }
            step.op = PatternOp::Frontier;
            at = after;
        }
        else if (c == '%' && at + 1 < n && IsDigit(text[at + 1]))
        {
            step.op = PatternOp::Again;
            step.first = uint8_t(text[at + 1] - '0');
            at += 2;
        }
        else
        {
            // One byte: of any kind ('.'), of a set, of a class, or the byte itself.
            bool literal = false;
            char itself = c;
            size_t end = at + 1;
            if (c == '.')
            {
                step.arg = SharedSet(classSets, '.', ByteSet::Everything());
            }
            else if (c == '[')
            {
                end = BracketSet(text, at, classes, step.arg);
                if (end == 0)
                {
                    broken = PatternProblem::MissingBracket;
                    continue;
                }
            }
            else if (c == '%')
            {
                if (at + 1 >= n)
                {
                    broken = PatternProblem::EndsWithEscape;
                    continue;
                }
                itself = text[at + 1];
                end = at + 2;
                if (const ByteSet* named = classes.Named(Byte(itself)))
                    step.arg = SharedSet(classSets, Byte(itself), *named);
                else
                    literal = true;
            }
            else
            {
                literal = true;
            }
            step.op = RepeatAfter(text, end);
            if (step.op != PatternOp::One)
                ++end;
            meter.Add(end - at);
            at = end;
            // A byte that stands for itself, once, joins the run of such bytes before it.
            if (literal && step.op == PatternOp::One)
            {
                AddLiteral(itself);
                continue;
            }
            if (literal)
            {
                ByteSet one;
                one.Add(Byte(itself));
                step.arg = SharedSet(byteSets, Byte(itself), one);
            }
            mSteps.push_back(step);
            continue;
        }
        meter.Add(at - from);
        mSteps.push_back(step);
    }
    if (broken != PatternProblem::None)
        mSteps.push_back(PatternStep{PatternOp::Broken, uint8_t(broken), 0, 0, 0});
    mSteps.push_back(PatternStep{});
    FindLead();
    return PatternProblem::None;
}

void CompiledPattern::FindLead()
{
    // Captures opening before the first byte take none; past the most a match may hold, the
    // search must reach them to report it.
    size_t first = 0;
    while (first < mSteps.size() && first < kMaxCaptures &&
           (mSteps[first].op == PatternOp::Open || mSteps[first].op == PatternOp::Position))
        ++first;
    if (first >= mSteps.size())
        return;
    const PatternStep& step = mSteps[first];
    if (step.op == PatternOp::One || step.op == PatternOp::MostOne)
    {
        mLead = int32_t(step.arg);
    }
    else if (step.op == PatternOp::Literal)
    {
        ByteSet lead;
        lead.Add(Byte(mLiterals[step.arg]));
        mLead = int32_t(AddSet(lead));
        // A literal a repetition may shorten is no fixed start: "ab*" has its 'b' in a step of
        // its own, so a Literal step is always whole.
        if (step.length >= kSearchedLiteral)
            mLeadLiteral = int32_t(first);
    }
}

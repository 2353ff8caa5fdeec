#include "LOOM/script/PatternSearcher.h"

#include <algorithm>
#include <cstring>

SearchOutcome PatternSearcher::Search(const CompiledPattern& pattern, std::string_view subject, size_t from,
                                      WorkMeter& meter, PatternMatch& match)
{
    mPattern = &pattern;
    mSubject = reinterpret_cast<const unsigned char*>(subject.data());
    mLength = subject.size();
    mMeter = &meter;
    mMatch = &match;
    const bool anchored = pattern.Anchored();
    // A match must start on a byte of the lead set, or where its leading literal stands: other
    // places are passed over untried.
    const ByteSet* lead = anchored ? nullptr : pattern.Lead();
    const bool findLiteral = !anchored && !pattern.LeadLiteral().empty();
    mLiteralAt = mLiteralFrom = kNowhere;
    for (size_t start = from; start <= mLength; ++start)
    {
        if (findLiteral)
        {
            start = NextLiteral(start);
            if (start == kNowhere)
                break;
        }
        else if (lead)
        {
            const size_t skipFrom = start;
            while (start < mLength && !lead->Has(mSubject[start]))
                ++start;
            meter.Add(start - skipFrom);
            if (start == mLength)
                break;
        }
        switch (TryAt(start))
        {
        case Attempt::Matched:
            return SearchOutcome{true, PatternProblem::None};
        case Attempt::Stopped:
            return SearchOutcome{false, mProblem};
        case Attempt::Failed:
            break;
        }
        if (anchored)
            break;
    }
    return SearchOutcome{};
}

size_t PatternSearcher::NextLiteral(size_t from)
{
    // Start places only grow within a search: a place found (or none) past from still holds.
    if (mLiteralFrom != kNowhere && mLiteralFrom <= from && (mLiteralAt == kNowhere || mLiteralAt >= from))
        return mLiteralAt;
    const std::string_view subject(reinterpret_cast<const char*>(mSubject), mLength);
    const size_t at = FindText(subject, from, mPattern->LeadLiteral(), *mMeter);
    mLiteralFrom = from;
    mLiteralAt = at == std::string_view::npos ? kNowhere : at;
    return mLiteralAt;
}

bool PatternSearcher::Choose(uint32_t step, size_t level, size_t at, size_t count)
{
    if (mChoices.size() >= kMaxChoices)
        return false;
    mChoices.push_back(Choice{step, uint32_t(level), mReopen.size(), at, count});
    return true;
}

bool PatternSearcher::Holds(size_t at, const char* bytes, size_t length)
{
    if (mLength - at < length)
        return false;
    // In slices, so that a long run is counted (and can be stopped) as it is compared.
    constexpr size_t kSlice = 4096;
    for (size_t done = 0; done < length;)
    {
        const size_t slice = std::min(kSlice, length - done);
        mMeter->Add(slice);
        if (std::memcmp(mSubject + at + done, bytes + done, slice) != 0)
            return false;
        done += slice;
    }
    return true;
}

size_t PatternSearcher::BalancedEnd(size_t at, unsigned char open, unsigned char close)
{
    // The closing byte is tested first (past the opening one), so with the same byte for both
    // the run ends at its next one.
    size_t depth = 0;
    for (size_t i = at; i < mLength; ++i)
    {
        mMeter->Add(1);
        const unsigned char c = mSubject[i];
        if (i > at && c == close)
        {
            if (--depth == 0)
                return i + 1;
        }
        else if (c == open)
        {
            ++depth;
        }
    }
    return kNowhere;
}

bool PatternSearcher::Backtrack(uint32_t& step, size_t& level, size_t& at)
{
    auto& captures = mMatch->captures;
    while (!mChoices.empty())
    {
        mMeter->Add(1);
        Choice& choice = mChoices.back();
        while (mReopen.size() > choice.reopenMark)
        {
            captures[mReopen.back()].kind = CaptureKind::Unfinished;
            mReopen.pop_back();
        }
        level = choice.level;
        step = choice.step + 1;
        const PatternStep& repeated = mPattern->Steps()[choice.step];
        switch (repeated.op)
        {
        case PatternOp::Maybe:
            // The byte was taken first: now go on without it.
            at = choice.at;
            mChoices.pop_back();
            return true;
        case PatternOp::Most:
        case PatternOp::MostOne:
        {
            // Give back one byte; the least the step holds leaves no choice behind.
            --choice.count;
            at = choice.at + choice.count;
            const size_t least = repeated.op == PatternOp::MostOne ? 1 : 0;
            if (choice.count == least)
                mChoices.pop_back();
            return true;
        }
        default:
            // Fewest: take one byte more, while there is one of the set.
            if (choice.at < mLength && mPattern->Set(repeated.arg).Has(mSubject[choice.at]))
            {
                at = ++choice.at;
                return true;
            }
            mChoices.pop_back();
            break;
        }
    }
    return false;
}

PatternSearcher::Attempt PatternSearcher::TryAt(size_t start)
{
    mChoices.clear();
    mReopen.clear();
    mMeter->Add(1);
    const PatternVector<PatternStep>& steps = mPattern->Steps();
    auto& captures = mMatch->captures;
    size_t level = 0;
    size_t at = start;
    uint32_t index = 0;
    for (;;)
    {
        const PatternStep& step = steps[index];
        bool ok = true;
        switch (step.op)
        {
        case PatternOp::Accept:
            mMatch->begin = start;
            mMatch->end = at;
            mMatch->captureCount = level;
            return Attempt::Matched;
        case PatternOp::Broken:
            return Stop(PatternProblem(step.first));
        case PatternOp::Literal:
        {
            const std::string_view literal = mPattern->Literal(step);
            ok = Holds(at, literal.data(), literal.size());
            at += ok ? literal.size() : 0;
            break;
        }
        case PatternOp::One:
            mMeter->Add(1);
            ok = at < mLength && mPattern->Set(step.arg).Has(mSubject[at]);
            at += ok ? 1 : 0;
            break;
        case PatternOp::Maybe:
            mMeter->Add(1);
            if (at < mLength && mPattern->Set(step.arg).Has(mSubject[at]))
            {
                if (!Choose(index, level, at, 0))
                    return Stop(PatternProblem::TooComplex);
                ++at;
            }
            break;
        case PatternOp::Most:
        case PatternOp::MostOne:
        {
            const ByteSet& set = mPattern->Set(step.arg);
            size_t run = 0;
            while (at + run < mLength && set.Has(mSubject[at + run]))
                ++run;
            mMeter->Add(run + 1);
            const size_t least = step.op == PatternOp::MostOne ? 1 : 0;
            if (run < least)
            {
                ok = false;
                break;
            }
            if (run > least && !Choose(index, level, at, run))
                return Stop(PatternProblem::TooComplex);
            at += run;
            break;
        }
        case PatternOp::Fewest:
            if (!Choose(index, level, at, 0))
                return Stop(PatternProblem::TooComplex);
            break;
        case PatternOp::Open:
        case PatternOp::Position:
            if (level >= CompiledPattern::kMaxCaptures)
                return Stop(PatternProblem::TooManyCaptures);
            captures[level] =
                PatternCapture{step.op == PatternOp::Open ? CaptureKind::Unfinished : CaptureKind::Position, at, at};
            ++level;
            break;
        case PatternOp::Close:
        {
            size_t open = level;
            while (open > 0 && captures[open - 1].kind != CaptureKind::Unfinished)
                --open;
            if (open == 0)
                return Stop(PatternProblem::InvalidPatternCapture);
            PatternCapture& closed = captures[open - 1];
            closed.kind = CaptureKind::Text;
            closed.end = at;
            // With no choice open nothing can go back past this close.
            if (!mChoices.empty())
                mReopen.push_back(uint8_t(open - 1));
            break;
        }
        case PatternOp::Balanced:
        {
            const size_t end =
                at < mLength && mSubject[at] == step.first ? BalancedEnd(at, step.first, step.second) : kNowhere;
            ok = end != kNowhere;
            at = ok ? end : at;
            break;
        }
        case PatternOp::Frontier:
        {
            // Outside the subject, on both sides, stands a NUL byte.
            const ByteSet& set = mPattern->Set(step.arg);
            const unsigned char before = at == 0 ? 0 : mSubject[at - 1];
            const unsigned char here = at < mLength ? mSubject[at] : 0;
            ok = !set.Has(before) && set.Has(here);
            break;
        }
        case PatternOp::Again:
        {
            // %0 names no capture.
            if (step.first == 0 || step.first > level || captures[step.first - 1].kind == CaptureKind::Unfinished)
                return Stop(PatternProblem::InvalidCaptureIndex);
            const PatternCapture& taken = captures[step.first - 1];
            // A place holds no text to match again.
            ok = taken.kind == CaptureKind::Text &&
                Holds(at, reinterpret_cast<const char*>(mSubject) + taken.begin, taken.end - taken.begin);
            at += ok ? taken.end - taken.begin : 0;
            break;
        }
        case PatternOp::AtEnd:
            ok = at == mLength;
            break;
        }
        if (ok)
            ++index;
        else if (!Backtrack(index, level, at))
            return Attempt::Failed;
    }
}

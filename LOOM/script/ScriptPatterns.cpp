#include "LOOM/script/ScriptPatterns.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <lua.hpp>

#include "LOOM/script/ScriptManager.h"

// Lua raises by longjmp. Everything with a destructor lives in a userdata the collector
// finalises, so a raise in the middle of a match (a malformed piece, the watchdog, an error in a
// replacement function) leaks nothing; the C++ frames below hold plain values only.

namespace {

// Characters compared between two looks at the watchdog's clock.
constexpr size_t kStepsPerCheck = 4096;
constexpr int kMaxCaptures = 32;
constexpr const char* kWorkMeta = "LOOM.PatternWork";
// Any of these before the first NUL makes find match a pattern instead of searching text.
constexpr const char* kMagic = "^$*+?.([%-";

size_t gSteps = 0;

void Count(lua_State* L, size_t steps)
{
    gSteps += steps;
    if (gSteps >= kStepsPerCheck)
    {
        gSteps = 0;
        ScriptManager::Instance().RaiseIfStopped(L);
    }
}

// The texts a malformed pattern raises, once a match reaches the bad piece (as Lua's own).
constexpr const char* kFaults[] = {
    "malformed pattern (ends with '%')",
    "malformed pattern (missing ']')",
    "missing '[' after '%f' in pattern",
    "unbalanced pattern",
};
enum Fault : uint32_t
{
    kEndsWithEscape,
    kMissingBracket,
    kMissingFrontierSet,
    kUnbalanced,
};

// A set of characters, one bit each.
struct CharMap
{
    std::array<uint64_t, 4> bits{};
    bool Has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1u; }
    void Add(unsigned char c) { bits[c >> 6] |= uint64_t(1) << (c & 63); }
    void Invert()
    {
        for (uint64_t& word : bits)
            word = ~word;
    }
};

// What one piece of a compiled pattern does.
enum class Piece : uint8_t
{
    Text,      // characters the subject must hold here, as they are
    Character, // one character of a class, maybe repeated
    Open,      // a capture starts
    Position,  // a capture of the position
    Close,     // the innermost open capture ends
    Balanced,  // %bxy
    Frontier,  // %f[set]
    Again,     // %0-%9: what a capture took, once more
    End,       // '$' last: the subject ends here
    Fault,     // malformed from here on: raises when a match gets here
    Done,      // the whole pattern matched
};

enum class Repeat : uint8_t
{
    Once,
    Maybe, // ?
    Most,  // *
    Some,  // +
    Least, // -
};

enum class Test : uint8_t
{
    Any,
    Char,
    Class,
    Map,
};

struct Item
{
    Piece piece = Piece::Done;
    Repeat repeat = Repeat::Once;
    Test test = Test::Any;
    unsigned char first = 0;  // Char: the character; Class: its letter; Balanced: the opener; Again: the digit
    unsigned char second = 0; // Balanced: the closer
    uint32_t index = 0;       // Map, Frontier: the map; Text: offset in the pattern; Fault: the text
    uint32_t length = 0;      // Text: how many characters
};

constexpr ptrdiff_t kOpenCapture = -1;
constexpr ptrdiff_t kPositionCapture = -2;

struct Capture
{
    size_t start = 0;
    ptrdiff_t length = kOpenCapture;
};

// A way back: the repeated or optional piece at item, where trying again starts from.
struct Choice
{
    uint32_t item;
    int32_t captures;
    size_t trail;
    size_t at;
    size_t count;
};

// A closed capture's length before it closed, restored when a match goes back past it.
struct Undo
{
    int32_t capture;
    ptrdiff_t length;
};

bool ClassHolds(unsigned char letter, unsigned char c)
{
    bool holds = false;
    switch (std::tolower(letter))
    {
    case 'a':
        holds = std::isalpha(c);
        break;
    case 'c':
        holds = std::iscntrl(c);
        break;
    case 'd':
        holds = std::isdigit(c);
        break;
    case 'l':
        holds = std::islower(c);
        break;
    case 'p':
        holds = std::ispunct(c);
        break;
    case 's':
        holds = std::isspace(c);
        break;
    case 'u':
        holds = std::isupper(c);
        break;
    case 'w':
        holds = std::isalnum(c);
        break;
    case 'x':
        holds = std::isxdigit(c);
        break;
    case 'z':
        holds = c == 0;
        break;
    default:
        return letter == c;
    }
    // An upper-case class letter is the complement.
    return std::isupper(letter) ? !holds : holds;
}

bool IsClassLetter(unsigned char letter) { return std::strchr("acdlpsuwxz", std::tolower(letter)) && letter; }

// One compiled pattern and the state of matching it against one subject. Built in a userdata.
class Work
{
public:
    // False when the pattern has more pieces than a match may hold.
    bool Compile(lua_State* L, const char* text, size_t length);
    void Bind(lua_State* L, const char* subject, size_t length)
    {
        mL = L;
        mSubject = reinterpret_cast<const unsigned char*>(subject);
        mLength = length;
    }
    // Matches the pattern from at; true with end set past the match.
    bool MatchAt(size_t at, size_t& end);

    // Pushes capture i of the last match; with no captures, i 0 is the whole match.
    void PushCaptured(int i, size_t from, size_t to) const;
    // Pushes every capture (or the whole match, when whole and there are none); returns how many.
    int PushResults(size_t from, size_t to, bool whole) const;

private:
    bool Accepts(const Item& item, unsigned char c) const
    {
        switch (item.test)
        {
        case Test::Any:
            return true;
        case Test::Char:
            return c == item.first;
        case Test::Class:
            return ClassHolds(item.first, c);
        case Test::Map:
            return mMaps[item.index].Has(c);
        }
        return false;
    }
    uint32_t ClassMap(unsigned char letter);
    // Reads the set whose '[' is at open into a map; the index past its ']', or 0 with none.
    size_t ReadSet(size_t open, uint32_t& map);
    void AddText(size_t offset);
    void Add(const Item& item) { mItems.push_back(item); }
    void Push(uint32_t item, size_t at, size_t count);
    bool Repeated(uint32_t index, const Item& item, size_t& at);
    bool Holds(size_t at, const unsigned char* text, size_t length) const;
    bool GoBack(uint32_t& next, size_t& at);

    std::vector<Item> mItems;
    std::vector<CharMap> mMaps;
    std::array<int32_t, 256> mClassMaps{};
    const char* mText = nullptr;
    size_t mTextLength = 0;

    lua_State* mL = nullptr;
    const unsigned char* mSubject = nullptr;
    size_t mLength = 0;
    std::vector<Choice> mChoices;
    std::vector<Undo> mTrail;
    std::array<Capture, kMaxCaptures> mCaptures{};
    int mLevel = 0;
};

uint32_t Work::ClassMap(unsigned char letter)
{
    // Made per pattern: a script may change the locale the classes follow.
    if (mClassMaps[letter] < 0)
    {
        CharMap map;
        for (int c = 0; c < 256; ++c)
            if (ClassHolds(letter, static_cast<unsigned char>(c)))
                map.Add(static_cast<unsigned char>(c));
        mClassMaps[letter] = int32_t(mMaps.size());
        mMaps.push_back(map);
    }
    return uint32_t(mClassMaps[letter]);
}

size_t Work::ReadSet(size_t open, uint32_t& map)
{
    const char* p = mText;
    const size_t n = mTextLength;
    size_t first = open + 1;
    const bool negated = first < n && p[first] == '^';
    if (negated)
        ++first;
    // Where the set ends: its first character is a member even when it is ']', and '%' hides
    // the character after it.
    size_t close = first;
    for (;;)
    {
        if (close >= n)
            return 0;
        if (p[close++] == '%' && close < n)
            ++close;
        if (close < n && p[close] == ']')
            break;
    }
    Count(mL, close - open);
    CharMap members;
    for (size_t i = first; i < close;)
    {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '%')
        {
            // The escaped character may be the closing ']' itself, after a range took the '%'.
            const auto letter = static_cast<unsigned char>(p[i + 1]);
            if (IsClassLetter(letter))
            {
                const CharMap& cls = mMaps[ClassMap(letter)];
                for (size_t w = 0; w < members.bits.size(); ++w)
                    members.bits[w] |= cls.bits[w];
            }
            else
            {
                members.Add(letter);
            }
            i += 2;
        }
        else if (i + 2 < close && p[i + 1] == '-')
        {
            const auto last = static_cast<unsigned char>(p[i + 2]);
            for (unsigned x = c; x <= last; ++x)
                members.Add(static_cast<unsigned char>(x));
            i += 3;
        }
        else
        {
            members.Add(c);
            ++i;
        }
    }
    if (negated)
        members.Invert();
    map = uint32_t(mMaps.size());
    mMaps.push_back(members);
    return close + 1;
}

void Work::AddText(size_t offset)
{
    if (!mItems.empty())
    {
        Item& last = mItems.back();
        if (last.piece == Piece::Text && last.index + last.length == offset)
        {
            ++last.length;
            return;
        }
    }
    Item item;
    item.piece = Piece::Text;
    item.index = uint32_t(offset);
    item.length = 1;
    Add(item);
}

bool Work::Compile(lua_State* L, const char* text, size_t length)
{
    mL = L;
    mText = text;
    mTextLength = length;
    mItems.clear();
    mMaps.clear();
    mClassMaps.fill(-1);
    const char* p = text;
    const size_t n = length;
    size_t i = 0;
    // A pattern past 4 GiB is no pattern a match could hold anyway.
    if (n >= UINT32_MAX)
        return false;
    for (;;)
    {
        if (mItems.size() >= ScriptPatterns::kMaxPieces)
            return false;
        Item item;
        if (i == n)
        {
            Add(item);
            return true;
        }
        const size_t from = i;
        const char c = p[i];
        if (c == '(')
        {
            const bool position = i + 1 < n && p[i + 1] == ')';
            item.piece = position ? Piece::Position : Piece::Open;
            i += position ? 2 : 1;
        }
        else if (c == ')')
        {
            item.piece = Piece::Close;
            ++i;
        }
        else if (c == '$' && i + 1 == n)
        {
            item.piece = Piece::End;
            ++i;
        }
        else if (c == '%' && i + 1 < n && p[i + 1] == 'b')
        {
            if (i + 3 >= n)
            {
                item.piece = Piece::Fault;
                item.index = kUnbalanced;
                Add(item);
                return true;
            }
            item.piece = Piece::Balanced;
            item.first = static_cast<unsigned char>(p[i + 2]);
            item.second = static_cast<unsigned char>(p[i + 3]);
            i += 4;
        }
        else if (c == '%' && i + 1 < n && p[i + 1] == 'f')
        {
            i += 2;
            size_t after = 0;
            if (i >= n || p[i] != '[')
            {
                item.piece = Piece::Fault;
                item.index = kMissingFrontierSet;
                Add(item);
                return true;
            }
            if ((after = ReadSet(i, item.index)) == 0)
            {
                item.piece = Piece::Fault;
                item.index = kMissingBracket;
                Add(item);
                return true;
            }
            item.piece = Piece::Frontier;
            i = after;
        }
        else if (c == '%' && i + 1 < n && std::isdigit(static_cast<unsigned char>(p[i + 1])))
        {
            item.piece = Piece::Again;
            item.first = static_cast<unsigned char>(p[i + 1] - '0');
            i += 2;
        }
        else
        {
            // One character of a class, maybe repeated.
            item.piece = Piece::Character;
            size_t literal = n;
            if (c == '.')
            {
                item.test = Test::Any;
                ++i;
            }
            else if (c == '[')
            {
                const size_t after = ReadSet(i, item.index);
                if (after == 0)
                {
                    item.piece = Piece::Fault;
                    item.index = kMissingBracket;
                    Add(item);
                    return true;
                }
                item.test = Test::Map;
                i = after;
            }
            else if (c == '%')
            {
                if (i + 1 >= n)
                {
                    item.piece = Piece::Fault;
                    item.index = kEndsWithEscape;
                    Add(item);
                    return true;
                }
                const auto letter = static_cast<unsigned char>(p[i + 1]);
                if (IsClassLetter(letter))
                {
                    item.test = Test::Class;
                    item.first = letter;
                }
                else
                {
                    item.test = Test::Char;
                    item.first = letter;
                    literal = i + 1;
                }
                i += 2;
            }
            else
            {
                item.test = Test::Char;
                item.first = static_cast<unsigned char>(c);
                literal = i;
                ++i;
            }
            const char suffix = i < n ? p[i] : '\0';
            switch (suffix)
            {
            case '?':
                item.repeat = Repeat::Maybe;
                break;
            case '*':
                item.repeat = Repeat::Most;
                break;
            case '+':
                item.repeat = Repeat::Some;
                break;
            case '-':
                item.repeat = Repeat::Least;
                break;
            default:
                break;
            }
            if (item.repeat != Repeat::Once)
                ++i;
            else if (literal < n)
            {
                Count(mL, i - from);
                AddText(literal);
                continue;
            }
        }
        Count(mL, i - from);
        Add(item);
    }
}

void Work::Push(uint32_t item, size_t at, size_t count)
{
    if (mChoices.size() >= ScriptPatterns::kMaxDepth)
        luaL_error(mL, "pattern too complex");
    mChoices.push_back(Choice{item, mLevel, mTrail.size(), at, count});
}

bool Work::Repeated(uint32_t index, const Item& item, size_t& at)
{
    switch (item.repeat)
    {
    case Repeat::Once:
        Count(mL, 1);
        if (at < mLength && Accepts(item, mSubject[at]))
        {
            ++at;
            return true;
        }
        return false;
    case Repeat::Maybe:
        Count(mL, 1);
        if (at < mLength && Accepts(item, mSubject[at]))
        {
            // With the character first; without it is the way back.
            Push(index, at, 0);
            ++at;
        }
        return true;
    case Repeat::Most:
    case Repeat::Some:
    {
        size_t taken = 0;
        while (at + taken < mLength && Accepts(item, mSubject[at + taken]))
        {
            Count(mL, 1);
            ++taken;
        }
        const size_t least = item.repeat == Repeat::Some ? 1 : 0;
        if (taken < least)
            return false;
        // As many as there are first; each way back gives one up.
        if (taken > least)
            Push(index, at, taken);
        at += taken;
        return true;
    }
    case Repeat::Least:
        // None first; each way back takes one more.
        Push(index, at, 0);
        return true;
    }
    return false;
}

bool Work::Holds(size_t at, const unsigned char* text, size_t length) const
{
    if (mLength - at < length)
        return false;
    for (size_t done = 0; done < length;)
    {
        const size_t part = std::min(length - done, kStepsPerCheck);
        Count(mL, part);
        if (std::memcmp(mSubject + at + done, text + done, part) != 0)
            return false;
        done += part;
    }
    return true;
}

bool Work::GoBack(uint32_t& next, size_t& at)
{
    while (!mChoices.empty())
    {
        Count(mL, 1);
        Choice& choice = mChoices.back();
        while (mTrail.size() > choice.trail)
        {
            mCaptures[size_t(mTrail.back().capture)].length = mTrail.back().length;
            mTrail.pop_back();
        }
        mLevel = choice.captures;
        const uint32_t index = choice.item;
        const Item& item = mItems[index];
        switch (item.repeat)
        {
        case Repeat::Maybe:
            at = choice.at;
            mChoices.pop_back();
            break;
        case Repeat::Most:
        case Repeat::Some:
            --choice.count;
            at = choice.at + choice.count;
            if (choice.count == (item.repeat == Repeat::Some ? 1u : 0u))
                mChoices.pop_back();
            break;
        default:
            if (choice.at >= mLength || !Accepts(item, mSubject[choice.at]))
            {
                mChoices.pop_back();
                continue;
            }
            at = ++choice.at;
            break;
        }
        next = index + 1;
        return true;
    }
    return false;
}

bool Work::MatchAt(size_t at, size_t& end)
{
    mChoices.clear();
    mTrail.clear();
    mLevel = 0;
    Count(mL, 1);
    uint32_t next = 0;
    for (;;)
    {
        const uint32_t index = next;
        const Item& item = mItems[index];
        bool ok = true;
        switch (item.piece)
        {
        case Piece::Done:
            end = at;
            return true;
        case Piece::Fault:
            luaL_error(mL, "%s", kFaults[item.index]);
            return false;
        case Piece::End:
            ok = at == mLength;
            break;
        case Piece::Text:
            ok = Holds(at, reinterpret_cast<const unsigned char*>(mText) + item.index, item.length);
            if (ok)
                at += item.length;
            break;
        case Piece::Character:
            ok = Repeated(index, item, at);
            break;
        case Piece::Open:
        case Piece::Position:
            if (mLevel >= kMaxCaptures)
                luaL_error(mL, "too many captures");
            mCaptures[size_t(mLevel)] = Capture{at, item.piece == Piece::Open ? kOpenCapture : kPositionCapture};
            ++mLevel;
            break;
        case Piece::Close:
        {
            int open = mLevel - 1;
            while (open >= 0 && mCaptures[size_t(open)].length != kOpenCapture)
                --open;
            if (open < 0)
                luaL_error(mL, "invalid pattern capture");
            mTrail.push_back(Undo{open, kOpenCapture});
            mCaptures[size_t(open)].length = ptrdiff_t(at - mCaptures[size_t(open)].start);
            break;
        }
        case Piece::Balanced:
        {
            ok = false;
            if (at >= mLength || mSubject[at] != item.first)
                break;
            // The closer is looked for first: with the same character for both, it closes.
            size_t depth = 1;
            for (size_t i = at + 1; i < mLength; ++i)
            {
                Count(mL, 1);
                if (mSubject[i] == item.second)
                {
                    if (--depth == 0)
                    {
                        at = i + 1;
                        ok = true;
                        break;
                    }
                }
                else if (mSubject[i] == item.first)
                {
                    ++depth;
                }
            }
            break;
        }
        case Piece::Frontier:
        {
            // Before the subject and after it stands a NUL.
            const unsigned char before = at == 0 ? 0 : mSubject[at - 1];
            const unsigned char here = at < mLength ? mSubject[at] : 0;
            ok = !mMaps[item.index].Has(before) && mMaps[item.index].Has(here);
            break;
        }
        case Piece::Again:
        {
            const int capture = int(item.first) - 1;
            if (capture < 0 || capture >= mLevel || mCaptures[size_t(capture)].length == kOpenCapture)
                luaL_error(mL, "invalid capture index");
            const Capture& taken = mCaptures[size_t(capture)];
            // A position holds no text to match again.
            ok = taken.length != kPositionCapture && Holds(at, mSubject + taken.start, size_t(taken.length));
            if (ok)
                at += size_t(taken.length);
            break;
        }
        }
        if (ok)
            next = index + 1;
        else if (!GoBack(next, at))
            return false;
    }
}

void Work::PushCaptured(int i, size_t from, size_t to) const
{
    if (i >= mLevel)
    {
        if (i != 0)
            luaL_error(mL, "invalid capture index");
        lua_pushlstring(mL, reinterpret_cast<const char*>(mSubject) + from, to - from);
        return;
    }
    const Capture& capture = mCaptures[size_t(i)];
    if (capture.length == kOpenCapture)
        luaL_error(mL, "unfinished capture");
    if (capture.length == kPositionCapture)
        lua_pushinteger(mL, lua_Integer(capture.start) + 1);
    else
        lua_pushlstring(mL, reinterpret_cast<const char*>(mSubject) + capture.start, size_t(capture.length));
}

int Work::PushResults(size_t from, size_t to, bool whole) const
{
    const int count = mLevel == 0 && whole ? 1 : mLevel;
    luaL_checkstack(mL, count, "too many captures");
    for (int i = 0; i < count; ++i)
        PushCaptured(i, from, to);
    return count;
}

int FinishWork(lua_State* L)
{
    static_cast<Work*>(lua_touserdata(L, 1))->~Work();
    return 0;
}

// A fresh work block on the stack, compiled from the pattern (up to its first NUL, as Lua's
// own reads it).
Work& NewWork(lua_State* L, const char* pattern, size_t length)
{
    Work* work = new (lua_newuserdata(L, sizeof(Work))) Work();
    luaL_getmetatable(L, kWorkMeta);
    lua_setmetatable(L, -2);
    if (!work->Compile(L, pattern, length))
        luaL_error(L, "pattern too complex");
    return *work;
}

// The 0-based start of a search from a 1-based position counted from the end when negative.
size_t StartIndex(lua_Integer init, size_t length)
{
    if (init < 0)
        init += lua_Integer(length) + 1;
    if (init <= 1)
        return 0;
    return std::min(size_t(init - 1), length);
}

int Search(lua_State* L, bool find)
{
    size_t length = 0;
    size_t patternLength = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    const char* pattern = luaL_checklstring(L, 2, &patternLength);
    const size_t start = StartIndex(luaL_optinteger(L, 3, 1), length);
    const size_t text = std::strlen(pattern);
    if (find && (lua_toboolean(L, 4) || std::strpbrk(pattern, kMagic) == nullptr))
    {
        // The whole pattern, NULs included, as plain text; memmem is linear.
        const void* found = nullptr;
        if (patternLength == 0)
            found = subject + start;
        else if (patternLength <= length - start)
            found = memmem(subject + start, length - start, pattern, patternLength);
        if (!found)
        {
            lua_pushnil(L);
            return 1;
        }
        const ptrdiff_t at = static_cast<const char*>(found) - subject;
        lua_pushinteger(L, lua_Integer(at) + 1);
        lua_pushinteger(L, lua_Integer(at) + lua_Integer(patternLength));
        return 2;
    }
    const bool anchored = text > 0 && pattern[0] == '^';
    Work& work = NewWork(L, pattern + (anchored ? 1 : 0), text - (anchored ? 1 : 0));
    work.Bind(L, subject, length);
    for (size_t at = start;; ++at)
    {
        size_t end = 0;
        if (work.MatchAt(at, end))
        {
            if (!find)
                return work.PushResults(at, end, true);
            lua_pushinteger(L, lua_Integer(at) + 1);
            lua_pushinteger(L, lua_Integer(end));
            return work.PushResults(at, end, false) + 2;
        }
        if (anchored || at >= length)
            break;
    }
    lua_pushnil(L);
    return 1;
}

int Find(lua_State* L) { return Search(L, true); }

int Match(lua_State* L) { return Search(L, false); }

// Upvalues: the subject, the pattern, the work block and where the next search starts. A '^'
// is no anchor here: an anchored pattern could not go on.
int GmatchNext(lua_State* L)
{
    size_t length = 0;
    const char* subject = lua_tolstring(L, lua_upvalueindex(1), &length);
    Work& work = *static_cast<Work*>(lua_touserdata(L, lua_upvalueindex(3)));
    work.Bind(L, subject, length);
    for (auto at = size_t(lua_tointeger(L, lua_upvalueindex(4))); at <= length; ++at)
    {
        size_t end = 0;
        if (work.MatchAt(at, end))
        {
            // An empty match moves one on, or it would be found again.
            lua_pushinteger(L, lua_Integer(end == at ? end + 1 : end));
            lua_replace(L, lua_upvalueindex(4));
            return work.PushResults(at, end, true);
        }
    }
    return 0;
}

int Gmatch(lua_State* L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    const char* pattern = lua_tostring(L, 2);
    NewWork(L, pattern, std::strlen(pattern));
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, &GmatchNext, 4);
    return 1;
}

// The replacement string at index 3: '%0' is the match, '%1'-'%9' its captures, '%' before
// anything else that character (a '%' last adds the NUL that ends the string, as Lua's own).
void AddTemplate(lua_State* L, const Work& work, luaL_Buffer* buffer, const char* subject, size_t from, size_t to)
{
    size_t length = 0;
    const char* text = lua_tolstring(L, 3, &length);
    for (size_t i = 0; i < length; ++i)
    {
        if (text[i] != '%')
        {
            luaL_addchar(buffer, text[i]);
            continue;
        }
        ++i;
        const char c = i < length ? text[i] : '\0';
        if (!std::isdigit(static_cast<unsigned char>(c)))
        {
            luaL_addchar(buffer, c);
        }
        else if (c == '0')
        {
            luaL_addlstring(buffer, subject + from, to - from);
        }
        else
        {
            work.PushCaptured(c - '1', from, to);
            luaL_addvalue(buffer);
        }
    }
}

void AddReplacement(lua_State* L, const Work& work, luaL_Buffer* buffer, const char* subject, size_t from, size_t to)
{
    switch (lua_type(L, 3))
    {
    case LUA_TFUNCTION:
    {
        lua_pushvalue(L, 3);
        const int count = work.PushResults(from, to, true);
        lua_call(L, count, 1);
        break;
    }
    case LUA_TTABLE:
        work.PushCaptured(0, from, to);
        lua_gettable(L, 3);
        break;
    default:
        AddTemplate(L, work, buffer, subject, from, to);
        return;
    }
    // False or nil keeps the match as it was.
    if (!lua_toboolean(L, -1))
    {
        lua_pop(L, 1);
        lua_pushlstring(L, subject + from, to - from);
    }
    else if (!lua_isstring(L, -1))
    {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(buffer);
}

int Gsub(lua_State* L)
{
    size_t length = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    const char* pattern = luaL_checkstring(L, 2);
    const int kind = lua_type(L, 3);
    const lua_Integer most = luaL_optinteger(L, 4, lua_Integer(length) + 1);
    luaL_argcheck(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                  "string/function/table expected");
    const size_t text = std::strlen(pattern);
    const bool anchored = text > 0 && pattern[0] == '^';
    // Below the buffer, which takes the top of the stack.
    Work& work = NewWork(L, pattern + (anchored ? 1 : 0), text - (anchored ? 1 : 0));
    work.Bind(L, subject, length);
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    size_t at = 0;
    lua_Integer made = 0;
    while (made < most)
    {
        size_t end = 0;
        const bool found = work.MatchAt(at, end);
        if (found)
        {
            ++made;
            AddReplacement(L, work, &buffer, subject, at, end);
        }
        if (found && end > at)
            at = end;
        else if (at < length)
            luaL_addchar(&buffer, subject[at++]);
        else
            break;
        if (anchored)
            break;
    }
    luaL_addlstring(&buffer, subject + at, length - at);
    luaL_pushresult(&buffer);
    lua_pushinteger(L, made);
    return 2;
}

void SetFunction(lua_State* L, int table, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, table, name);
}

} // namespace

void ScriptPatterns::Install(lua_State* L)
{
    const int table = lua_gettop(L);
    if (luaL_newmetatable(L, kWorkMeta))
    {
        lua_pushcfunction(L, &FinishWork);
        lua_setfield(L, -2, "__gc");
    }
    lua_pop(L, 1);
    SetFunction(L, table, "find", &Find);
    SetFunction(L, table, "match", &Match);
    SetFunction(L, table, "gmatch", &Gmatch);
    lua_getfield(L, table, "gfind");
    const bool gfind = lua_isfunction(L, -1);
    lua_pop(L, 1);
    if (gfind)
        SetFunction(L, table, "gfind", &Gmatch);
    SetFunction(L, table, "gsub", &Gsub);
}
